#include "platform/win32/win32_registry.h"

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

constexpr int kReadAttempts = 8;  // reads of a registry value that keeps growing

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

}  // namespace vt::win32
