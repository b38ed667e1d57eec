#include <exception>
#include <string>

#include "app/main_window.h"
#include "platform/error.h"
#include "tray/tray.h"

namespace vt {

namespace {

constexpr std::wstring_view kNoKeyword = L"Please add a keyword to monitor";
constexpr std::wstring_view kStartFailed = L"ERROR while starting monitoring - ";
constexpr std::wstring_view kStopFailed = L"ERROR while stopping monitoring - ";
constexpr std::wstring_view kUnexpected = L"Unexpected error";

std::wstring Prefixed(std::wstring_view prefix, std::wstring_view description) {
    return std::wstring(prefix) + std::wstring(description);
}

}  // namespace

// Start Monitoring.
void Form1::Check2_Click() {
    if (Check2.Value() != 1) {
        return;  // the notification of the reset below
    }
    Check2.SetValue(0);  // springs back like a push button
    std::int32_t count = 0;
    try {
        count = ListView1.Count();
    } catch (const AppError& error) {
        ShowMessage(Prefixed(kStartFailed, error.Description()));
        return;
    }
    if (count <= 0) {
        ShowMessage(kNoKeyword);
        return;
    }
    EnterMonitoring();
}

void Form1::EnterMonitoring() {
    std::wstring description;
    try {
        platform_.HideForm();
        Tray::AddTrayIcon(*this, MenuId::mnuTray);
        Tray::SetTrayTip(kTrayTip);
        Timer1.SetEnabled(true);
        return;
    } catch (const AppError& error) {
        description = error.Description();
    } catch (const std::exception&) {
        description = kUnexpected;
    }
    // Back to Idle before the message, so the user is never left with a hidden window.
    mnuStopMonitoring_Click();
    ShowMessage(Prefixed(kStartFailed, description));
}

// Stop Monitoring: the tray menu's item, and the sweep's error path.
void Form1::mnuStopMonitoring_Click() {
    try {
        // Off first: no tick after this one starts another sweep.
        Timer1.SetEnabled(false);
        Tray::RemoveTrayIcon();
        platform_.ShowForm();
    } catch (const AppError& error) {
        ShowMessage(Prefixed(kStopFailed, error.Description()));
    }
}

}  // namespace vt
