#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "monitor/main_window_handle.h"
#include "monitor/window_collection.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"

namespace vt {
namespace {

using sim::CloseBehaviour;

Bool32 CollectAll(Hwnd hWnd, LParam lParam) noexcept {
    reinterpret_cast<std::vector<Hwnd>*>(lParam)->push_back(hWnd);
    return 1;
}

// Form1 after start-up, its handle recorded, with Timer1 running.
class SweepTest : public ::testing::Test {
  protected:
    SweepTest() {
        Globals::MainWindowHandle = form.hWnd();
        sim.ShowForm();
        form.Timer1.SetEnabled(true);
    }

    void Keywords(std::initializer_list<std::wstring_view> keywords) {
        for (const std::wstring_view keyword : keywords) {
            sim.ListAdd(keyword);
        }
    }
    // The desktop as the platform reports it, main window included.
    std::vector<Hwnd> Enumerated() {
        std::vector<Hwnd> handles;
        sim.EnumWindows(&CollectAll, reinterpret_cast<LParam>(&handles));
        return handles;
    }
    bool Before(Hwnd first, Hwnd second) {
        const std::vector<Hwnd> order = Enumerated();
        return std::find(order.begin(), order.end(), first) <
               std::find(order.begin(), order.end(), second);
    }
    std::uint64_t TimedTick() {
        const std::uint64_t before = sim.NowMs();
        EXPECT_TRUE(sim.Tick());
        return sim.NowMs() - before;
    }

    sim::SimPlatform sim;
    Form1 form{sim};
};

TEST_F(SweepTest, ClosesEveryMatchingWindowInTheOrderReported) {
    Keywords({L"calc", L"NOTEPAD"});
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    const Hwnd clock = sim.AddWindow(L"Clock");
    const Hwnd notepad = sim.AddWindow(L"Untitled - Notepad");
    const Hwnd properties = sim.AddWindowAnsi("CALC.EXE Properties");
    std::vector<Hwnd> expected;
    for (const Hwnd hWnd : Enumerated()) {
        if (hWnd == calculator || hWnd == notepad || hWnd == properties) {
            expected.push_back(hWnd);
        }
    }

    // Waiting when the tick comes: the sweep's closing pass hands it to the window.
    sim.PostMessageA(form.hWnd(), WM_CLOSE, 0, 0);
    sim.Tick();

    EXPECT_EQ(sim.CloseLog(), expected);
    for (const Hwnd hWnd : expected) {
        EXPECT_FALSE(sim.WindowExists(hWnd));
    }
    EXPECT_TRUE(sim.WindowExists(clock));
    EXPECT_TRUE(sim.Ended());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(SweepTest, TheMainWindowIsLeftOutWhateverItsCaption) {
    Keywords({L"vintrell"});
    sim.SetCaption(L"Vintrell");
    const Hwnd other = sim.AddWindow(L"Vintrell readme");
    const std::vector<Hwnd> desktop = Enumerated();
    ASSERT_NE(std::find(desktop.begin(), desktop.end(), form.hWnd()), desktop.end());

    Enum::HandleCollection collected;
    sim.EnumWindows(&Enum::EnumChildProc, reinterpret_cast<LParam>(&collected));
    EXPECT_EQ(collected.handles, std::vector<Hwnd>{other});
    EXPECT_FALSE(collected.outOfMemory);

    sim.Tick();
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{other});
    EXPECT_FALSE(sim.Ended());
}

TEST_F(SweepTest, TitlesAreTheirFirst49CharactersInTheAnsiCodePage) {
    Keywords({L"efgh", L"caf\u00e9 cr\u00e8me"});
    const Hwnd fits = sim.AddWindow(std::wstring(41, L'x') + L"abcdefgh");  // 49 characters
    const Hwnd cutBefore = sim.AddWindow(std::wstring(42, L'x') + L"abcdefgh");
    const Hwnd ansi = sim.AddWindowAnsi("CAF\xc9 CR\xc8ME - menu");  // code page 1252
    // A short title read right after a long one is matched on its own characters: "ab" with
    // what the buffer kept of "abcdefgh" would hold "efgh".
    const Hwnd shortAfterLong = sim.AddWindow(L"ab");
    const Hwnd longFirst = sim.AddWindow(L"abcdefgh", CloseBehaviour::Declines);
    const std::vector<Hwnd> desktop = Enumerated();
    ASSERT_EQ(std::find(desktop.begin(), desktop.end(), longFirst) + 1,
              std::find(desktop.begin(), desktop.end(), shortAfterLong));

    sim.Tick();

    EXPECT_TRUE(sim.WindowExists(cutBefore));
    EXPECT_FALSE(sim.WindowExists(fits));
    EXPECT_FALSE(sim.WindowExists(ansi));
    EXPECT_EQ(sim.Window(longFirst).closeRequests, 1);
    EXPECT_TRUE(sim.WindowExists(shortAfterLong));
}

TEST_F(SweepTest, OnlyTheHandleZeroIsSkippedAndAHandleThatReadsNegativeIsClosed) {
    // The list is read at the first window examined: while only the handle 0 is there, a list
    // that cannot be read is never touched.
    Keywords({L"calc"});
    sim.AddRawHandle(0);
    sim.FailListReads(true);
    sim.Tick();
    EXPECT_TRUE(sim.Messages().empty());
    sim.FailListReads(false);

    // A slot reused many times, or a sign-extended handle: the top bit set.
    sim.SetNextHandle(static_cast<Hwnd>(0x802100a8u));
    const Hwnd negative = sim.AddWindow(L"Calculator");
    ASSERT_LT(negative, 0);
    sim.Tick();
    EXPECT_FALSE(sim.WindowExists(negative));
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{negative});

