#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/single_instance.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"
#include "resources/layout.h"

namespace vt {
namespace {

using sim::SimPlatform;

constexpr UInt kRunningProcess = 0x2A0;
constexpr const char* kRunKey = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";

// A second start while another process runs the program: its main window is on the desktop,
// and it holds the session's mutex.
class SecondStartTest : public ::testing::Test {
  protected:
    SecondStartTest() { sim.HoldMutexElsewhere(kSessionMutexName); }

    Hwnd AddRunningCopy(sim::CloseBehaviour behaviour = sim::CloseBehaviour::Closes) {
        const Hwnd window = sim.AddWindow(L"Vintrell", behaviour);
        sim.Window(window).className = kForm1ClassName;
        sim.Window(window).processId = kRunningProcess;
        return window;
    }
    UInt SecondStartMessage() { return sim.RegisterWindowMessageA(kSecondStartMessageName); }
    // Nothing read or written: no window, no setting, no Run value, no icon; no message box
    // unless one is expected.
    void ExpectNothingTouched(std::size_t messageBoxes = 0) {
        EXPECT_FALSE(sim.FormCreated());
        EXPECT_TRUE(SettingWrites(sim).empty());
        EXPECT_TRUE(sim.RegValueNames(HKEY_LOCAL_MACHINE, kRunKey).empty());
        EXPECT_TRUE(sim.RegValueNames(HKEY_CURRENT_USER, kRunKey).empty());
        EXPECT_EQ(sim.Messages().size(), messageBoxes);
        EXPECT_FALSE(sim.TrayIconShown());
    }

    SimPlatform sim;
};

TEST_F(SecondStartTest, PostsToTheRunningCopyAfterLettingItTakeTheForeground) {
    sim.AddWindow(L"Vintrell - another program's window");
    const Hwnd running = AddRunningCopy();
    {
        SingleInstance session(sim);
        EXPECT_TRUE(session.HandOverToRunningCopy());
        EXPECT_EQ(sim.OpenMutexHandles(kSessionMutexName), 1);
    }
    EXPECT_EQ(sim.OpenMutexHandles(kSessionMutexName), 0);  // closed with its owner

    EXPECT_EQ(sim.ForegroundAllowed(), std::vector<UInt>{kRunningProcess});
    const std::vector<std::pair<Hwnd, UInt>> posted{{running, SecondStartMessage()}};
    EXPECT_EQ(sim.PostedMessages(), posted);
    EXPECT_EQ(sim.NowMs(), 0u);
    ExpectNothingTouched();
}

TEST_F(SecondStartTest, AHungCopyIsNotWaitedForAndOneWithoutAWindowIsReportedAfterTenSeconds) {
    // Posted, the request cannot wait on a copy that has stopped answering.
    const Hwnd hung = AddRunningCopy(sim::CloseBehaviour::Hung);
    EXPECT_TRUE(SingleInstance(sim).HandOverToRunningCopy());
    ASSERT_EQ(sim.PostedMessages().size(), 1u);
    EXPECT_EQ(sim.PostedMessages()[0].first, hung);
    EXPECT_EQ(sim.NowMs(), 0u);
    EXPECT_TRUE(sim.Messages().empty());

    // A copy whose window is not there (still starting, ending, or dead with its mutex still
    // held) is looked for ten seconds, then reported.
    sim.DestroyWindow(hung);
    std::uint64_t shownAtMs = 0;
    sim.onMessageBox = [&](const sim::ShownMessage&) { shownAtMs = sim.NowMs(); };
    EXPECT_TRUE(SingleInstance(sim).HandOverToRunningCopy());
    EXPECT_GE(shownAtMs, 10000u);
    EXPECT_LE(shownAtMs, 10000u + SingleInstance::kFindIntervalMs);
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, L"Vintrell is already running but does not respond.");
    EXPECT_EQ(sim.Messages()[0].style, MB_OK);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_EQ(sim.PostedMessages().size(), 1u);
    ExpectNothingTouched(1);
}

TEST_F(SecondStartTest, ACopyStillStartingIsFoundOnceItsWindowIsThere) {
    std::optional<Hwnd> running;
    sim.onFindWindow = [&] {
        if (!running && sim.NowMs() >= 3000) {
            running = AddRunningCopy();
        }
    };
    EXPECT_TRUE(SingleInstance(sim).HandOverToRunningCopy());
    ASSERT_TRUE(running.has_value());
    ASSERT_EQ(sim.PostedMessages().size(), 1u);
    EXPECT_EQ(sim.PostedMessages()[0], std::make_pair(*running, SecondStartMessage()));
    EXPECT_EQ(sim.NowMs(), 3000u);  // found at once, and nothing said
    ExpectNothingTouched();
}

TEST_F(SecondStartTest, AMutexTheRunningCopyKeepsFromThisOneStillMeansItRuns) {
    // An elevated copy's mutex: a start of ordinary rights may not open it.
    AddRunningCopy();
    sim.FailNextCreateMutex(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(SingleInstance(sim).HandOverToRunningCopy());
    EXPECT_EQ(sim.PostedMessages().size(), 1u);

    // Any other failure tells nothing: the start runs, as it would without the mutex.
    constexpr std::int32_t kNotEnoughMemory = 8;
    sim.FailNextCreateMutex(kNotEnoughMemory);
    EXPECT_FALSE(SingleInstance(sim).HandOverToRunningCopy());
    EXPECT_EQ(sim.PostedMessages().size(), 1u);
}

// Two starts in one session: the first runs Form1, the second hands over to it.
class TwoStartsTest : public ::testing::Test {
  protected:
    // The first start, as the program's entry runs it.
    void StartFirst() {
        ASSERT_FALSE(first.HandOverToRunningCopy());
        form.emplace(sim);
        form->Start();
    }
    // The second start, then the first copy's message loop.
    void StartSecond() {
        SingleInstance second(sim);
        EXPECT_TRUE(second.HandOverToRunningCopy());
        sim.DoEvents();
    }

    SimPlatform sim;
    SingleInstance first{sim};
    std::optional<Form1> form;
};

TEST_F(TwoStartsTest, ASecondStartStopsMonitoringInTheTrayAndBringsTheWindowToTheFront) {
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Minimized", L"On");
    StoreSetting(sim, L"Listview", L"calc||||||||---|||");
    StartFirst();
    ASSERT_TRUE(sim.TimerEnabled());
    ASSERT_FALSE(sim.FormVisibleNow());
    const auto writes = SettingWrites(sim);
    const Hwnd calculator = sim.AddWindow(L"Calculator");

    StartSecond();
    EXPECT_EQ(sim.ForegroundAllowed(), std::vector<UInt>{sim::kOwnProcessId});
    EXPECT_TRUE(sim.FormVisibleNow());
    EXPECT_EQ(sim.ForegroundWindow(), form->hWnd());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(sim.WinEventHookCount(), 0);
    EXPECT_EQ(SettingWrites(sim), writes);
    EXPECT_TRUE(sim.Messages().empty());
    // Monitoring has stopped: no sweep runs and the matching window stays.
    EXPECT_FALSE(sim.Tick());
    EXPECT_TRUE(sim.WindowExists(calculator));
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"calc"});
    EXPECT_EQ(sim.OpenMutexHandles(kSessionMutexName), 1);  // the second's went with it
}

