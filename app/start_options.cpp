#include <string>

#include "app/main_window.h"
#include "platform/error.h"
#include "platform/scoped_flag.h"
#include "settings/startup_registration.h"

namespace vt {

constexpr std::wstring_view kStartupErrorPrefix = L"ERROR while changing Windows startup - ";

void Form1::Check6_Click() {
    if (IsLoading || revertingOptions_) {
        return;  // start-up restores the box, or a failed change is being undone
    }
    const bool ticked = Check6.Value() == 1;
    std::int32_t trayStored = Check8.Value();  // what "Minimized" holds
    bool startupStored = false;                // "Windows Startup" holds the new state
    try {
        const ScopedFlag changing(changingStartup_);
        if (ticked) {
            Check8.SetVisible(true);
            WriteSetting(settings_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOn);
            startupStored = true;
            mStartUp::AddToStartup(platform_.registry, platform_.text, platform_.system);
        } else {
            // Runs Check8_Click, which stores "Minimized" = "Off", only when it was checked.
            Check8.SetValue(0);
            trayStored = 0;
            Check8.SetVisible(false);
            WriteSetting(settings_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOff);
            startupStored = true;
            mStartUp::RemoveFromStartup(platform_.registry, platform_.text, platform_.system);
        }
        return;
    } catch (...) {
        ShowMessage(std::wstring(kStartupErrorPrefix) + CurrentErrorDescription(platform_.text));
    }
    if (ended_) {
        return;
    }
    // The boxes must not claim what is neither stored nor registered.
    if (ticked) {
        // Nothing was registered: unticked again, and stored so when "On" was.
        if (startupStored) {
            try {
                WriteSetting(settings_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOff);
            } catch (...) {
                // Already reported: the store refuses writes, and the Run key holds nothing.
            }
        }
        ShowStartOptions(0, 0);
    } else if (!startupStored) {
        // Still on and still registered.
        ShowStartOptions(1, trayStored);
    }
    // Otherwise "Off" is stored but a Run value stayed behind: the message says so, and the box
    // shows what the user chose and the store holds.
}

void Form1::Check8_Click() {
    if (revertingOptions_) {
        return;
    }
    const std::int32_t value = Check8.Value();
    try {
        WriteSetting(settings_, kSettingsApp, kSettingsSection, kKeyMinimized,
                     value == 1 ? kOn : kOff);
    } catch (...) {
        if (IsLoading || changingStartup_) {
            throw;  // start-up and Check6_Click report it with their own messages
        }
        ShowMessage(std::wstring(kStartupErrorPrefix) + CurrentErrorDescription(platform_.text));
        if (!ended_) {
            ShowStartOptions(Check6.Value(), value == 1 ? 0 : 1);
        }
    }
}

void Form1::ShowStartOptions(std::int32_t startup, std::int32_t tray) {
    const ScopedFlag reverting(revertingOptions_);
    Check6.SetValue(startup);
    Check8.SetValue(tray);
    Check8.SetVisible(startup == 1);
}

}  // namespace vt