    sim.AddWindow(L"");  // a window is examined even when its title is empty
    sim.FailListReads(true);
    sim.Tick();
    EXPECT_EQ(sim.Messages().size(), 1u);
}

// The system's windows and Vintrell's own are never closed, whatever their titles: a keyword of
// one letter matches them all, and closes only the other programs' windows.
TEST_F(SweepTest, TheSystemsWindowsAndTheProgramsOwnAreLeftOut) {
    Keywords({L"a"});
    const Hwnd shell = sim.AddWindow(L"Program Manager");
    sim.Window(shell).className = "Progman";
    sim.SetShellWindow(shell);
    std::vector<Hwnd> leftOut{shell};
    // A restarted shell's desktop before it is made the shell's window, and a hung window's ghost.
    for (const char* className : {"IME", "ime", "MSCTFIME UI", "Shell_TrayWnd",
                                  "Shell_SecondaryTrayWnd", "progman", "Ghost"}) {
        leftOut.push_back(sim.AddWindow(L"Default IME - a system window"));
        sim.Window(leftOut.back()).className = className;
    }
    leftOut.push_back(sim.AddWindow(L"Vintrell's own tooltip, a"));
    sim.Window(leftOut.back()).processId = sim::kOwnProcessId;
    const Hwnd imeLookalike = sim.AddWindow(L"Default IME");
    sim.Window(imeLookalike).className = "IMEEdit";  // another class: closed as any other
    const Hwnd manager = sim.AddWindow(L"Task Manager");

    sim.Tick();
    for (const Hwnd hWnd : leftOut) {
        EXPECT_EQ(sim.Window(hWnd).closeRequests, 0) << sim.Window(hWnd).className;
    }
    EXPECT_FALSE(sim.WindowExists(imeLookalike));
    EXPECT_FALSE(sim.WindowExists(manager));

    // The window events leave them out too.
    sim.Click(ControlId::Check2);  // Start Monitoring sets the hooks
    ASSERT_EQ(sim.WinEventHookCount(), 3);
    for (const Hwnd hWnd : leftOut) {
        sim.RaiseWinEvent(EVENT_OBJECT_CREATE, hWnd);
        EXPECT_EQ(sim.Window(hWnd).closeRequests, 0);
    }
}

TEST_F(SweepTest, EachTickStartsAfreshFromTheListAndTheDesktop) {
    Keywords({L"save"});
    const Hwnd declining = sim.AddWindow(L"Save changes?", CloseBehaviour::Declines);
    const Hwnd clock = sim.AddWindow(L"Clock", CloseBehaviour::Declines);
    for (int tick = 0; tick < 3; ++tick) {
        sim.Tick();
    }
    EXPECT_EQ(sim.Window(declining).closeRequests, 3);
    EXPECT_EQ(sim.Window(clock).closeRequests, 0);

    sim.ListAdd(L"CLOCK");
    sim.Tick();
    EXPECT_EQ(sim.Window(clock).closeRequests, 1);
    ASSERT_TRUE(sim.ListRemove(1));
    sim.Tick();
    EXPECT_EQ(sim.Window(declining).closeRequests, 5);
    EXPECT_EQ(sim.Window(clock).closeRequests, 1);
}

TEST_F(SweepTest, AWindowGoneSinceTheEnumerationIsSentNothing) {
    Keywords({L"calc"});
    const Hwnd later = sim.AddWindow(L"Calc options");
    const Hwnd first = sim.AddWindow(L"Calculator");
    ASSERT_TRUE(Before(first, later));
    sim.Window(first).onClose = [&] { sim.DestroyWindow(later); };

    sim.Tick();

    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{first});
    EXPECT_TRUE(sim.Messages().empty());
}

