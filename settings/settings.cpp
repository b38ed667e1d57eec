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

// The store's errors name the key: The setting "<key>" cannot be <done>: <reason>.
AppError SettingError(std::int32_t number, const char* source, std::wstring_view done,
                      std::wstring_view key, std::wstring_view reason) {
    std::wstring description = L"The setting \"";
    description.append(key).append(L"\" cannot be ").append(done).append(L": ").append(reason);
    return AppError(number, source, std::move(description));
}

AppError Unreadable(const SettingsStore& store, std::wstring_view key, std::int32_t result) {
    return SettingError(err::kSettingUnreadable, "GetSetting", L"read", key,
                        store.system.FormatMessageW(result));
}

AppError NotWritten(const SettingsStore& store, std::wstring_view key, std::int32_t result) {
    return SettingError(err::kSettingNotWritten, "SaveSetting", L"saved", key,
                        store.system.FormatMessageW(result));
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
        throw Unreadable(store, key, opened.Result());
    }
    UInt type = 0;
    std::string bytes;
    const std::int32_t result = store.registry.RegQueryValueExA(
        opened.Get(), store.text.UnicodeToAnsi(key).c_str(), &type, &bytes);
    if (result == ERROR_FILE_NOT_FOUND) {
        return std::wstring(defaultValue);
    }
    if (result != ERROR_SUCCESS) {
        throw Unreadable(store, key, result);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw SettingError(err::kSettingUnreadable, "GetSetting", L"read", key,
                           L"it is not a string");
    }
    // Another program may have stored the terminating NUL more than once, or not at all.
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    try {
        return store.text.AnsiToUnicode(bytes);
    } catch (const AppError& error) {
        throw SettingError(err::kSettingUnreadable, "GetSetting", L"read", key,
                           error.Description());
    }
}

void WriteSetting(const SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value) {
    const RegKey opened =
        RegKey::Create(store.registry, HKEY_CURRENT_USER,
                       SettingsKey(store, appName, section).c_str(), KEY_SET_VALUE);
    if (!opened.IsOpen()) {
        throw NotWritten(store, key, opened.Result());
    }
    const std::string text = store.text.UnicodeToAnsi(value);
    // With its terminating NUL, whose size a DWORD must count: a cut size would store a cut list.
    if (text.size() >= std::numeric_limits<UInt>::max()) {
        throw NotWritten(store, key, ERROR_NOT_ENOUGH_MEMORY);
    }
    const std::int32_t result = store.registry.RegSetValueExA(
        opened.Get(), store.text.UnicodeToAnsi(key).c_str(), 0, REG_SZ,
        reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<UInt>(text.size() + 1));
    if (result != ERROR_SUCCESS) {
        throw NotWritten(store, key, result);
    }
}

}  // namespace vt
