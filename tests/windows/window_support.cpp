#include "window_support.h"

namespace vt::test {

void RecordingEvents::OnClick(ControlId control) {
    clicks.push_back(control);
    if (onClick) {
        onClick(control);
    }
}

void RecordingEvents::OnTimer() {
    ++ticks;
    if (onTimer) {
        onTimer();
    }
}

namespace {
constexpr UINT kDriverPeriodMs = 50;
constexpr DWORD kDriverGiveUpMs = 4000;
}  // namespace

MenuDriver::MenuDriver(std::vector<WORD> keys, int delayMs)
    : keys_(std::move(keys)), delayMs_(static_cast<DWORD>(delayMs)), armedAt_(::GetTickCount()) {
    active_ = this;
    timer_ = ::SetTimer(nullptr, 0, kDriverPeriodMs, &MenuDriver::Tick);
}

MenuDriver::~MenuDriver() {
    ::KillTimer(nullptr, timer_);
    active_ = nullptr;
}

void CALLBACK MenuDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (active_ != nullptr) {
        active_->Drive();
    }
}

void MenuDriver::Drive() {
    const HWND menu = ::FindWindowA("#32768", nullptr);
    const bool shown = menu != nullptr && ::IsWindowVisible(menu);
    const DWORD now = ::GetTickCount();
    if (shown && !seen_) {
        seen_ = true;
        seenAt_ = now;
        RecordItems(reinterpret_cast<HMENU>(::SendMessageA(menu, MN_GETHMENU, 0, 0)));
    }
    if (shown && !pressed_ && !keys_.empty() && now - seenAt_ >= delayMs_) {
        pressed_ = true;
        PressKeys(keys_);
        return;
    }
    const bool stuck = seen_ ? shown && now - seenAt_ >= delayMs_ + kDriverGiveUpMs
                             : now - armedAt_ >= kDriverGiveUpMs;
    if (stuck && !closedByGuard_) {
        closedByGuard_ = true;
        ::EndMenu();
    }
}

void MenuDriver::RecordItems(HMENU menu) {
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        ShownMenuItem item;
        item.id = ::GetMenuItemID(menu, i);
        char caption[128] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(i), caption, sizeof(caption), MF_BYPOSITION);
        item.caption = caption;
        item.state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        items_.push_back(item);
    }
    defaultItem_ = ::GetMenuDefaultItem(menu, FALSE, 0);
}

void PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT press{};
        press.type = INPUT_KEYBOARD;
        press.ki.wVk = key;
        inputs.push_back(press);
        press.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(press);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::int32_t AnsweringPlatform::MessageBox(std::wstring_view text, UInt style,
                                           std::wstring_view caption) {
    boxes.push_back({std::wstring(text), style, std::wstring(caption)});
    return IDOK;
}

FormTest::FormTest() {
    form = win32::ToHwnd(platform.CreateForm(events));
    dpi = win32::ScreenDpi();
}

FormTest::~FormTest() {
    // A test that ended the program leaves the quit behind; the next test starts without it.
    static_cast<void>(TakeQuit());
}

void FormTest::ShowAndActivate() {
    platform.ShowForm();
    ::SetForegroundWindow(form);
    ::SetActiveWindow(form);
    PumpFor(50);
}

void PumpFor(int milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= static_cast<DWORD>(milliseconds)) {
            return;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds) - elapsed,
                                    QS_ALLINPUT);
    }
}

bool TakeQuit() {
    MSG message;
    bool taken = false;
    while (::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        taken = true;
    }
    return taken;
}

RECT ClientRectOf(HWND form, HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT TableRect(const ControlLayout& layout, int dpi) {
    const int left = win32::TwipsToPixels(layout.left, dpi);
    const int top = win32::TwipsToPixels(layout.top, dpi);
    return RECT{left, top, left + win32::TwipsToPixels(layout.width, dpi),
                top + win32::TwipsToPixels(layout.height, dpi)};
}

}  // namespace vt::test
