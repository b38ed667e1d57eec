#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/registry_access.h"
#include "platform/settings_store.h"

namespace vt::win32 {

// The real registry (advapi32, ANSI forms but a wide read for paths), and the settings store kept
// in it: one REG_SZ per key under HKEY_CURRENT_USER\Software\<application>\<section>.
class Win32Registry : public RegistryAccess, public SettingsStore {
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

    std::optional<std::wstring> GetSetting(std::wstring_view appName, std::wstring_view section,
                                           std::wstring_view key) override;
    void SaveSetting(std::wstring_view appName, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) override;
};

}  // namespace vt::win32
