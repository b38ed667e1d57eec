#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "settings/settings.h"

// The settings store as the tests see it: the program's values in the simulated registry.
namespace vt {

inline constexpr const char* kSettingsKey = "Software\\Tolvane\\Vintrell";

inline SettingsStore Store(sim::SimPlatform& sim) {
    return {sim, sim, sim};
}

inline std::wstring FromStored(const sim::SimPlatform& sim, std::string bytes) {
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    return sim.AnsiToUnicode(bytes);
}

inline std::optional<std::wstring> StoredSetting(const sim::SimPlatform& sim,
                                                 std::wstring_view key) {
    const auto value = sim.RegValue(HKEY_CURRENT_USER, kSettingsKey, sim.UnicodeToAnsi(key));
    if (!value) {
        return std::nullopt;
    }
    return FromStored(sim, value->data);
}

inline void StoreSetting(sim::SimPlatform& sim, std::wstring_view key, std::wstring_view value) {
    sim.SetRegValue(HKEY_CURRENT_USER, kSettingsKey, sim.UnicodeToAnsi(key),
                    {REG_SZ, sim.UnicodeToAnsi(value) + '\0'});
}

// The value, its bytes kept, made one of another type, which the program must take neither for
// a string nor for an absent value.
inline void MakeSettingUnreadable(sim::SimPlatform& sim, std::wstring_view key) {
    constexpr UInt kRegBinary = 3;
    const std::string name = sim.UnicodeToAnsi(key);
    const auto value = sim.RegValue(HKEY_CURRENT_USER, kSettingsKey, name);
    sim.SetRegValue(HKEY_CURRENT_USER, kSettingsKey, name, {kRegBinary, value ? value->data : ""});
}

inline void FailSettingWrites(sim::SimPlatform& sim, bool fail) {
    sim.DenyWrite(HKEY_CURRENT_USER, kSettingsKey, fail);
}

// Every value the program stored, in order: (key, value).
inline std::vector<std::pair<std::wstring, std::wstring>> SettingWrites(
    const sim::SimPlatform& sim) {
    std::vector<std::pair<std::wstring, std::wstring>> writes;
    for (const sim::RegistryWrite& write : sim.RegWrites()) {
        if (write.root == HKEY_CURRENT_USER && write.subKey == "SOFTWARE\\TOLVANE\\VINTRELL") {
            writes.emplace_back(sim.AnsiToUnicode(write.name), FromStored(sim, write.data));
        }
    }
    return writes;
}

}  // namespace vt
