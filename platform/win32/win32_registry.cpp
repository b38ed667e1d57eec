#include "platform/win32/win32_registry.h"

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

constexpr int kReadAttempts = 8;  // reads of a registry value that keeps growing

// --- Registry and settings store ---------------------------------------------------------

std::wstring SettingsPath(std::wstring_view appName, std::wstring_view section) {
    std::wstring path = L"Software\\";
    path += appName;
    path += L'\\';
    path += section;
    return path;
}

// The store's errors name the key: The setting "<key>" cannot be <done>: <reason>.
AppError SettingError(std::int32_t number, const char* source, std::wstring_view done,
                      std::wstring_view key, std::wstring_view reason) {
    std::wstring description = L"The setting \"";
    description.append(key).append(L"\" cannot be ").append(done).append(L": ").append(reason);
    return AppError(number, source, std::move(description));
}

AppError SettingUnreadable(std::wstring_view key, std::wstring_view reason) {
    return SettingError(err::kSettingUnreadable, "GetSetting", L"read", key, reason);
}

AppError SettingNotWritten(std::wstring_view key, std::wstring_view reason) {
    return SettingError(err::kSettingNotWritten, "SaveSetting", L"saved", key, reason);
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// The whole value, however long, and its type, through RegQueryValueExA or ...W: the data's
// bytes as characters of that width, an odd last byte dropped. A value that grows between the
// size query and the read is read again, a few times at most; then ERROR_MORE_DATA.
template <typename Char, typename Query>
LSTATUS QueryWholeValue(Query query, HKEY key, const Char* name, DWORD* type,
                        std::basic_string<Char>* data) {
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        LSTATUS status = query(key, name, nullptr, type, nullptr, &size);
        if (status != ERROR_SUCCESS || data == nullptr) {
            return status;
        }
        std::basic_string<Char> text((size + sizeof(Char) - 1) / sizeof(Char), Char{});
        size = static_cast<DWORD>(text.size() * sizeof(Char));
        status = query(key, name, nullptr, type, reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status == ERROR_SUCCESS) {
            text.resize(size / sizeof(Char));
            *data = std::move(text);
        }
        return status;
    }
    return ERROR_MORE_DATA;
}

// The same, for the program: its type only when the read succeeded.
template <typename Char, typename Query>
std::int32_t QueryValue(Query query, Hkey key, const Char* name, UInt* type,
                        std::basic_string<Char>* data) {
    DWORD valueType = REG_NONE;
    const LSTATUS status = QueryWholeValue(query, ToHkey(key), name, &valueType, data);
    if (status == ERROR_SUCCESS && type != nullptr) {
        *type = valueType;
    }
    return status;
}

// Hands an opened key to the program, which closes it through RegCloseKey.
std::int32_t HandOver(LSTATUS status, UniqueKey& opened, Hkey* result) {
    if (status == ERROR_SUCCESS && result != nullptr) {
        *result = FromHkey(opened.release());
    }
    return status;  // a key nobody asked for closes with `opened`
}

}  // namespace

// --- Registry ----------------------------------------------------------------------------------

std::int32_t Win32Registry::RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                                          Hkey* result) {
    UniqueKey opened;
    return HandOver(::RegOpenKeyExA(ToHkey(root), subKey, options, access, opened.put()), opened,
                    result);
}

std::int32_t Win32Registry::RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                            Hkey* result) {
    UniqueKey created;
    return HandOver(::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, created.put(), nullptr),
                    created, result);
}

std::int32_t Win32Registry::RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                             std::string* data) {
    return QueryValue(::RegQueryValueExA, key, valueName, type, data);
}

std::int32_t Win32Registry::RegQueryValueExW(Hkey key, const wchar_t* valueName, UInt* type,
                                             std::wstring* data) {
    return QueryValue(::RegQueryValueExW, key, valueName, type, data);
}

std::int32_t Win32Registry::RegSetValueExA(Hkey key, const char* valueName, UInt reserved,
                                           UInt type, const std::uint8_t* data, UInt size) {
    return ::RegSetValueExA(ToHkey(key), valueName, reserved, type, data, size);
}

std::int32_t Win32Registry::RegDeleteValueA(Hkey key, const char* valueName) {
    return ::RegDeleteValueA(ToHkey(key), valueName);
}

std::int32_t Win32Registry::RegCloseKey(Hkey key) {
    return ::RegCloseKey(ToHkey(key));
}

// --- Settings store: HKEY_CURRENT_USER\Software\<appName>\<section>, one REG_SZ per key ----

std::optional<std::wstring> Win32Registry::GetSetting(std::wstring_view appName,
                                                      std::wstring_view section,
                                                      std::wstring_view key) {
    UniqueKey opened;
    LSTATUS status =
        ::RegOpenKeyExA(HKEY_CURRENT_USER, ToAnsi(SettingsPath(appName, section)).c_str(), 0,
                        KEY_QUERY_VALUE, opened.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status != ERROR_SUCCESS) {
        throw SettingUnreadable(key, SystemMessage(static_cast<DWORD>(status)));
    }
    DWORD type = REG_NONE;
    std::string bytes;
    status = QueryWholeValue(::RegQueryValueExA, opened.get(), ToAnsi(key).c_str(), &type, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status == ERROR_MORE_DATA) {
        throw SettingUnreadable(key, L"it keeps changing while it is read");
    }
    if (status != ERROR_SUCCESS) {
        throw SettingUnreadable(key, SystemMessage(static_cast<DWORD>(status)));
    }
    if (!IsString(type)) {
        throw SettingUnreadable(key, L"it is not a string");
    }
    // Another program may have stored the terminating NUL more than once, or not at all.
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    try {
        return FromAnsi(bytes);
    } catch (const AppError& error) {
        throw SettingUnreadable(key, error.Description());
    }
}

void Win32Registry::SaveSetting(std::wstring_view appName, std::wstring_view section,
                                std::wstring_view key, std::wstring_view value) {
    UniqueKey opened;
    LSTATUS status = ::RegCreateKeyExA(
        HKEY_CURRENT_USER, ToAnsi(SettingsPath(appName, section)).c_str(), 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, opened.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        throw SettingNotWritten(key, SystemMessage(static_cast<DWORD>(status)));
    }
    const std::string text = ToAnsi(value);
    // With its terminating NUL, whose size a DWORD must count: a cut size would store a cut list.
    if (text.size() >= MAXDWORD) {
        throw SettingNotWritten(key, SystemMessage(ERROR_NOT_ENOUGH_MEMORY));
    }
    status = ::RegSetValueExA(opened.get(), ToAnsi(key).c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    if (status != ERROR_SUCCESS) {
        throw SettingNotWritten(key, SystemMessage(static_cast<DWORD>(status)));
    }
}

}  // namespace vt::win32
