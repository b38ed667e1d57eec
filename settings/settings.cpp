#include "settings/settings.h"

#include <cstdint>
#include <limits>

#include "platform/error.h"

namespace vt {

namespace {

std::string SettingsKey(const SettingsStore& store, std::wstring_view appName,
                        std::wstring_view section) {
    std::wstring path = L"Software\\";
    path.append(appName).append(L"\\").append(section);
    return store.text.UnicodeToAnsi(path);
}

// The store's errors name the key: The setting "<key>" cannot be read: <reason>.
AppError Unreadable(std::wstring_view key, std::wstring_view reason) {
    return AppError(
        err::kSettingUnreadable, "GetSetting",
        L"The setting \"" + std::wstring(key) + L"\" cannot be read: " + std::wstring(reason));
}

AppError NotWritten(std::wstring_view key, std::wstring_view reason) {
    return AppError(
        err::kSettingNotWritten, "SaveSetting",
        L"The setting \"" + std::wstring(key) + L"\" cannot be saved: " + std::wstring(reason));
}

}  // namespace

std::wstring ReadSetting(const SettingsStore& store, std::wstring_view appName,
                         std::wstring_view section, std::wstring_view key,
                         std::wstring_view defaultValue) {
    const RegKey opened =
        RegKey::Open(store.registry, HKEY_CURRENT_USER,
                     SettingsKey(store, appName, section).c_str(), KEY_QUERY_VALUE);
    if (opened.Result() == ERROR_FILE_NOT_FOUND) {
        return std::wstring(defaultValue);
    }
    if (!opened.IsOpen()) {
        throw Unreadable(key, store.system.FormatMessageW(opened.Result()));
    }
    UInt type = 0;
    std::string bytes;
    const std::int32_t result = store.registry.RegQueryValueExA(
        opened.Get(), store.text.UnicodeToAnsi(key).c_str(), &type, &bytes);
    if (result == ERROR_FILE_NOT_FOUND) {
        return std::wstring(defaultValue);
    }
    if (result != ERROR_SUCCESS) {
        throw Unreadable(key, store.system.FormatMessageW(result));
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw Unreadable(key, L"it is not a string");
    }
    // Another program may have stored the terminating NUL more than once, or not at all.
    bytes.erase(bytes.find_last_not_of('\0') + 1);
    try {
        return store.text.AnsiToUnicode(bytes);
    } catch (const AppError& error) {
        throw Unreadable(key, error.Description());
    }
}

void WriteSetting(const SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value) {
    const RegKey opened =
        RegKey::Create(store.registry, HKEY_CURRENT_USER,
                       SettingsKey(store, appName, section).c_str(), KEY_SET_VALUE);
    if (!opened.IsOpen()) {
        throw NotWritten(key, store.system.FormatMessageW(opened.Result()));
    }
    const std::string text = store.text.UnicodeToAnsi(value);
    // With its terminating NUL, whose size a DWORD must count: a cut size would store a cut list.
    if (text.size() >= std::numeric_limits<UInt>::max()) {
        throw NotWritten(key, store.system.FormatMessageW(ERROR_NOT_ENOUGH_MEMORY));
    }
    const std::int32_t result = store.registry.RegSetValueExA(
        opened.Get(), store.text.UnicodeToAnsi(key).c_str(), 0, REG_SZ,
        reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<UInt>(text.size() + 1));
    if (result != ERROR_SUCCESS) {
        throw NotWritten(key, store.system.FormatMessageW(result));
    }
}

}  // namespace vt
