#include "settings/settings.h"

namespace vt {

std::wstring ReadSetting(SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                         std::wstring_view key, std::wstring_view defaultValue) {
    std::optional<std::wstring> value = store.GetSetting(appName, section, key);
    if (!value) {
        return std::wstring(defaultValue);
    }
    return std::move(*value);
}

void WriteSetting(SettingsStore& store, std::wstring_view appName, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value) {
    store.SaveSetting(appName, section, key, value);
}

}  // namespace vt
