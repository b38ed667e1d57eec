// Win32Platform's message loop and window toolkit: Form1 and its controls.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <cstring>
#include <limits>
#include <string>

#include "platform/error.h"
#include "platform/win32/form_window.h"
#include "resources/resource.h"

namespace vt::win32 {

namespace {

constexpr std::int32_t kNewColumnWidthTwips = 1440;

FormWindow& Require(const std::unique_ptr<FormWindow>& form) {
    if (!form || form->Handle() == nullptr) {
        ThrowInvalidCall(L"The main window does not exist");
    }
    return *form;
}

HWND RequireControl(const std::unique_ptr<FormWindow>& form, ControlId id) {
    return Require(form).RequireControl(id);
}

// The whole window, frame included, in screen pixels.
RECT FrameOf(const FormWindow& form) {
    RECT frame;
    if (!::GetWindowRect(form.Handle(), &frame)) {
        ThrowLastError(L"The main window's size could not be read");
    }
    return frame;
}

// The list's own error for an item that does not exist, as the list view contract raises it.
[[noreturn]] void ThrowNoItem() {
    throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
}

// Every message the program's loops take from the queue passes here: the message loop's and
// DoEvents'.
void Dispatch(const std::unique_ptr<FormWindow>& form, MSG& message) {
    if (form) {
        form->RelayToToolTip(message);
    }
    // Tab and Shift+Tab move the focus among the controls, as in a dialog.
    const HWND dialog = form ? form->Handle() : nullptr;
    if (dialog != nullptr && ::IsDialogMessageA(dialog, &message)) {
        return;
    }
    // Neither result is a failure: whether a key was translated, and the procedure's answer.
    static_cast<void>(::TranslateMessage(&message));
    static_cast<void>(::DispatchMessageA(&message));
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
    if (!::InitCommonControlsEx(&classes)) {
        ThrowLastError(L"The common controls could not be initialised");
    }
}

Win32Platform::~Win32Platform() = default;

int Win32Platform::RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            ThrowLastError(L"The program's messages could not be read");
        }
        Dispatch(form_, message);
    }
}

void Win32Platform::DoEvents() {
    // Called from a timer tick while a pop-up menu is open, it must leave the user's keys and
    // clicks to the menu's own loop: dispatched here, they would be lost to it.
    const UINT leaveInput =
        form_ && form_->MenuOpen() ? PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE | PM_QS_PAINT : 0;
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | leaveInput)) {
        if (message.message == WM_QUIT) {
            // The program is ending: leave the quit for the message loop, which ends on it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(form_, message);
    }
}

Hicon Win32Platform::ApplicationIcon() {
    // A shared icon: the system keeps it as long as the module is loaded.
    HICON icon = ::LoadIconA(instance_, MAKEINTRESOURCEA(VT_IDI_APPLICATION));
    if (icon == nullptr) {
        icon = ::LoadIconA(nullptr, IDI_APPLICATION);  // a module without icons (a test program)
    }
    return FromHicon(icon);
}

Hwnd Win32Platform::CreateForm(FormEvents& events) {
    if (form_) {
        ThrowInvalidCall(L"The main window exists already");
    }
    form_ = std::make_unique<FormWindow>(instance_, *this, events);
    return FromHwnd(form_->Handle());
}

void Win32Platform::SetCaption(std::wstring_view caption) {
    if (!::SetWindowTextA(Require(form_).Handle(), UnicodeToAnsi(caption).c_str())) {
        ThrowLastError(L"The caption could not be set");
    }
}

void Win32Platform::ShowForm() {
    // The result is the previous visibility, not success.
    static_cast<void>(::ShowWindow(Require(form_).Handle(), SW_SHOW));
}

void Win32Platform::HideForm() {
    static_cast<void>(::ShowWindow(Require(form_).Handle(), SW_HIDE));
}

void Win32Platform::MoveForm(std::int32_t leftTwips, std::int32_t topTwips) {
    FormWindow& form = Require(form_);
    if (!::SetWindowPos(form.Handle(), nullptr, form.ToPixels(leftTwips), form.ToPixels(topTwips),
                        0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        ThrowLastError(L"The main window could not be moved");
    }
}

std::int32_t Win32Platform::FormWidthTwips() {
    const FormWindow& form = Require(form_);
    const RECT frame = FrameOf(form);
    return form.ToTwips(frame.right - frame.left);
}

std::int32_t Win32Platform::FormHeightTwips() {
    const FormWindow& form = Require(form_);
    const RECT frame = FrameOf(form);
    return form.ToTwips(frame.bottom - frame.top);
}

std::int32_t Win32Platform::ScreenWidthTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CXSCREEN), ScreenDpi());
}

std::int32_t Win32Platform::ScreenHeightTwips() {
    return PixelsToTwips(::GetSystemMetrics(SM_CYSCREEN), ScreenDpi());
}

void Win32Platform::SetCheckValue(ControlId control, std::int32_t value) {
    Require(form_).SetCheckValue(control, value);
}

void Win32Platform::SetControlVisible(ControlId control, bool visible) {
    Require(form_).SetControlVisible(control, visible);
}

std::wstring Win32Platform::GetControlText(ControlId control) {
    return AnsiToUnicode(WindowTextAnsi(RequireControl(form_, control)));
}

void Win32Platform::SetControlText(ControlId control, std::wstring_view text) {
    if (!::SetWindowTextA(RequireControl(form_, control), UnicodeToAnsi(text).c_str())) {
        ThrowLastError(L"A control's text could not be set");
    }
}

