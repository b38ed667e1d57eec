#include <string>

#include "app/main_window.h"
#include "platform/error.h"
#include "settings/settings.h"
#include "settings/startup_registration.h"

namespace vt {

namespace {

constexpr std::wstring_view kStartupErrorPrefix = L"ERROR while changing Windows startup - ";

}  // namespace

void Form1::Check6_Click() {
    if (IsLoading) {
        return;  // start-up restores the box; the Run entry stays as it is
    }
    if (Check6.Value() == 1) {
        Check8.SetVisible(true);
        WriteSetting(platform_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOn);
        try {
            mStartUp::AddToStartup(platform_);
        } catch (const AppError& error) {
            ShowMessage(std::wstring(kStartupErrorPrefix) + error.Description());
            // The box must not claim what will not happen: unticking runs this handler again,
            // which stores "Off".
            Check6.SetValue(0);
        }
        return;
    }
    // Runs Check8_Click, which stores "Minimized" = "Off", only when it was checked.
    Check8.SetValue(0);
    Check8.SetVisible(false);
    WriteSetting(platform_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOff);
    try {
        mStartUp::RemoveFromStartup(platform_);
    } catch (const AppError& error) {
        ShowMessage(std::wstring(kStartupErrorPrefix) + error.Description());
    }
}

void Form1::Check8_Click() {
    WriteSetting(platform_, kSettingsApp, kSettingsSection, kKeyMinimized,
                 Check8.Value() == 1 ? kOn : kOff);
}

}  // namespace vt
