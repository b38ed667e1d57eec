// One copy of the program per session, between real processes: the session's mutex, and a
// second start that hands over to the running copy's window and ends.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "app/single_instance.h"
#include "keywords/keyword_store.h"
#include "monitor/main_window_handle.h"

namespace vt::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::wstring kStore = L"Software\\Tolvane\\Vintrell";
constexpr DWORD kSecondStartBoundMs = 10000;

// Takes this thread's messages until the window shows or two seconds have passed.
bool PumpUntilVisible(HWND window) {
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (!::IsWindowVisible(window) && Clock::now() < until) {
        PumpMessages();
        ::Sleep(10);
    }
    return ::IsWindowVisible(window) != FALSE;
}

TEST(OneCopyOnWindows, TheSessionMutexTurnsAnotherStartAwayOnlyWhileItIsHeld) {
    {
        TestPlatform platform;
        SingleInstance session(platform);
        ASSERT_FALSE(session.HandOverToRunningCopy()) << "another copy holds the session";
        // No window of the running copy to be found: the second start looks for it ten seconds,
        // then says so and ends.
        std::wstring shown;
        EXPECT_EQ(RunSecondStartProcess(kSecondStartBoundMs + 10000, &shown), 0u);
        EXPECT_EQ(shown, L"Vintrell is already running but does not respond.");
    }
    EXPECT_EQ(RunSecondStartProcess(kSecondStartBoundMs), kSecondStartWouldRun);
}

// The running copy, monitoring in the tray, handles no message while the second start runs:
// the second start ends all the same, having written nothing, and once the copy takes its
// messages again it stops monitoring and shows its window at the front.
class SecondStartOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(session_.HandOverToRunningCopy()) << "another copy holds the session";
        DeleteKeyTree(HKEY_CURRENT_USER, kStore);
    }
    void TearDown() override { Globals::MainWindowHandle = 0; }

    // What start-up and the handlers may have written.
    std::wstring Stored() {
        std::wstring all;
        for (const wchar_t* key : {L"Listview", L"Windows Startup", L"Minimized"}) {
            all += key;
            all += L"=" + GetSetting(platform_, L"Tolvane", L"Vintrell", key);
            all += L";";
        }
        return all;
    }

    RegistryBackup backup_{kStore, {L"Listview", L"Windows Startup", L"Minimized"}};
    TestPlatform platform_;
    SingleInstance session_{platform_};
};

TEST_F(SecondStartOnWindows, ACopyMonitoringInTheTrayStopsAndShowsWithoutBeingWaitedFor) {
    SaveSetting(platform_, L"Tolvane", L"Vintrell", L"Listview",
                Registry::JoinKeywords({L"vintrell-instance-test-no-such-window"}));
    SaveSetting(platform_, L"Tolvane", L"Vintrell", L"Windows Startup", L"On");
    SaveSetting(platform_, L"Tolvane", L"Vintrell", L"Minimized", L"On");
    Form1 form(platform_);
    form.Start();
    const HWND window = win32::ToHwnd(form.hWnd());
    ASSERT_TRUE(form.Timer1.Enabled());
    ASSERT_FALSE(::IsWindowVisible(window));
    const std::wstring stored = Stored();

    const auto started = Clock::now();
    EXPECT_EQ(RunSecondStartProcess(kSecondStartBoundMs), 0u);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(::IsWindowVisible(window));  // nothing taken from the queue meanwhile

    EXPECT_TRUE(PumpUntilVisible(window));
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_EQ(::GetForegroundWindow(), window);
    EXPECT_EQ(Stored(), stored);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(SecondStartOnWindows, AMinimizedWindowIsRestored) {
    Form1 form(platform_);
    form.Start();
    const HWND window = win32::ToHwnd(form.hWnd());
    static_cast<void>(::ShowWindow(window, SW_MINIMIZE));
    ASSERT_TRUE(::IsIconic(window));

    EXPECT_EQ(RunSecondStartProcess(kSecondStartBoundMs), 0u);
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (::IsIconic(window) && Clock::now() < until) {
        PumpMessages();
        ::Sleep(10);
    }
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(::GetForegroundWindow(), window);
    EXPECT_EQ(Stored(), L"Listview=<absent>;Windows Startup=<absent>;Minimized=<absent>;");
}

// Whether `upper` stands above `lower` among the desktop's windows.
bool IsAbove(HWND upper, HWND lower) {
    for (HWND window = ::GetWindow(upper, GW_HWNDNEXT); window != nullptr;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (window == lower) {
            return true;
        }
    }
    return false;
}

// The work of a thread timer, run by whatever modal loop takes this thread's messages.
std::function<void()> gOnTimer;
void CALLBACK RunOnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (gOnTimer) {
        gOnTimer();
    }
}