// --- ListView1 -----------------------------------------------------------------------------

std::int32_t Win32Platform::ListCount() {
    return static_cast<std::int32_t>(
        ::SendMessageA(RequireControl(form_, ControlId::ListView1), LVM_GETITEMCOUNT, 0, 0));
}

void Win32Platform::ListAdd(std::wstring_view text) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    std::string ansi = UnicodeToAnsi(text);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = std::numeric_limits<int>::max();  // past the end: appended
    item.pszText = ansi.data();
    if (::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) == -1) {
        ThrowInvalidCall(L"The item could not be added to the list");
    }
}

namespace {

// The widest character of the ANSI code page, in bytes.
std::size_t WidestCharacter() {
    CPINFO codePage{};
    return ::GetCPInfo(CP_ACP, &codePage) ? codePage.MaxCharSize : 4;
}

// One read of an item's text into the buffer; its length in bytes.
std::size_t ReadItem(HWND list, std::int32_t index, std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    if (!::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        ThrowNoItem();
    }
    // The list may point pszText at a text of its own instead of filling the buffer.
    const std::size_t length = ::strnlen(item.pszText, text.size());
    if (item.pszText != text.data()) {
        text.assign(item.pszText, length);
    }
    return length;
}

}  // namespace

std::wstring Win32Platform::ListText(std::int32_t index) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    if (index < 0) {
        ThrowNoItem();
    }
    // One message an item: the list refuses an index it does not have. It reports neither the
    // text's length nor a cut, so a text that may not have fitted is read again with a larger
    // buffer. A character that does not fit whole is left out, so the read is the whole text
    // only when one more of the code page's widest characters would still have fitted.
    const std::size_t widest = WidestCharacter();
    std::string text(256, '\0');
    for (;;) {
        const std::size_t length = ReadItem(list, index, text);
        if (length + widest < text.size()) {
            return AnsiToUnicode(std::string_view(text.data(), length));
        }
        text.assign(text.size() * 2, '\0');
    }
}

std::wstring Win32Platform::ListTextStart(std::int32_t index, std::size_t maxLength) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    if (index < 0) {
        ThrowNoItem();
    }
    // Room for one character more than asked for, however wide: the first maxLength are whole.
    std::string text((maxLength + 1) * WidestCharacter() + 1, '\0');
    const std::size_t length = ReadItem(list, index, text);
    std::wstring start = AnsiToUnicode(std::string_view(text.data(), length));
    if (start.size() > maxLength) {
        start.resize(maxLength);
    }
    return start;
}

void Win32Platform::ListRemove(std::int32_t index) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    // The list refuses an index it does not have.
    if (index < 0 || !::SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(index), 0)) {
        ThrowNoItem();
    }
}

void Win32Platform::ListClear() {
    if (!::SendMessageA(RequireControl(form_, ControlId::ListView1), LVM_DELETEALLITEMS, 0, 0)) {
        ThrowInvalidCall(L"The list could not be cleared");
    }
}

std::int32_t Win32Platform::ListSelectedIndex() {
    return static_cast<std::int32_t>(::SendMessageA(RequireControl(form_, ControlId::ListView1),
                                                    LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                    MAKELPARAM(LVNI_SELECTED, 0)));
}

void Win32Platform::ListAddColumn(std::wstring_view header) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    const HWND headerControl = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    const auto columns =
        headerControl == nullptr ? 0 : ::SendMessageA(headerControl, HDM_GETITEMCOUNT, 0, 0);
    std::string text = UnicodeToAnsi(header);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text.data();
    column.cx = form_->ToPixels(kNewColumnWidthTwips);
    if (::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(columns > 0 ? columns : 0),
                       reinterpret_cast<LPARAM>(&column)) == -1) {
        ThrowInvalidCall(L"The column could not be added to the list");
    }
}

void Win32Platform::ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) {
    const HWND list = RequireControl(form_, ControlId::ListView1);
    if (!::SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                        MAKELPARAM(form_->ToPixels(widthTwips), 0))) {
        ThrowInvalidCall(L"The column's width could not be set");
    }
}

// --- Timer, pointer, menus, message boxes, the end -------------------------------------------

void Win32Platform::SetTimerEnabled(bool enabled) {
    if (!enabled && (!form_ || form_->Handle() == nullptr)) {
        return;  // the timer went with the window
    }
    Require(form_).SetTimerEnabled(enabled);
}

void Win32Platform::SetMousePointer(std::int32_t pointer) {
    Require(form_).SetMousePointer(pointer);
}

bool Win32Platform::LoadMouseIcon(std::wstring_view path) {
    return Require(form_).LoadMouseIcon(std::wstring(path));
}

void Win32Platform::PopupMenu(MenuId menu) {
    Require(form_).PopupMenu(menu);
}

std::int32_t Win32Platform::MessageBox(std::wstring_view text, UInt style,
                                       std::wstring_view caption) {
    const HWND owner = form_ ? form_->Handle() : nullptr;
    return ::MessageBoxA(owner, UnicodeToAnsi(text).c_str(), UnicodeToAnsi(caption).c_str(),
                         style | MB_APPLMODAL);
}

void Win32Platform::EndProgram() {
    if (form_ && form_->Handle() != nullptr) {
        form_->Destroy();  // its WM_DESTROY ends the message loop
    } else {
        ::PostQuitMessage(0);
    }
}

}  // namespace vt::win32
