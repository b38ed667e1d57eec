#include "tray/api_stuff.h"

#include <string>
#include <string_view>

#include "app/main_window.h"
#include "platform/error.h"
#include "tray/tray.h"

namespace vt::APIStuff {

WndProc SavedWndProc = nullptr;
Form1* TrayOwnerForm = nullptr;
MenuId TrayPopupMenu = MenuId::mnuTray;
UInt TaskbarCreatedMessage = 0;

namespace {

constexpr std::wstring_view kMonitoringAborted =
    L"ERROR while monitoring windows - monitoring has been aborted - ";

LResult PassOn(Platform& platform, Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    return platform.CallWindowProcA(SavedWndProc, hWnd, msg, wParam, lParam);
}

LResult OnNcDestroy(Platform& platform, Hwnd hWnd, WParam wParam, LParam lParam) {
    // The icon goes with the window; the window's own procedure still gets its last message.
    Tray::RemoveTrayIcon();
    return PassOn(platform, hWnd, WM_NCDESTROY, wParam, lParam);
}

LResult OnTrayRightButtonUp(Form1& owner) {
    Platform& platform = owner.platform();
    // A pop-up menu of a background window does not close when the user clicks elsewhere.
    static_cast<void>(platform.SetForegroundWindow(owner.hWnd()));
    platform.PopupMenu(TrayPopupMenu);
    // NOTE: the menu's modal loop has dispatched the chosen command and any timer ticks; either
    // may have stopped monitoring and removed the icon.
    if (TrayOwnerForm == nullptr) {
        return 0;
    }
    // Without it the menu shown next would close at once.
    static_cast<void>(platform.PostMessageA(TrayOwnerForm->hWnd(), WM_NULL, 0, 0));
    return 0;
}

void OnTaskbarCreated(Form1& owner) {
    try {
        Tray::RestoreTrayIcon();
    } catch (const AppError& error) {
        // Hidden and without an icon, the program could not be reached: bring the window back.
        owner.mnuStopMonitoring_Click();
        owner.platform().MessageBox(std::wstring(kMonitoringAborted) + error.Description(), MB_OK,
                                    kAppTitle);
    }
}

}  // namespace

LResult VT_CALLBACK TrayWindowProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) noexcept {
    Form1* owner = TrayOwnerForm;
    if (owner == nullptr) {
        return 0;  // installed only while an owner is set
    }
    // Held here: removing the icon empties the owner while the message still has to go on.
    Platform& platform = owner->platform();
    try {
        switch (msg) {
            case WM_NCDESTROY:
                return OnNcDestroy(platform, hWnd, wParam, lParam);
            case Tray::TRAY_CALLBACK_MESSAGE:
                if (lParam == static_cast<LParam>(WM_RBUTTONUP)) {
                    return OnTrayRightButtonUp(*owner);
                }
                break;
            default:
                if (TaskbarCreatedMessage != 0 && msg == TaskbarCreatedMessage) {
                    OnTaskbarCreated(*owner);
                }
                break;
        }
        return PassOn(platform, hWnd, msg, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may unwind into the system's message dispatch
    }
}

}  // namespace vt::APIStuff
