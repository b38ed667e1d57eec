#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vt {

// The per-user settings store: string values by application, section and key.
class SettingsStore {
  public:
    // nullopt when the value (or its application or section) is absent; AppError naming the
    // key when it is present but cannot be read as a string.
    virtual std::optional<std::wstring> GetSetting(std::wstring_view appName,
                                                   std::wstring_view section,
                                                   std::wstring_view key) = 0;
    // AppError when the value cannot be stored; the previous value then stays.
    virtual void SaveSetting(std::wstring_view appName, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value) = 0;

  protected:
    ~SettingsStore() = default;
};

}  // namespace vt
