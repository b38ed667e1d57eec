#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The program's value under the Windows Run key, which starts it at every logon.
namespace vt::RegStuff {

// This exact text, upper case, with the trailing backslash, under either root.
inline constexpr const char* kRunKey = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\";
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY |
// KEY_CREATE_LINK
inline constexpr UInt kRunKeyAccess = 0x3F;

// The value's name: the executable's file name with its extension.
std::wstring RunEntryName(std::wstring_view executablePath);
// The value's data: the full path, in double quotes when it holds a blank (otherwise Windows
// would try "C:\Program.exe" first).
std::wstring RunEntryData(std::wstring_view executablePath);

// The path the Run entry names: the executable's own when the system code page holds it
// exactly, else its short (8.3) form when that one is held; nullopt when neither is.
std::optional<std::wstring> RunEntryPath(Platform& platform, std::wstring_view executablePath);

// Writes the executable's value under HKEY_LOCAL_MACHINE's Run key, or, when that key refuses
// it, under HKEY_CURRENT_USER's; then removes a value of the same name from the other key, so
// that the program never starts twice. AppError when neither key takes the value.
void RegisterRunEntry(Platform& platform, std::wstring_view executablePath);
// Removes the executable's value from both Run keys. AppError when one of them keeps it.
void UnregisterRunEntry(Platform& platform, std::wstring_view executablePath);

// Opens root\subKey with kRunKeyAccess and sets the value there; the first failing result.
std::int32_t PutKeyValue(Platform& platform, Hkey root, const char* subKey,
                         const std::string& valueName, const std::string& value, UInt type);
// Sets a string value (ANSI, stored with its terminating NUL) on an open key; RegSetValueExA's
// result, or ERROR_INVALID_PARAMETER for a type that is not a string.
std::int32_t PutRegValue(Platform& platform, Hkey key, const std::string& valueName, UInt type,
                         const std::string& value);
// Opens root\subKey with kRunKeyAccess and deletes the value; the first failing result.
std::int32_t RemoveKeyValue(Platform& platform, Hkey root, const char* subKey,
                            const std::string& valueName);

}  // namespace vt::RegStuff

// The program's own executable as the start options register it.
namespace vt::mStartUp {

// AppError when the value cannot be written (see RegStuff::RegisterRunEntry).
void AddToStartup(Platform& platform);
// AppError when a value stays behind (see RegStuff::UnregisterRunEntry).
void RemoveFromStartup(Platform& platform);

}  // namespace vt::mStartUp
