#pragma once

#include <string>
#include <string_view>

#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"

// The per-user settings store: one REG_SZ per key, in the system's ANSI code page, under
// HKEY_CURRENT_USER\Software\<application>\<section>.
namespace vt {

inline constexpr std::wstring_view kSettingsApp = L"Tolvane";
inline constexpr std::wstring_view kSettingsSection = L"Vintrell";
inline constexpr std::wstring_view kKeyListview = L"Listview";
inline constexpr std::wstring_view kKeyWindowsStartup = L"Windows Startup";
inline constexpr std::wstring_view kKeyMinimized = L"Minimized";
// Option values; only the exact string "On" counts as on ("on" is off).
inline constexpr std::wstring_view kOn = L"On";
inline constexpr std::wstring_view kOff = L"Off";
inline bool IsOn(std::wstring_view value) {
    return value == kOn;
}

struct SettingsStore {
    RegistryAccess& registry;
    const TextConversion& text;
    SystemServices& system;  // the descriptions of the registry's errors
};

// The stored value, or `defaultValue` when it is absent. A value present but unreadable as a
// string is an AppError: taken as absent, the next write would replace what was never read.
std::wstring ReadSetting(const SettingsStore& store, std::wstring_view appName,
                         std::wstring_view section, std::wstring_view key,
                         std::wstring_view defaultValue = L"");

// Stores the value; on an AppError the previous value stays.
void WriteSetting(const SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value);

}  // namespace vt
