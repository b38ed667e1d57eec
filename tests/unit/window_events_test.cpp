#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/unit/sim_settings.h"
#include "tests/unit/tray_fixture.h"

namespace vt::testing {
namespace {

using sim::CloseBehaviour;

// Monitoring for "notepad", with the window events the system reports while it runs.
class WindowEventsTest : public TrayFixture {
  protected:
    WindowEventsTest() { StartMonitoring(); }
};

TEST_F(WindowEventsTest, AMatchingWindowCreatedShownOrRenamedIsAskedToCloseAtOnce) {
    ASSERT_EQ(sim.WinEventHookCount(), 3);
    const Hwnd created = sim.AddWindow(L"Untitled - Notepad");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, created);
    EXPECT_FALSE(sim.WindowExists(created));

    const Hwnd shown = sim.AddWindow(L"Notepad help");
    sim.RaiseWinEvent(EVENT_OBJECT_SHOW, shown);
    EXPECT_FALSE(sim.WindowExists(shown));

    const Hwnd renamed = sim.AddWindow(L"Loading...");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, renamed);
    EXPECT_TRUE(sim.WindowExists(renamed));
    sim.SetTitle(renamed, L"Notepad++");
    sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, renamed);
    EXPECT_FALSE(sim.WindowExists(renamed));

    EXPECT_EQ(sim.CloseLog(), (std::vector<Hwnd>{created, shown, renamed}));
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_TRUE(Monitoring());
}

TEST_F(WindowEventsTest, EventsForAnythingButAnotherProgramsMatchingTopLevelWindowSendNothing) {
    const Hwnd parent = sim.AddWindow(L"Editor");
    const Hwnd child = sim.AddChildWindow(parent, L"Notepad pane");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, child);

    const Hwnd window = sim.AddWindow(L"Notepad");
    sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, window, -4);  // its client area (OBJID_CLIENT)
    sim.RaiseWinEvent(EVENT_OBJECT_SHOW, window, OBJID_WINDOW, 1);  // one of its parts
    sim.SetTitle(window, L"Notes");
    sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, window);  // matches no more

    EXPECT_TRUE(sim.CloseLog().empty());
    EXPECT_TRUE(sim.WindowExists(child));
}

// The events arrive whenever the thread takes messages, in the tray menu's loop too. A check
// sends without waiting, so a window reported there is asked at once.
TEST_F(WindowEventsTest, AWindowReportedWhileTheMenuIsOpenIsAskedAtOnce) {
    Hwnd inMenu = 0;
    bool closedInTheMenu = false;
    sim.onMenuOpen = [&] {
        inMenu = sim.AddWindow(L"Notepad - while the menu is open");
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, inMenu);
        sim.RaiseWinEvent(EVENT_OBJECT_SHOW, inMenu);  // gone already: nothing more
        closedInTheMenu = !sim.WindowExists(inMenu);
    };
    sim.ChooseFromNextMenu(std::nullopt);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    EXPECT_TRUE(closedInTheMenu);
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{inMenu});
    EXPECT_TRUE(Monitoring());
}

// An editor asking its user whether to save is reported again and again (its title changes,
// its question shows): it gets no second request until it has answered the first.
TEST_F(WindowEventsTest, AWindowWithARequestUnansweredIsNotAskedAgainByTheEvents) {
    const Hwnd editor = sim.AddWindow(L"Untitled - Notepad", CloseBehaviour::Asks);
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, editor);
    sim.SetTitle(editor, L"*Untitled - Notepad");
    sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, editor);
    sim.RaiseWinEvent(EVENT_OBJECT_SHOW, editor);
    sim.Tick();
    EXPECT_EQ(sim.Window(editor).questionsOpen, 1);
    EXPECT_EQ(sim.Window(editor).closeRequests, 1);
    // Meanwhile another matching window goes at once.
    const Hwnd other = sim.AddWindow(L"Notepad - help");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, other);
    EXPECT_FALSE(sim.WindowExists(other));
}

// A program opens ten pop-ups at once from one thread: the first is asked as it is reported;
// the others, reported while that request is out, could be its question and wait for the
// thread's answer, which asks them all at once, with no sweep.
TEST_F(WindowEventsTest, WindowsAThreadOpensTogetherAreAskedTogetherAtItsAnswer) {
    std::vector<Hwnd> burst{sim.AddWindow(L"Notepad ad 0")};
    for (int i = 1; i < 10; ++i) {
        burst.push_back(sim.AddWindow(L"Notepad ad " + std::to_wstring(i)));
        sim.Window(burst.back()).threadId = sim.Window(burst.front()).threadId;
    }
    for (const Hwnd hWnd : burst) {
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, hWnd);
    }
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{burst.front()});
    sim.RunSendCallbacks();
    EXPECT_EQ(sim.WindowCount(), 0);
    EXPECT_EQ(sim.CloseLog().size(), burst.size());
}

