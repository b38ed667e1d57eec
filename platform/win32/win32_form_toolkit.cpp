// Form1's window toolkit on Windows, and the message loop.
#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include "platform/scoped_flag.h"
#include "platform/win32/form_window.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

// The whole window, frame included, in screen pixels.
RECT FrameOf(const FormWindow& form) {
    RECT frame;
    if (!::GetWindowRect(form.Handle(), &frame)) {
        ThrowLastError(L"The main window's size could not be read");
    }
    return frame;
}

// Every message the program's loops take from the queue passes here: the message loop's and
// DoEvents'. Both take messages in Unicode: an ANSI loop would turn each typed character that
// the code page lacks into '?' before the entry box sees it.
void Dispatch(const std::unique_ptr<FormWindow>& form, MSG& message) {
    if (form) {
        form->RelayToToolTip(message);
    }
    // Tab and Shift+Tab move the focus among the controls, as in a dialog.
    const HWND dialog = form ? form->Handle() : nullptr;
    if (dialog != nullptr && ::IsDialogMessageW(dialog, &message)) {
        return;
    }
    // Neither result is a failure: whether a key was translated, and the procedure's answer.
    static_cast<void>(::TranslateMessage(&message));
    static_cast<void>(::DispatchMessageW(&message));
}

}  // namespace

Win32FormToolkit::Win32FormToolkit(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
    if (!::InitCommonControlsEx(&classes)) {
        ThrowLastError(L"The common controls could not be initialised");
    }
}

Win32FormToolkit::~Win32FormToolkit() = default;

FormWindow& Win32FormToolkit::RequireForm() const {
    if (!form_ || form_->Handle() == nullptr) {
        ThrowInvalidCall(L"The main window does not exist");
    }
    return *form_;
}

HWND Win32FormToolkit::RequireControl(ControlId id) const {
    return RequireForm().RequireControl(id);
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
        Dispatch(form_, message);
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
        Dispatch(form_, message);
    }
}

Hwnd Win32FormToolkit::CreateForm(FormEvents& events) {
    if (form_) {
        ThrowInvalidCall(L"The main window exists already");
    }
    form_ = std::make_unique<FormWindow>(instance_, events);
    return FromHwnd(form_->Handle());
}

void Win32FormToolkit::SetCaption(std::wstring_view caption) {
    if (!::SetWindowTextA(RequireForm().Handle(), ToAnsi(caption).c_str())) {
        ThrowLastError(L"The caption could not be set");
    }
}

void Win32FormToolkit::ShowForm() {
    const HWND window = RequireForm().Handle();
    // Minimized, it would stay a button on the taskbar. The result is the previous
    // visibility, not success.
    static_cast<void>(::ShowWindow(window, ::IsIconic(window) ? SW_RESTORE : SW_SHOW));
}

void Win32FormToolkit::HideForm() {
    static_cast<void>(::ShowWindow(RequireForm().Handle(), SW_HIDE));
}

void Win32FormToolkit::MoveForm(std::int32_t leftTwips, std::int32_t topTwips) {
    FormWindow& form = RequireForm();
    if (!::SetWindowPos(form.Handle(), nullptr, form.ToPixels(leftTwips), form.ToPixels(topTwips),
                        0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        ThrowLastError(L"The main window could not be moved");
    }
}

std::int32_t Win32FormToolkit::FormWidthTwips() {
    const FormWindow& form = RequireForm();
    const RECT frame = FrameOf(form);
    return form.ToTwips(frame.right - frame.left);
}

std::int32_t Win32FormToolkit::FormHeightTwips() {
    const FormWindow& form = RequireForm();
    const RECT frame = FrameOf(form);
    return form.ToTwips(frame.bottom - frame.top);
}

std::int32_t Win32FormToolkit::ScreenWidthTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CXSCREEN), ScreenDpi());
}

std::int32_t Win32FormToolkit::ScreenHeightTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CYSCREEN), ScreenDpi());
}

void Win32FormToolkit::SetCheckValue(ControlId control, std::int32_t value) {
    RequireForm().SetCheckValue(control, value);
}

void Win32FormToolkit::SetControlVisible(ControlId control, bool visible) {
    RequireForm().SetControlVisible(control, visible);
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

// --- Timer, pointer, menus, message boxes, the end -------------------------------------------

void Win32FormToolkit::SetTimerEnabled(bool enabled) {
    if (!enabled && (!form_ || form_->Handle() == nullptr)) {
        return;  // the timer went with the window
    }
    RequireForm().SetTimerEnabled(enabled);
}

void Win32FormToolkit::SetMousePointer(std::int32_t pointer) {
    RequireForm().SetMousePointer(pointer);
}

bool Win32FormToolkit::LoadMouseIcon(std::wstring_view path) {
    return RequireForm().LoadMouseIcon(std::wstring(path));
}

void Win32FormToolkit::PopupMenu(MenuId menu) {
    FormWindow& form = RequireForm();
    const ScopedFlag open(inModalLoop_);
    form.PopupMenu(menu);
}

std::int32_t Win32FormToolkit::MessageBox(std::wstring_view text, UInt style,
                                          std::wstring_view caption) {
    const HWND owner = form_ ? form_->Handle() : nullptr;
    const ScopedFlag open(inModalLoop_);
    // In Unicode: a message names the keyword as typed, letters the code page lacks included.
    return ::MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(caption).c_str(),
                         style | MB_APPLMODAL);
}

void Win32FormToolkit::EndProgram() {
    if (form_ && form_->Handle() != nullptr) {
        form_->Destroy();  // its WM_DESTROY ends the message loop
    } else {
        ::PostQuitMessage(0);
    }
}

}  // namespace vt::win32