// A close request never waits, and a window is never asked twice at once: a hung window holds
// one request, an editor asking "Save changes?" gets no second question, and every other
// matching window is closed meanwhile, tick after tick.
TEST_F(SweepTest, AWindowIsAskedAgainOnlyOnceItHasAnsweredAndNoOtherWaitsForIt) {
    Keywords({L"calc"});
    const Hwnd hung = sim.AddWindow(L"Calc (Not Responding)", CloseBehaviour::Hung);
    const Hwnd editor = sim.AddWindow(L"Calc notes", CloseBehaviour::Asks);
    const Hwnd declining = sim.AddWindow(L"Calc - keep me", CloseBehaviour::Declines);
    for (int tick = 0; tick < 4; ++tick) {
        const Hwnd popup = sim.AddWindow(L"Calculator " + std::to_wstring(tick));
        ASSERT_TRUE(sim.Tick());
        EXPECT_FALSE(sim.WindowExists(popup));
    }
    EXPECT_EQ(sim.Window(hung).closeRequests, 1);
    EXPECT_EQ(sim.Window(editor).closeRequests, 1);
    EXPECT_EQ(sim.Window(editor).questionsOpen, 1);
    EXPECT_EQ(sim.Window(declining).closeRequests, 4);  // it answers within the tick

    // Its user cancels: asked again at the next tick, once.
    sim.AnswerQuestion(editor, false);
    sim.Tick();
    sim.Tick();
    EXPECT_EQ(sim.Window(editor).closeRequests, 2);
    EXPECT_EQ(sim.Window(editor).questionsOpen, 1);
    sim.AnswerQuestion(editor, true);
    sim.Tick();
    EXPECT_FALSE(sim.WindowExists(editor));
    EXPECT_EQ(sim.Window(hung).closeRequests, 1);
    EXPECT_TRUE(sim.Messages().empty());
}

// A program's windows are asked together, whatever their order on the desktop: a main window
// that declines (it only hides, as tray programs' do) holds none of the pop-ups beside it, and a
// burst of pop-ups opened between two ticks goes at the next one.
TEST_F(SweepTest, EveryMatchingWindowOfAThreadIsAskedInTheSameTick) {
    Keywords({L"calc"});
    const Hwnd first = sim.AddWindow(L"Calc tip", CloseBehaviour::Declines);
    const Hwnd second = sim.AddWindow(L"Calc offer", CloseBehaviour::Declines);
    const Hwnd main = sim.AddWindow(L"Calculator", CloseBehaviour::Declines);
    for (const Hwnd sibling : {first, second}) {
        sim.Window(sibling).threadId = sim.Window(main).threadId;
    }
    ASSERT_TRUE(Before(main, first));
    for (int tick = 1; tick <= 3; ++tick) {
        sim.Tick();
        for (const Hwnd hWnd : {main, first, second}) {
            EXPECT_EQ(sim.Window(hWnd).closeRequests, tick);
        }
    }
    for (const Hwnd sibling : {first, second}) {
        sim.Window(sibling).behaviour = CloseBehaviour::Closes;
    }
    sim.Tick();
    EXPECT_FALSE(sim.WindowExists(first));
    EXPECT_FALSE(sim.WindowExists(second));

    std::vector<Hwnd> burst{sim.AddWindow(L"Calc ad 0")};
    for (int i = 1; i < 10; ++i) {
        burst.push_back(sim.AddWindow(L"Calc ad " + std::to_wstring(i)));
        sim.Window(burst.back()).threadId = sim.Window(burst.front()).threadId;
    }
    sim.Tick();
    for (const Hwnd hWnd : burst) {
        EXPECT_FALSE(sim.WindowExists(hWnd));
    }
}

