#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

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

// The events arrive whenever the thread takes messages; a window reported while something else
// runs is checked once, as soon as that is over, in the order reported.
TEST_F(WindowEventsTest, AnEventDuringASweepOrAnotherCheckOrTheMenuIsHandledOnceAfterwards) {
    const Hwnd first = sim.AddWindow(L"Notepad - first", CloseBehaviour::Declines);
    Hwnd during = 0;
    bool closedDuringTheSweep = false;
    sim.Window(first).onClose = [&] {
        sim.Window(first).onClose = nullptr;
        during = sim.AddWindow(L"Notepad - during the sweep");
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, during);
        sim.RaiseWinEvent(EVENT_OBJECT_SHOW, during);  // the same window, queued once
        closedDuringTheSweep = !sim.WindowExists(during);
    };
    ASSERT_TRUE(sim.Tick());
    EXPECT_FALSE(closedDuringTheSweep);
    EXPECT_FALSE(sim.WindowExists(during));
    EXPECT_EQ(sim.CloseLog(), (std::vector<Hwnd>{first, during}));

    // During another check's wait.
    const Hwnd checked = sim.AddWindow(L"Notepad - checked", CloseBehaviour::Declines);
    const Hwnd next = sim.AddWindow(L"Notepad - next");
    bool nextClosedDuringTheCheck = false;
    sim.Window(checked).onClose = [&] {
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, next);
        nextClosedDuringTheCheck = !sim.WindowExists(next);
    };
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, checked);
    EXPECT_FALSE(nextClosedDuringTheCheck);
    EXPECT_FALSE(sim.WindowExists(next));
    EXPECT_EQ(sim.Window(checked).closeRequests, 1);

    // While the tray menu is open.
    Hwnd inMenu = 0;
    bool closedInTheMenu = false;
    sim.onMenuOpen = [&] {
        inMenu = sim.AddWindow(L"Notepad - while the menu is open");
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, inMenu);
        closedInTheMenu = !sim.WindowExists(inMenu);
    };
    sim.ChooseFromNextMenu(std::nullopt);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    EXPECT_FALSE(closedInTheMenu);
    EXPECT_FALSE(sim.WindowExists(inMenu));
    EXPECT_TRUE(Monitoring());
}

// The tray menu may stay open for minutes while windows come and go by the thousand: what is
// reported meanwhile and examined by a tick's sweep is not gone through again when it closes,
// and what is left is checked against one read of the list.
TEST_F(WindowEventsTest, ReportsHeldByTheMenuAreNotExaminedTwiceAndReadTheListOnce) {
    sim.ListAdd(L"Calculator");
    sim.ListAdd(L"WineMine");
    std::vector<Hwnd> swept;
    std::vector<Hwnd> after;
    std::size_t listRead = 0;
    sim.onMenuOpen = [&] {
        for (int i = 0; i < 3; ++i) {
            swept.push_back(sim.AddWindow(L"Plain window " + std::to_wstring(i)));
            sim.RaiseWinEvent(EVENT_OBJECT_CREATE, swept.back());
        }
        ASSERT_TRUE(sim.Tick());  // the menu's loop goes on dispatching ticks
        for (int i = 0; i < 4; ++i) {
            after.push_back(sim.AddWindow(L"Another plain window " + std::to_wstring(i)));
            sim.RaiseWinEvent(EVENT_OBJECT_CREATE, after.back());
        }
        listRead = sim.ListCharactersRead();
    };
    sim.ChooseFromNextMenu(std::nullopt);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);

    for (const Hwnd hWnd : swept) {
        EXPECT_EQ(sim.Window(hWnd).titleReads, 1);  // by the sweep alone
    }
    for (const Hwnd hWnd : after) {
        EXPECT_EQ(sim.Window(hWnd).titleReads, 1);  // by the check once the menu closed
    }
    // "notepad", "Calculator" and "WineMine": 25 characters, read once for the four windows.
    EXPECT_EQ(sim.ListCharactersRead() - listRead, 25u);
    EXPECT_TRUE(Monitoring());
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

    // A start that fails sets none.
    sim.FailListReads(false);
    sim.FailNotifyIcon(NIM_ADD, 100);
    StartMonitoring();
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
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.StoreSetting(L"Minimized", L"On");
    sim.StoreSetting(L"Listview", L"calc||||||||---|||");
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
