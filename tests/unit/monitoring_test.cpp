#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/unit/tray_fixture.h"

namespace vt::testing {
namespace {

using MonitoringTest = TrayFixture;

TEST_F(MonitoringTest, OneClickStartsOnceAndTheButtonSpringsBack) {
    const Hwnd notepad = sim.AddWindow(L"Untitled - Notepad");
    StartMonitoring();

    EXPECT_TRUE(Monitoring());
    EXPECT_EQ(NotifyMessages(), (std::vector<UInt>{NIM_ADD, NIM_MODIFY}));  // not twice
    EXPECT_EQ(form.Check2.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check2), 0);
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    // The first sweep waits for the first tick.
    EXPECT_TRUE(sim.CloseLog().empty());
    ASSERT_TRUE(sim.Tick());
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{notepad});
}

TEST_F(MonitoringTest, EmptyListShowsOneMessageAndStaysIdle) {
    sim.Click(ControlId::Check2);

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, L"Please add a keyword to monitor");
    EXPECT_EQ(sim.Messages()[0].style, MB_OK);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_EQ(form.Check2.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check2), 0);
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(sim.NotifyCalls().empty());
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
}

// A click hears within about a second: the shell is asked again from the timer's ticks, and
// the sweeps run meanwhile.
TEST_F(MonitoringTest, IconTheShellRefusesForASecondReportsAndReturnsToIdle) {
    sim.FailNotifyIcon(NIM_ADD, 1000);
    const std::uint64_t before = sim.NowMs();
    StartMonitoring();
    EXPECT_EQ(sim.NowMs(), before);  // the click has not waited for the shell
    EXPECT_FALSE(sim.FormVisibleNow());
    const Hwnd notepad = sim.AddWindow(L"Untitled - Notepad");
    TickFor(500);
    EXPECT_FALSE(sim.WindowExists(notepad));
    EXPECT_TRUE(sim.Messages().empty());
    TickFor(1000);

    ASSERT_EQ(sim.Messages().size(), 1u);
    const sim::ShownMessage& shown = sim.Messages()[0];
    EXPECT_EQ(shown.text, kStartFailedNoIcon);
    EXPECT_EQ(shown.style, MB_OK);
    EXPECT_EQ(shown.caption, L"Vintrell");
    // Undone before the user reads about it.
    EXPECT_TRUE(shown.formVisible);
    EXPECT_FALSE(shown.trayIconShown);
    EXPECT_FALSE(shown.timerEnabled);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(form.Check2.Value(), 0);
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
    EXPECT_FALSE(sim.Tick());
    const std::vector<UInt> calls = NotifyMessages();
    EXPECT_GT(std::count(calls.begin(), calls.end(), NIM_ADD), 1);
}

TEST_F(MonitoringTest, ShellThatIsBrieflyBusyStillGetsTheIcon) {
    sim.FailNotifyIcon(NIM_ADD, 1);
    StartMonitoring();
    TickFor(500);

    EXPECT_TRUE(Monitoring());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
}

// At logon the shell may take the add after the caller has stopped waiting for it: the add
// reports failure, and every later add is refused since the icon is there. That icon is found,
// kept and monitoring runs, rather than the icon deleted and an error shown.
TEST_F(MonitoringTest, AnAddThatTimedOutButWentThroughKeepsTheIcon) {
    sim.TimeOutNotifyIcon(NIM_ADD, 1000);
    StartMonitoring();

    EXPECT_TRUE(Monitoring());
    EXPECT_TRUE(sim.Messages().empty());
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    const std::vector<UInt> calls = NotifyMessages();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), NIM_DELETE), 0);
}

TEST_F(MonitoringTest, StopWithoutAnIconLeavesTheWindowProcedureAlone) {
    // A procedure saved by an earlier session must not come back once another replaced it.
    InstallRecorder();
    StartMonitoring();
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    const WndProc later = sim.FormClassProc();
    sim.SetWindowLongA(form.hWnd(), GWL_WNDPROC, later);
    const auto callsBefore = sim.NotifyCalls().size();

    form.mnuStopMonitoring_Click();

    EXPECT_EQ(sim.CurrentWndProc(), later);
    EXPECT_EQ(sim.NotifyCalls().size(), callsBefore);
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(sim.Messages().empty());
}

// A WM_TIMER that reaches the window while monitoring is off (another program posts one, or
// one posted before Stop Monitoring) is no tick: nothing is swept, so nothing is closed.
TEST_F(MonitoringTest, ATimerMessageWhileNotMonitoringSweepsNothing) {
    const Hwnd notepad = sim.AddWindow(L"Untitled - Notepad");
    sim.PostMessageA(form.hWnd(), WM_TIMER, 1, 0);
    sim.DoEvents();
    StartMonitoring();
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    ASSERT_TRUE(Idle());
    sim.PostMessageA(form.hWnd(), WM_TIMER, 1, 0);
    sim.DoEvents();
    EXPECT_TRUE(sim.WindowExists(notepad));
    EXPECT_TRUE(sim.CloseLog().empty());
}

}  // namespace
}  // namespace vt::testing
