#pragma once

#include <string_view>

#include "platform/registry_access.h"
#include "platform/system_services.h"
#include "platform/text_conversion.h"

// The program's value under the Windows Run key, which starts it at every logon.
namespace vt::RegStuff {

// This exact text, upper case, with the trailing backslash, under either root.
inline constexpr const char* kRunKey = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\";

// True when the executable lies inside a Program Files folder that the machine's registry names
// (either of them on 64-bit Windows), which only administrators can change. Short (8.3) names
// count in their long form; "C:\Program Files Evil\" is outside.
bool InAdministratorsFolder(RegistryAccess& registry, SystemServices& files,
                            std::wstring_view executablePath);

// Writes the executable's value under HKEY_LOCAL_MACHINE's Run key (its 64-bit view, which both
// builds share) when the executable lies in an administrators' folder and that key takes it;
// else under HKEY_CURRENT_USER's. Then removes the value from the other key, so that the program
// never starts twice. AppError when no key takes the value.
void RegisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                      std::wstring_view executablePath);
// Removes the executable's value from both Run keys. AppError when one of them keeps it.
void UnregisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                        std::wstring_view executablePath);

}  // namespace vt::RegStuff

// The program's own executable as the start options register it.
namespace vt::mStartUp {

// AppError when the value cannot be written (see RegStuff::RegisterRunEntry).
void AddToStartup(RegistryAccess& registry, const TextConversion& text, SystemServices& files);
// AppError when a value stays behind (see RegStuff::UnregisterRunEntry).
void RemoveFromStartup(RegistryAccess& registry, const TextConversion& text, SystemServices& files);

}  // namespace vt::mStartUp
