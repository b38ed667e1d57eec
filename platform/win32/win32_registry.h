#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/registry_access.h"

namespace vt::win32 {

// The real registry (advapi32, ANSI forms but a wide read for paths).
class Win32Registry : public RegistryAccess {
  public:
    std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                               Hkey* result) override;
    std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access, Hkey* result) override;
    std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                  std::string* data) override;
    std::int32_t RegQueryValueExW(Hkey key, const wchar_t* valueName, UInt* type,
                                  std::wstring* data) override;
    std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                const std::uint8_t* data, UInt size) override;
    std::int32_t RegDeleteValueA(Hkey key, const char* valueName) override;
    std::int32_t RegCloseKey(Hkey key) override;
};

}  // namespace vt::win32
