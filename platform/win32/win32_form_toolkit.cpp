// Form1's window toolkit on Windows, and the message loop.
#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include "platform/scoped_flag.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

// The whole window, frame included, in screen pixels.
RECT FrameOf(HWND window) {
    RECT frame;
    if (!::GetWindowRect(window, &frame)) {
        ThrowLastError(L"The main window's size could not be read");
    }
    return frame;
}

}  // namespace

// Every message the program's loops take from the queue passes here: the message loop's and
// DoEvents'. Both take messages in Unicode: an ANSI loop would turn each typed character that
// the code page lacks into '?' before the entry box sees it.
void Win32FormToolkit::Dispatch(MSG& message) {
    RelayToToolTip(message);
    // Tab and Shift+Tab move the focus among the controls, as in a dialog.
    if (Handle() != nullptr && ::IsDialogMessageW(Handle(), &message)) {
        return;
    }
    // Neither result is a failure: whether a key was translated, and the procedure's answer.
    static_cast<void>(::TranslateMessage(&message));
    static_cast<void>(::DispatchMessageW(&message));
}

int Win32FormToolkit::RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            ThrowLastError(L"The program's messages could not be read");
        }
        Dispatch(message);
    }
}

void Win32FormToolkit::DoEvents() {
    // Called from a timer tick while a pop-up menu or a message box is open, it must leave the
    // user's keys and clicks to that modal loop: dispatched here, past the menu's or the box's
    // own handling, they would be lost to it.
    const UINT leaveInput = inModalLoop_ ? PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE | PM_QS_PAINT : 0;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | leaveInput)) {
        if (message.message == WM_QUIT) {
            // The program is ending: leave the quit for the message loop, which ends on it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void Win32FormToolkit::SetCaption(std::wstring_view caption) {
    if (!::SetWindowTextA(RequireForm(), ToAnsi(caption).c_str())) {
        ThrowLastError(L"The caption could not be set");
    }
}

void Win32FormToolkit::ShowForm() {
    const HWND window = RequireForm();
    // Minimized, it would stay a button on the taskbar. The result is the previous
    // visibility, not success.
    static_cast<void>(::ShowWindow(window, ::IsIconic(window) ? SW_RESTORE : SW_SHOW));
}

void Win32FormToolkit::HideForm() {
    static_cast<void>(::ShowWindow(RequireForm(), SW_HIDE));
}

void Win32FormToolkit::MoveForm(std::int32_t leftTwips, std::int32_t topTwips) {
    if (!::SetWindowPos(RequireForm(), nullptr, ToPixels(leftTwips), ToPixels(topTwips), 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        ThrowLastError(L"The main window could not be moved");
    }
}

std::int32_t Win32FormToolkit::FormWidthTwips() {
    const RECT frame = FrameOf(RequireForm());
    return ToTwips(frame.right - frame.left);
}

std::int32_t Win32FormToolkit::FormHeightTwips() {
    const RECT frame = FrameOf(RequireForm());
    return ToTwips(frame.bottom - frame.top);
}

std::int32_t Win32FormToolkit::ScreenWidthTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CXSCREEN), ScreenDpi());
}

std::int32_t Win32FormToolkit::ScreenHeightTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CYSCREEN), ScreenDpi());
}

std::wstring Win32FormToolkit::GetWindowTextW(ControlId control) {
    const HWND window = RequireControl(control);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    // 0 for an empty text as for a failure: an empty box reads as empty either way.
    const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

void Win32FormToolkit::SetControlText(ControlId control, std::wstring_view text) {
    const HWND window = RequireControl(control);
    // The entry box is a Unicode window: its text goes in whole, as it is read.
    const BOOL set = ::IsWindowUnicode(window)
                         ? ::SetWindowTextW(window, std::wstring(text).c_str())
                         : ::SetWindowTextA(window, ToAnsi(text).c_str());
    if (!set) {
        ThrowLastError(L"A control's text could not be set");
    }
}

// --- Message boxes, the end ----------------------------------------------------------------

std::int32_t Win32FormToolkit::MessageBox(std::wstring_view text, UInt style,
                                          std::wstring_view caption) {
    const ScopedFlag open(inModalLoop_);
    // In Unicode: a message names the keyword as typed, letters the code page lacks included.
    return ::MessageBoxW(Handle(), std::wstring(text).c_str(), std::wstring(caption).c_str(),
                         style | MB_APPLMODAL);
}

void Win32FormToolkit::EndProgram() {
    if (Handle() != nullptr) {
        // Its WM_DESTROY ends the message loop.
        if (!::DestroyWindow(Handle())) {
            ThrowLastError(L"The main window could not be closed");
        }
    } else {
        ::PostQuitMessage(0);
    }
}

}  // namespace vt::win32
