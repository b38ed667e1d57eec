#pragma once

#include <string>
#include <string_view>

#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"

// The per-user settings store: string values addressed by application, section and key, kept
// in the current user's registry as one REG_SZ per key under
// HKEY_CURRENT_USER\Software\<application>\<section>, in the system's ANSI code page.
namespace vt {

inline constexpr std::wstring_view kSettingsApp = L"Tolvane";
inline constexpr std::wstring_view kSettingsSection = L"Vintrell";
inline constexpr std::wstring_view kKeyListview = L"Listview";
inline constexpr std::wstring_view kKeyWindowsStartup = L"Windows Startup";
inline constexpr std::wstring_view kKeyMinimized = L"Minimized";
// Option values; only the exact string "On" counts as on.
inline constexpr std::wstring_view kOn = L"On";
inline constexpr std::wstring_view kOff = L"Off";

// Exact and case-sensitive: "on" is off.
inline bool IsOn(std::wstring_view value) {
    return value == kOn;
}

// The services the store is kept with.
struct SettingsStore {
    RegistryAccess& registry;
    const TextConversion& text;
    SystemServices& system;  // the descriptions of the registry's errors
};

// The stored value, or `defaultValue` when the value (or its application or section) is
// absent. A value that is present but cannot be read as a string raises an AppError naming the
// key: taking it as absent would let the next write replace what was never read. Reading never
// creates anything.
std::wstring ReadSetting(const SettingsStore& store, std::wstring_view appName,
                         std::wstring_view section, std::wstring_view key,
                         std::wstring_view defaultValue = L"");

// Stores the value, replacing any previous one; an AppError naming the key when it cannot be
// stored, and the previous value then stays.
void WriteSetting(const SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value);

}  // namespace vt