TEST_F(TwoStartsTest, ASecondStartBringsAnIdleWindowToTheFront) {
    StartFirst();
    const Hwnd other = sim.AddWindow(L"Notepad");
    ASSERT_TRUE(sim.SetForegroundWindow(other));

    StartSecond();
    EXPECT_TRUE(sim.FormVisibleNow());
    EXPECT_EQ(sim.ForegroundWindow(), form->hWnd());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_TRUE(SettingWrites(sim).empty());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(TwoStartsTest, ASecondStartBringsAnOpenQuestionForwardWithItsWindow) {
    StoreSetting(sim, L"Listview", L"calc||||||||---|||");
    StartFirst();
    const Hwnd other = sim.AddWindow(L"Notepad");
    sim.onMessageBox = [&](const sim::ShownMessage& shown) {
        ASSERT_TRUE(sim.SetForegroundWindow(other));
        StartSecond();  // the box's modal loop takes the request
        EXPECT_EQ(sim.ForegroundWindow(), shown.window);
    };
    sim.AnswerMessageBox(IDYES);
    sim.Click(ControlId::Check4);  // Clear List
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, L"Are you sure you want to clear list?");
    EXPECT_TRUE(sim.ListItems().empty());  // answered as ever
}

TEST_F(TwoStartsTest, OtherRegisteredMessagesLeaveMonitoringAlone) {
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Minimized", L"On");
    StartFirst();
    ASSERT_TRUE(sim.TimerEnabled());
    for (const char* name : {"SomethingElse", "TaskbarCreated"}) {
        static_cast<void>(sim.PostMessageA(form->hWnd(), sim.RegisterWindowMessageA(name), 0, 0));
    }
    sim.DoEvents();
    EXPECT_FALSE(sim.FormVisibleNow());
    EXPECT_TRUE(sim.TimerEnabled());
    EXPECT_TRUE(sim.TrayIconShown());
}

}  // namespace
}  // namespace vt
