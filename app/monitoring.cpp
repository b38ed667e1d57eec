#include <string>

#include "app/main_window.h"
#include "platform/error.h"

namespace vt {

constexpr std::wstring_view kNoKeyword = L"Please add a keyword to monitor";
// Monitoring cannot start, or cannot go on once the icon is lost.
constexpr std::wstring_view kStartMonitoringError = L"ERROR while starting monitoring - ";
constexpr std::wstring_view kStopFailed = L"ERROR while stopping monitoring - ";
constexpr std::wstring_view kSweepFailed =
    L"ERROR while monitoring windows - monitoring has been aborted - ";

void Form1::Check2_Click() {
    if (!Check2.Pushed()) {
        return;
    }
    std::int32_t count = 0;
    try {
        count = ListView1.Count();
    } catch (...) {
        ShowMessage(std::wstring(kStartMonitoringError) + CurrentErrorDescription(platform_.text));
        return;
    }
    if (count <= 0) {
        ShowMessage(kNoKeyword);
        return;
    }
    EnterMonitoring(Tray::kAddPatienceMs);
}

void Form1::EnterMonitoring(std::uint32_t iconPatienceMs) {
    std::wstring description;
    try {
        platform_.form.HideForm();
        Tray::AddTrayIcon(*this, MenuId::mnuTray, iconPatienceMs);
        Tray::SetTrayTip(kTrayTip);
        Timer1.SetEnabled(true);
        monitor_.InstallWindowEventHooks();
        return;
    } catch (...) {
        description = CurrentErrorDescription(platform_.text);
    }
    // Back to Idle before the message, so the user is never left with a hidden window.
    mnuStopMonitoring_Click();
    ShowMessage(std::wstring(kStartMonitoringError) + description);
}

// Stop Monitoring: the tray menu's item, and the sweep's error path.
void Form1::mnuStopMonitoring_Click() {
    if (ended_) {
        return;
    }
    try {
        // Off first: no tick after this one starts another sweep.
        Timer1.SetEnabled(false);
        monitor_.RemoveWindowEventHooks();
        Tray::RemoveTrayIcon();
        platform_.form.ShowForm();
    } catch (...) {
        ShowMessage(std::wstring(kStopFailed) + CurrentErrorDescription(platform_.text));
    }
}

void Form1::Timer1_Timer() {
    // A refused icon is asked for again, the sweep going on meanwhile until monitoring ends.
    if (Tray::RetryTrayIcon()) {
        monitor_.Tick();
    }
}

void Form1::AbortMonitoring(std::wstring_view description) {
    // Stop Monitoring reports its own failures; then this error is told.
    mnuStopMonitoring_Click();
    ShowMessage(std::wstring(kSweepFailed) + std::wstring(description));
}

void Form1::TrayIconLost(std::wstring_view description) {
    mnuStopMonitoring_Click();
    ShowMessage(std::wstring(kStartMonitoringError) + std::wstring(description));
}

}  // namespace vt