TEST_F(SecondStartOnWindows, AnOpenQuestionComesForwardAboveItsWindowAndTakesTheClick) {
    Form1 form(platform_);
    form.Start();
    const HWND window = win32::ToHwnd(form.hWnd());
    TestWindow elsewhere("Where the user double-clicked Vintrell.exe");
    static_cast<void>(::ShowWindow(elsewhere.Handle(), SW_SHOW));

    enum class Step { Open, SecondStart, Click, Clicked } step = Step::Open;
    HWND box = nullptr;
    DWORD secondStart = 0;
    bool foreground = false;
    bool above = false;
    bool closedByGuard = false;
    DWORD clicks = 0;
    DWORD since = ::GetTickCount();
    gOnTimer = [&] {
        const DWORD waited = ::GetTickCount() - since;
        switch (step) {
            case Step::Open:
                box = ::GetLastActivePopup(window);
                if (box != window && ::IsWindowVisible(box)) {
                    static_cast<void>(::SetForegroundWindow(elsewhere.Handle()));
                    step = Step::SecondStart;
                }
                break;
            case Step::SecondStart:
                if (waited >= 300) {
                    secondStart = RunSecondStartProcess(kSecondStartBoundMs);
                    step = Step::Click;
                    since = ::GetTickCount();
                }
                break;
            case Step::Click:
                // Once this loop has taken the request: something of the program's is in front.
                if (::GetForegroundWindow() != elsewhere.Handle() || waited >= 2000) {
                    foreground = ::GetForegroundWindow() == box;
                    above = IsAbove(box, window);
                    step = Step::Clicked;
                    since = ::GetTickCount();
                }
                break;
            case Step::Clicked:
                if (waited >= 5000 && !closedByGuard) {
                    closedByGuard = true;  // no click reached it
                    static_cast<void>(::EndDialog(box, IDCANCEL));
                } else if (waited >= clicks * 1000u) {
                    ++clicks;
                    // Again each second: a busy machine may take the first before the box is
                    // drawn where it stands. A box below its window never gets one.
                    RECT yes{};
                    static_cast<void>(::GetWindowRect(::GetDlgItem(box, IDYES), &yes));
                    ClickAt({(yes.left + yes.right) / 2, (yes.top + yes.bottom) / 2});
                }
                break;
        }
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, RunOnTimer);
    ASSERT_NE(timer, 0u);
    const std::int32_t answer = platform_.Win32FormToolkit::MessageBox(
        L"Are you sure you want to clear list?", MB_YESNO | MB_ICONQUESTION, L"Vintrell");
    static_cast<void>(::KillTimer(nullptr, timer));
    gOnTimer = nullptr;

    EXPECT_EQ(secondStart, 0u);
    EXPECT_TRUE(foreground) << "the question is not the foreground window";
    EXPECT_TRUE(above) << "the question is below its window";
    EXPECT_FALSE(closedByGuard);
    EXPECT_EQ(answer, IDYES);
}

}  // namespace
}  // namespace vt::test
