#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"

// The program's value under the Windows Run key, which starts it at every logon.
namespace vt::RegStuff {

// This exact text, upper case, with the trailing backslash, under either root.
inline constexpr const char* kRunKey = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\";
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY |
// KEY_CREATE_LINK
inline constexpr UInt kRunKeyAccess = 0x3F;

// Writes the executable's value under HKEY_LOCAL_MACHINE's Run key, or, when that key refuses
// it, under HKEY_CURRENT_USER's; then removes a value of the same name from the other key, so
// that the program never starts twice. AppError when neither key takes the value. The value's
// name and data are in the system code page; `files` gives a path's short form.
void RegisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                      std::wstring_view executablePath);
// Removes the executable's value from both Run keys. AppError when one of them keeps it.
void UnregisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                        std::wstring_view executablePath);

}  // namespace vt::RegStuff

// The program's own executable as the start options register it.
namespace vt::mStartUp {

// AppError when the value cannot be written (see RegStuff::RegisterRunEntry).
void AddToStartup(Platform& platform);
// AppError when a value stays behind (see RegStuff::UnregisterRunEntry).
void RemoveFromStartup(Platform& platform);

}  // namespace vt::mStartUp
