#include "tray/tray_window_proc.h"

#include "tray/tray_icon.h"
#include "tray/tray_owner.h"

namespace vt::APIStuff {

namespace {

LResult PassOn(WindowSystem* windows, Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) noexcept {
    if (windows == nullptr || Tray::SavedWndProc == nullptr) {
        return 0;  // never subclassed: there is nothing to hand it to
    }
    try {
        return windows->CallWindowProcA(Tray::SavedWndProc, hWnd, msg, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may unwind into the system's message dispatch
    }
}

void OnTrayRightButtonUp(TrayOwner& owner) {
    if (owner.Busy()) {
        Tray::RightClickHeld = true;
        return;
    }
    WindowSystem& windows = owner.windows();
    // A pop-up menu of a background window does not close when the user clicks elsewhere.
    static_cast<void>(windows.SetForegroundWindow(owner.hWnd()));
    owner.ShowTrayMenu(Tray::TrayPopupMenu);
    // NOTE: the menu's modal loop has dispatched the chosen command, timer ticks and perhaps a
    // close request; any of them may have removed the icon or ended the program.
    if (Tray::TrayOwnerForm == nullptr || owner.Ended()) {
        return;
    }
    // Without it the menu shown next would close at once.
    static_cast<void>(windows.PostMessageA(Tray::TrayOwnerForm->hWnd(), WM_NULL, 0, 0));
}

}  // namespace

LResult VT_CALLBACK TrayWindowProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) noexcept {
    // Held here: removing the icon empties the owner while the message still has to go on.
    TrayOwner* const owner = Tray::TrayOwnerForm;
    WindowSystem* const windows = owner != nullptr ? &owner->windows() : Tray::TrayPlatform;
    if (owner != nullptr) {
        try {
            // Registered at run time, so it cannot be a case label.
            if (Tray::TaskbarCreatedMessage != 0 && msg == Tray::TaskbarCreatedMessage) {
                Tray::RestoreTrayIcon();
            }
            switch (msg) {
                case WM_NCDESTROY:
                    // The icon goes with the window; its own procedure still gets the message.
                    Tray::RemoveTrayIcon();
                    break;
                case Tray::TRAY_CALLBACK_MESSAGE:
                    if (lParam == static_cast<LParam>(WM_RBUTTONUP)) {
                        OnTrayRightButtonUp(*owner);
                        return 0;  // the menu's own, not passed on
                    }
                    break;
                default:
                    break;
            }
        } catch (...) {
            // Our part failed; the window's own procedure still gets the message.
        }
    }
    return PassOn(windows, hWnd, msg, wParam, lParam);
}

}  // namespace vt::APIStuff
