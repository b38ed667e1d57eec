// The real Form1 on the real platform: monitoring from the tray and back, by the user's way.
// First: the platform header orders the seam before <windows.h>.
#include "window_support.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "app/main_window.h"
#include "tray/tray_window_proc.h"
#include "tests/windows/window_message_filter.h"
#include "tray/tray_icon.h"

namespace vt::test {
namespace {

// Form1 on the real platform; its window goes while the form it reports to still exists.
struct LiveProgram {
    LiveProgram() : form(platform) { hwnd = win32::ToHwnd(form.hWnd()); }
    LiveProgram(const LiveProgram&) = delete;
    LiveProgram& operator=(const LiveProgram&) = delete;
    ~LiveProgram() {
        try {
            platform.EndProgram();
        } catch (...) {
        }
        static_cast<void>(TakeQuit());
    }

    AnsweringPlatform platform;
    Form1 form;
    HWND hwnd = nullptr;
};

// Whether the shell holds the program's icon: modifying an icon it does not hold fails.
bool ShellHasIcon(HWND owner) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = owner;
    probe.uID = Tray::TrayIconData.uID;
    probe.uFlags = NIF_TIP;
    std::strcpy(probe.szTip, "Right-click here to access the menu");
    return ::Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// A taskbar that is not up yet: a window of the shell's class that refuses every icon (its
// WM_COPYDATA answers FALSE). Newest and topmost, Shell_NotifyIconA finds it before Explorer's.
class UnreadyTaskbar {
  public:
    UnreadyTaskbar() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "Shell_TrayWnd";
        registered_ = ::RegisterClassA(&windowClass) != 0;
        window_ = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP,
                                    0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    UnreadyTaskbar(const UnreadyTaskbar&) = delete;
    UnreadyTaskbar& operator=(const UnreadyTaskbar&) = delete;
    ~UnreadyTaskbar() {
        if (window_ != nullptr) {
            ::DestroyWindow(window_);
        }
        if (registered_) {
            ::UnregisterClassA("Shell_TrayWnd", ::GetModuleHandleA(nullptr));
        }
    }
    bool Up() const { return window_ != nullptr; }

  private:
    bool registered_ = false;
    HWND window_ = nullptr;
};

// While it lasts, ChangeWindowMessageFilterEx is refused.
struct RefusedMessageFilter {
    RefusedMessageFilter() { gRefuseMessageFilter = true; }
    RefusedMessageFilter(const RefusedMessageFilter&) = delete;
    RefusedMessageFilter& operator=(const RefusedMessageFilter&) = delete;
    ~RefusedMessageFilter() { gRefuseMessageFilter = false; }
};

// At low integrity Windows refuses to change the message filter; the program starts, and goes
// into the tray, all the same.
TEST(Form1OnWindows, StartsWhereTheMessageFilterCannotBeChanged) {
    const RefusedMessageFilter refused;
    std::optional<LiveProgram> program;
    try {
        program.emplace();
    } catch (...) {
    }
    ASSERT_TRUE(program.has_value()) << "the main window was not created";
    EXPECT_TRUE(::IsWindow(program->hwnd));
    program->form.Start();
    EXPECT_TRUE(::IsWindowVisible(program->hwnd));

    program->form.ListView1.Add(L"vintrell-window-test-no-such-window");
    ::SendMessageA(::GetDlgItem(program->hwnd, static_cast<int>(ControlId::Check2)), BM_CLICK, 0,
                   0);
    // Asked to let Explorer's "TaskbarCreated" through, and refused.
    EXPECT_EQ(gLastFilterMessage, ::RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_TRUE(ShellHasIcon(program->hwnd));
    EXPECT_TRUE(program->form.Timer1.Enabled());
    EXPECT_TRUE(program->platform.boxes.empty());
    program->form.mnuStopMonitoring_Click();
}

TEST(Form1OnWindows, StartMonitoringGoesToTheTrayAndTheTrayMenuBringsTheWindowBack) {
    LiveProgram program;
    Form1& form = program.form;
    form.ListView1.Add(L"vintrell-window-test-no-such-window");
    program.platform.ShowForm();
    PumpFor(100);

    ::SendMessageA(::GetDlgItem(program.hwnd, static_cast<int>(ControlId::Check2)), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.platform.boxes.empty());
    EXPECT_FALSE(::IsWindowVisible(program.hwnd));
    EXPECT_TRUE(ShellHasIcon(program.hwnd));
    EXPECT_EQ(::GetWindowLongPtrA(program.hwnd, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&APIStuff::TrayWindowProc));
    EXPECT_TRUE(form.Timer1.Enabled());
    EXPECT_EQ(form.Check2.Value(), 0);  // the button sprang back
    PumpFor(250);                       // a few sweeps, which close nothing of ours
    EXPECT_TRUE(::IsWindow(program.hwnd));

    // A right-button release on the icon: the menu opens; its item stops monitoring.
    MenuDriver chooser({VK_DOWN, VK_RETURN});
    ::SendMessageA(program.hwnd, Tray::TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_TRUE(chooser.MenuSeen());
    EXPECT_FALSE(chooser.ClosedByGuard());
    EXPECT_TRUE(::IsWindowVisible(program.hwnd));
    EXPECT_FALSE(ShellHasIcon(program.hwnd));
    EXPECT_NE(::GetWindowLongPtrA(program.hwnd, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&APIStuff::TrayWindowProc));
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_TRUE(program.platform.boxes.empty());
}

// A refused icon is asked for again from the timer's ticks, never by waiting on the window
// thread: the window answers meanwhile, and the icon comes once the taskbar is up.
TEST(Form1OnWindows, WhileTheTaskbarRefusesTheIconTheWindowAnswersAndTheIconFollows) {
    LiveProgram program;
    program.form.ListView1.Add(L"vintrell-window-test-no-such-window");
    program.platform.ShowForm();
    std::optional<UnreadyTaskbar> taskbar(std::in_place);
    ASSERT_TRUE(taskbar->Up());

    // Another thread asks the window as soon as it has gone into the tray.
    std::atomic<bool> asked = false;
    std::atomic<bool> answered = false;
    std::thread asker([&] {
        const DWORD start = ::GetTickCount();
        while (::IsWindowVisible(program.hwnd) && ::GetTickCount() - start < 5000) {
            ::Sleep(1);
        }
        DWORD_PTR result = 0;
        answered =
            ::SendMessageTimeoutA(program.hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result) != 0;
        asked = true;
    });
    ::SendMessageA(::GetDlgItem(program.hwnd, static_cast<int>(ControlId::Check2)), BM_CLICK, 0, 0);
    for (int waited = 0; !asked && waited < 10000; waited += 10) {
        PumpFor(10);
    }
    asker.join();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(::IsWindowVisible(program.hwnd));
    EXPECT_TRUE(program.form.Timer1.Enabled());
    EXPECT_FALSE(ShellHasIcon(program.hwnd)) << "the unready taskbar was not the one asked";

    taskbar.reset();
    for (int waited = 0; waited < 3000 && !ShellHasIcon(program.hwnd); waited += 50) {
        PumpFor(50);
    }
    EXPECT_TRUE(ShellHasIcon(program.hwnd));
    EXPECT_TRUE(program.form.Timer1.Enabled());
    EXPECT_TRUE(program.platform.boxes.empty());
    program.form.mnuStopMonitoring_Click();
}

}  // namespace
}  // namespace vt::test