// A window that declines is asked again by the sweep alone, at its pace: a title that changes
// many times a second brings it no more requests than that.
TEST_F(WindowEventsTest, AWindowThatDeclinedIsAskedAgainOnlyByTheSweep) {
    const Hwnd progress = sim.AddWindow(L"Notepad - 1%", CloseBehaviour::Declines);
    for (int percent = 1; percent <= 20; ++percent) {
        sim.SetTitle(progress, L"Notepad - " + std::to_wstring(percent) + L"%");
        sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, progress);
    }
    EXPECT_EQ(sim.Window(progress).closeRequests, 1);
    sim.Tick();
    sim.RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, progress);
    sim.Tick();
    EXPECT_EQ(sim.Window(progress).closeRequests, 3);

    // Gone from the desktop, its handle is forgotten: a new window that gets it is asked.
    sim.DestroyWindow(progress);
    sim.Tick();
    const Hwnd later = sim.AddWindow(L"Notepad - later", CloseBehaviour::Declines);
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, later);
    EXPECT_EQ(sim.Window(later).closeRequests, 1);
}

TEST_F(WindowEventsTest, TheHooksExistExactlyWhileTheTimerRuns) {
    ASSERT_EQ(sim.WinEventHookCount(), 3);
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(sim.WinEventHookCount(), 0);
    const Hwnd afterStop = sim.AddWindow(L"Notepad");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, afterStop);
    EXPECT_TRUE(sim.WindowExists(afterStop));

    // A sweep that fails takes them down with the timer.
    sim.DestroyWindow(afterStop);
    StartMonitoring();
    ASSERT_EQ(sim.WinEventHookCount(), 3);
    BreakSweep();
    sim.Tick();
    EXPECT_TRUE(Idle());
    EXPECT_EQ(sim.WinEventHookCount(), 0);

    // A start that fails leaves none.
    sim.FailListReads(false);
    sim.FailNotifyIcon(NIM_ADD, 100);
    StartMonitoring();
    TickFor(2000);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(sim.WinEventHookCount(), 0);

    // Shut-down takes them down.
    sim.FailNotifyIcon(NIM_ADD, 0);
    StartMonitoring();
    ASSERT_EQ(sim.WinEventHookCount(), 3);
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.WinEventHookCount(), 0);
}

TEST(WindowEventsStartTest, StartingInTheTraySetsTheHooks) {
    sim::SimPlatform sim;
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Minimized", L"On");
    StoreSetting(sim, L"Listview", L"calc||||||||---|||");
    Form1 form(sim);
    form.Start();
    ASSERT_TRUE(sim.TimerEnabled());
    EXPECT_EQ(sim.WinEventHookCount(), 3);
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, calculator);
    EXPECT_FALSE(sim.WindowExists(calculator));
}

TEST_F(WindowEventsTest, HooksThatCannotBeSetLeaveMonitoringToTheSweep) {
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    sim.FailWinEventHooks(true);
    StartMonitoring();

    EXPECT_TRUE(Monitoring());
    EXPECT_EQ(sim.WinEventHookCount(), 0);
    EXPECT_TRUE(sim.Messages().empty());
    const Hwnd window = sim.AddWindow(L"Untitled - Notepad");
    sim.Tick();
    EXPECT_FALSE(sim.WindowExists(window));
}

TEST_F(WindowEventsTest, AnErrorInTheEventPathEndsMonitoringAsAFailedSweepDoes) {
    const Hwnd window = sim.AddWindow(L"Untitled - Notepad");
    sim.Window(window).onClose = [] { throw std::runtime_error("close failed"); };
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, window);

    EXPECT_TRUE(Idle());
    EXPECT_EQ(sim.WinEventHookCount(), 0);
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, std::wstring(kSweepAbortedPrefix) + L"close failed");
    EXPECT_TRUE(sim.Messages()[0].formVisible);
    EXPECT_FALSE(sim.Messages()[0].trayIconShown);
}

}  // namespace
}  // namespace vt::testing