// While an editor's question is open, no window that its thread opens is asked: not the
// question's own box, owned by the editor or not, titled like it (closing it would answer Cancel
// and have the editor asked again, tick after tick). Windows of other threads go as before.
TEST_F(SweepTest, NoWindowOfAThreadAskingItsUserIsAsked) {
    Keywords({L"notepad"});
    sim.Click(ControlId::Check2);  // Start Monitoring sets the hooks
    const Hwnd editor = sim.AddWindow(L"Untitled - Notepad", CloseBehaviour::Asks);
    sim.Tick();
    ASSERT_EQ(sim.Window(editor).questionsOpen, 1);
    const Hwnd box = sim.AddWindow(L"Notepad", CloseBehaviour::Closes, editor);
    int boxCloses = 0;
    sim.Window(box).onClose = [&] {
        ++boxCloses;
        sim.AnswerQuestion(editor, false);  // a question closed is answered Cancel
    };
    const Hwnd unowned = sim.AddWindow(L"Untitled - Notepad");
    sim.Window(unowned).threadId = sim.Window(editor).threadId;
    sim.Window(unowned).onClose = [&] { sim.AnswerQuestion(editor, false); };
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, box);
    sim.RaiseWinEvent(EVENT_OBJECT_CREATE, unowned);
    for (int tick = 0; tick < 3; ++tick) {
        const Hwnd other = sim.AddWindow(L"Notepad++");
        sim.Tick();
        EXPECT_FALSE(sim.WindowExists(other));
    }
    EXPECT_EQ(boxCloses, 0);
    ASSERT_TRUE(sim.WindowExists(box)) << "the question's box was closed";
    ASSERT_TRUE(sim.WindowExists(unowned)) << "the unowned question box was closed";
    EXPECT_EQ(sim.Window(unowned).closeRequests, 0);
    EXPECT_EQ(sim.Window(editor).closeRequests, 1);

    // The user answers No: the editor closes, and a window its thread still shows goes with
    // the answer.
    sim.DestroyWindow(box);
    sim.Window(unowned).onClose = nullptr;
    sim.AnswerQuestion(editor, true);
    sim.RunSendCallbacks();
    EXPECT_FALSE(sim.WindowExists(editor));
    EXPECT_FALSE(sim.WindowExists(unowned));
}

// A window that is gone is forgotten, so one that later gets its handle starts afresh; a
// request the system refuses leaves nothing waiting for an answer.
TEST_F(SweepTest, AHandleHandedOutAgainAndARefusedRequestStartAfresh) {
    Keywords({L"calc"});
    const Hwnd hung = sim.AddWindow(L"Calc (Not Responding)", CloseBehaviour::Hung);
    sim.Tick();
    sim.DestroyWindow(hung);
    sim.Tick();  // the sweep sees it gone
    sim.SetNextHandle(hung);
    ASSERT_EQ(sim.AddWindow(L"Calculator", CloseBehaviour::Declines), hung);
    sim.Tick();
    EXPECT_EQ(sim.Window(hung).closeRequests, 1);

    const Hwnd elevated = sim.AddWindow(L"Calc (Administrator)");
    sim.Window(elevated).refusesMessages = true;
    sim.Tick();
    sim.Window(elevated).refusesMessages = false;
    sim.Tick();
    EXPECT_FALSE(sim.WindowExists(elevated));
}

// Stop Monitoring does not forget a question still open: monitoring anew adds no second one.
TEST_F(SweepTest, AQuestionStillOpenAfterStopAndStartIsNotAskedAgain) {
    Keywords({L"notes"});
    const Hwnd editor = sim.AddWindow(L"My notes - Editor", CloseBehaviour::Asks);
    sim.Click(ControlId::Check2);
    sim.Tick();
    ASSERT_EQ(sim.Window(editor).closeRequests, 1);
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    ASSERT_FALSE(sim.TimerEnabled());
    sim.Click(ControlId::Check2);
    sim.Tick();
    sim.Tick();
    EXPECT_EQ(sim.Window(editor).questionsOpen, 1);
    EXPECT_EQ(sim.Window(editor).closeRequests, 1);
}

TEST_F(SweepTest, ATickDuringTheSweepsMessagePassDoesNothing) {
    Keywords({L"calc"});
    const Hwnd calculator = sim.AddWindow(L"Calculator", CloseBehaviour::Declines);
    // A tick falls due during the sweep: its closing pass dispatches it, and a sweep started
    // by it would send the request again.
    sim.Window(calculator).onClose = [&] { sim.QueueTick(); };

    sim.Tick();
    EXPECT_EQ(sim.Window(calculator).closeRequests, 1);

    // The sweep over, the next tick sweeps again.
    sim.Tick();
    EXPECT_EQ(sim.Window(calculator).closeRequests, 2);
}

