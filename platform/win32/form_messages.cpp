// Form1's window procedure: a switch on the message, each handed to its handler.
#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include <string>

namespace vt::win32 {

// --- The window procedure ------------------------------------------------------------------

LRESULT CALLBACK Win32FormToolkit::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) noexcept {
    if (message == WM_NCCREATE && !Attach(window, lParam)) {
        return FALSE;  // CreateWindowExA fails, with the reason in the last error
    }
    auto* self = reinterpret_cast<Win32FormToolkit*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        // No exception may unwind into the system; the program's handlers trap their own.
        return 0;
    }
}

bool Win32FormToolkit::Attach(HWND window, LPARAM lParam) noexcept {
    auto* self = static_cast<Win32FormToolkit*>(
        reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
    // The previous value is 0 whether or not the call fails: only the last error tells.
    ::SetLastError(0);
    if (::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self)) == 0 &&
        ::GetLastError() != 0) {
        return false;
    }
    self->window_ = UniqueWindow(window);
    return true;
}

LRESULT Win32FormToolkit::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(wParam, lParam);
            return 0;
        case WM_NOTIFY:
            OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
            return 0;
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return OnControlColour(window, message, wParam, lParam);
        case WM_SETCURSOR:
            return OnSetCursor(window, wParam, lParam);
        case WM_SYSCOMMAND:
            // Not resizable and never maximized, whatever asks (a shortcut, another program).
            if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE) {
                return 0;
            }
            break;
        case WM_ACTIVATE:
            // Remember the focused control, so that coming back gives it the focus again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(window, focus)) {
                    lastFocus_ = focus;
                }
            }
            break;
        case WM_SETFOCUS:
            OnSetFocus();
            return 0;
        case WM_TIMER:
            if (wParam == kTimer1Id && events_ != nullptr) {
                events_->OnTimer();
            }
            return 0;
        case WM_CLOSE:
            // Never DefWindowProc: the program decides how it ends.
            if (events_ != nullptr) {
                events_->OnQueryUnload();
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;  // the program never holds the session up
        case WM_ENDSESSION:
            if (wParam != FALSE && events_ != nullptr) {
                events_->OnEndSession();
            }
            return 0;
        case WM_DESTROY:
            if (quitOnDestroy_) {
                ::PostQuitMessage(0);
            }
            return 0;
        case WM_NCDESTROY:
            // The last message: the window and the controls it owned are gone.
            static_cast<void>(window_.release());
            controls_.fill(nullptr);
            toolTip_ = nullptr;
            lastFocus_ = nullptr;
            break;
        default:
            // Registered at run time, so they cannot be case labels.
            if (message >= kFirstRegisteredMessage && message <= 0xFFFF && events_ != nullptr) {
                events_->OnRegisteredMessage(message, wParam, lParam);
            }
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void Win32FormToolkit::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (events_ == nullptr) {
        return;
    }
    if (lParam == 0) {
        // A menu item. Enter and Escape arrive here too, as IDOK and IDCANCEL from the dialog
        // manager, and do nothing: the form has no default or cancel button.
        if (code == 0 && id != IDOK && id != IDCANCEL &&
            ::GetMenuState(menuBar_.get(), static_cast<UINT>(id), MF_BYCOMMAND) != UINT(-1)) {
            events_->OnMenuCommand(static_cast<MenuId>(id));
        }
        return;
    }
    const std::optional<ControlId> control = ControlOf(reinterpret_cast<HWND>(lParam));
    const std::size_t index = control ? IndexOf(*control) : kNoControl;
    if (index == kNoControl) {
        return;
    }
    const ControlKind kind = kForm1Controls[index].kind;
    // An owner-drawn button reports a quick second click as a double click: still a click.
    const bool clicked =
        code == BN_CLICKED || (kind == ControlKind::PushButton && code == BN_DOUBLECLICKED);
    if (clicked && (kind == ControlKind::PushButton || kind == ControlKind::CheckBox)) {
        events_->OnClick(*control);
    }
}

void Win32FormToolkit::OnNotify(const NMHDR& header) {
    if (events_ == nullptr || header.hwndFrom != Control(ControlId::ListView1)) {
        return;
    }
    if (header.code == static_cast<UINT>(NM_CLICK)) {
        events_->OnClick(ControlId::ListView1);
    } else if (header.code == static_cast<UINT>(NM_DBLCLK)) {
        events_->OnDblClick(ControlId::ListView1);
    }
}

LRESULT Win32FormToolkit::OnSetCursor(HWND window, WPARAM wParam, LPARAM lParam) {
    const HWND target = reinterpret_cast<HWND>(wParam);
    const UINT hitTest = LOWORD(lParam);
    const UINT mouseMessage = HIWORD(lParam);
    // The controls ask their parent first (DefWindowProc), so every part of the client area
    // comes here; the form's own frame and title bar keep their pointers.
    const std::optional<ControlId> control = ControlOf(target);
    if ((target == window && hitTest != HTCLIENT) || !control) {
        return ::DefWindowProcA(window, WM_SETCURSOR, wParam, lParam);
    }
    if (mouseMessage == WM_MOUSEMOVE && events_ != nullptr) {
        events_->OnMouseMove(*control);
    }
    if (mousePointer_ == kMousePointerCustom) {
        // Without a loaded image the custom setting shows the arrow. The result is the previous
        // pointer.
        static_cast<void>(
            ::SetCursor(mouseIcon_ ? mouseIcon_.get() : ::LoadCursorA(nullptr, IDC_ARROW)));
        return TRUE;
    }
    if (target != window) {
        return FALSE;  // the control shows its own pointer
    }
    return ::DefWindowProcA(window, WM_SETCURSOR, wParam, lParam);
}

void Win32FormToolkit::OnSetFocus() {
    HWND target = lastFocus_;
    if (target == nullptr || !::IsChild(Handle(), target) || !::IsWindowVisible(target) ||
        !::IsWindowEnabled(target)) {
        target = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);  // first in tab order
    }
    if (target != nullptr) {
        static_cast<void>(::SetFocus(target));  // the result is the previous focus
    }
}

}  // namespace vt::win32