TEST_F(SweepTest, AnErrorStopsMonitoringAndThenSaysWhy) {
    Keywords({L"calc"});
    const Hwnd calculator = sim.AddWindow(L"Calculator", CloseBehaviour::Declines);
    sim.AddWindow(L"Calc options");
    sim.Click(ControlId::Check2);
    ASSERT_TRUE(sim.TimerEnabled() && sim.TrayIconShown() && !sim.FormVisibleNow());
    sim.FailListReads(true);
    std::wstring description;
    try {
        form.ListView1.Count();
    } catch (const AppError& error) {
        description = error.Description();
    }
    ASSERT_FALSE(description.empty());
    // A failed sweep ends at once: its closing pass does not run.
    sim.PostMessageA(form.hWnd(), WM_CLOSE, 0, 0);

    sim.Tick();

    ASSERT_EQ(sim.Messages().size(), 1u);
    const sim::ShownMessage& shown = sim.Messages()[0];
    EXPECT_EQ(shown.text,
              L"ERROR while monitoring windows - monitoring has been aborted - " + description);
    EXPECT_EQ(shown.style, MB_OK);
    EXPECT_EQ(shown.caption, L"Vintrell");
    EXPECT_TRUE(shown.formVisible);
    EXPECT_FALSE(shown.trayIconShown);
    EXPECT_FALSE(shown.timerEnabled);
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
    EXPECT_TRUE(sim.CloseLog().empty());
    EXPECT_FALSE(sim.Ended());
    EXPECT_FALSE(sim.Tick());

    // Any exception, not only the program's own errors, is told with its text.
    sim.FailListReads(false);
    sim.Click(ControlId::Check2);
    sim.Window(calculator).onClose = [] { throw std::runtime_error("close failed"); };
    sim.Tick();
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(sim.Messages().back().text,
              L"ERROR while monitoring windows - monitoring has been aborted - close failed");
}

TEST_F(SweepTest, AProgramClosedDuringTheSweepsMessagePassSendsNothingMore) {
    Keywords({L"calc"});
    const Hwnd first = sim.AddWindow(L"Calculator", CloseBehaviour::Declines);
    // Another program's close request to the main window, dispatched by the closing pass.
    sim.Window(first).onClose = [&] { sim.PostMessageA(form.hWnd(), WM_CLOSE, 0, 0); };

    sim.Tick();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.Tick());
    EXPECT_EQ(sim.CloseLog(), std::vector<Hwnd>{first});
    EXPECT_TRUE(sim.Messages().empty());
}

// A keyword longer than any title can match nothing: a sweep reads no more of it than a title
// holds, so a huge one costs nothing, and the others still count.
TEST_F(SweepTest, KeywordsLongerThanATitleAreNotReadWhole) {
    Keywords({std::wstring(1'000'000, L'x'), std::wstring(49, L'y'), L"calc"});
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    const Hwnd longTitle = sim.AddWindow(std::wstring(49, L'Y'));
    const Hwnd almost = sim.AddWindow(L"z" + std::wstring(48, L'x'));
    const std::size_t before = sim.ListCharactersRead();

    sim.Tick();

    EXPECT_LT(sim.ListCharactersRead() - before, 200u);
    EXPECT_FALSE(sim.WindowExists(calculator));
    EXPECT_FALSE(sim.WindowExists(longTitle));
    EXPECT_TRUE(sim.WindowExists(almost));
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.ListItems()[0].size(), 1'000'000u);  // the list keeps it as it is
}

TEST_F(SweepTest, FortyThousandWindowsAreAllExamined) {
    Keywords({L"popup"});
    std::vector<Hwnd> popups;
    for (int i = 0; i < 40000; ++i) {
        if (i % 1000 == 999) {
            popups.push_back(sim.AddWindow(L"Popup " + std::to_wstring(i)));
        } else {
            sim.AddWindow(L"Window " + std::to_wstring(i));
        }
    }
    sim.Tick();
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.CloseLog().size(), popups.size());
    EXPECT_TRUE(std::none_of(popups.begin(), popups.end(),
                             [&](Hwnd hWnd) { return sim.WindowExists(hWnd); }));
    EXPECT_EQ(sim.WindowCount(), 40000 - static_cast<std::int32_t>(popups.size()));
}

}  // namespace
}  // namespace vt
