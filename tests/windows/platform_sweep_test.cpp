// The window sweep on the real desktop: Form1's Timer1_Timer over Wine's windows and the test's.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "monitor/window_collection.h"
#include "monitor/main_window_handle.h"

namespace vt::test {
namespace {

using Clock = std::chrono::steady_clock;

// Letters that occur in no other window's title.
std::string RandomLetters(std::size_t count) {
    static std::mt19937 generator(::GetTickCount() ^ (::GetCurrentProcessId() << 16));
    std::uniform_int_distribution<int> letter('a', 'z');
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += static_cast<char>(letter(generator));
    }
    return text;
}

// One Form1 on the real platform for the whole suite, its handle recorded as start-up does.
class SweepTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform_ = new TestPlatform;
        form_ = new Form1(*platform_);
        Globals::MainWindowHandle = form_->hWnd();
    }
    static void TearDownTestSuite() {
        delete form_;
        delete platform_;
        form_ = nullptr;
        platform_ = nullptr;
        Globals::MainWindowHandle = 0;
    }
    void SetUp() override {
        ASSERT_NE(form_->hWnd(), 0);
        form_->ListView1.Clear();
        platform_->messages.clear();
    }
    void TearDown() override {
        EXPECT_TRUE(platform_->messages.empty())
            << "the sweep reported: "
            << platform_->UnicodeToAnsi(platform_->messages.empty() ? L""
                                                                    : platform_->messages[0].text);
    }

    static void SetKeywords(const std::vector<std::string>& keywords) {
        form_->ListView1.Clear();
        for (const std::string& keyword : keywords) {
            form_->ListView1.Add(Wide(keyword));
        }
    }
    static Clock::duration Sweep() {
        const Clock::time_point start = Clock::now();
        form_->Timer1_Timer();
        const Clock::duration took = Clock::now() - start;
        PumpMessages();
        return took;
    }

    static TestPlatform* platform_;
    static Form1* form_;
};

TestPlatform* SweepTest::platform_ = nullptr;
Form1* SweepTest::form_ = nullptr;

TEST_F(SweepTest, EnumerationFindsTheTestsWindowButNeverTheMainWindow) {
    const std::string keyword = RandomLetters(10);
    platform_->SetCaption(L"Vintrell " + Wide(keyword));
    TestWindow window("Other " + keyword);

    Enum::HandleCollection collected;
    platform_->EnumWindows(&Enum::EnumChildProc, reinterpret_cast<LParam>(&collected));
    const auto& handles = collected.handles;
    EXPECT_NE(std::find(handles.begin(), handles.end(), window.Handle32()), handles.end());
    EXPECT_EQ(std::find(handles.begin(), handles.end(), form_->hWnd()), handles.end());

    // The main window's caption holds the keyword too, and stays open.
    SetKeywords({keyword});
    Sweep();
    EXPECT_EQ(window.CloseRequests(), 1);
    EXPECT_TRUE(::IsWindow(win32::ToHwnd(form_->hWnd())));
    platform_->SetCaption(L"Vintrell");
}

TEST_F(SweepTest, TitleIsMatchedOnItsFirst49CharactersOnly) {
    // 60 characters; the last 24 occur nowhere else.
    const std::string title = "Vintrell long title " + std::string(16, '.') + RandomLetters(24);
    ASSERT_EQ(title.size(), 60u);
    TestWindow window(title, true);
    const std::string endsAt49 = title.substr(41, 8);  // characters 42 to 49
    const std::string endsAt50 = title.substr(42, 8);  // one character too far
    const std::string beyond = title.substr(52, 8);    // wholly after the 49th
    std::string upperWithin = title.substr(36, 6);     // case is ignored
    for (char& c : upperWithin) {
        c = static_cast<char>(c - 'a' + 'A');
    }

    SetKeywords({endsAt50, beyond});
    Sweep();
    EXPECT_EQ(window.CloseRequests(), 0) << "matched past the 49th character";

    SetKeywords({endsAt49});
    Sweep();
    EXPECT_EQ(window.CloseRequests(), 1);

    SetKeywords({upperWithin});
    Sweep();
    EXPECT_EQ(window.CloseRequests(), 2);
}

TEST_F(SweepTest, MatchingWindowsAreClosedAndGoneAfterOneSweep) {
    const std::string keyword = RandomLetters(10);
    TestWindow first("Popup " + keyword + " one");
    TestWindow second("Popup " + keyword + " two");
    TestWindow unrelated("Popup " + RandomLetters(10));
    SetKeywords({RandomLetters(12), keyword});
    Sweep();
    EXPECT_EQ(first.CloseRequests(), 1);
    EXPECT_EQ(second.CloseRequests(), 1);
    EXPECT_TRUE(first.Destroyed());
    EXPECT_TRUE(second.Destroyed());
    EXPECT_EQ(unrelated.CloseRequests(), 0);
    EXPECT_FALSE(unrelated.Destroyed());
}

TEST_F(SweepTest, DecliningWindowIsAskedAgainAtTheNextSweep) {
    const std::string keyword = RandomLetters(10);
    TestWindow stubborn("Save changes? " + keyword, true);
    SetKeywords({keyword});
    Sweep();
    EXPECT_EQ(stubborn.CloseRequests(), 1);
    Sweep();
    EXPECT_EQ(stubborn.CloseRequests(), 2);
    EXPECT_FALSE(stubborn.Destroyed());
}

struct PositionSearch {
    HWND wanted;
    int position = 0;
    int found = -1;
};

BOOL CALLBACK CountPosition(HWND each, LPARAM lParam) {
    auto& search = *reinterpret_cast<PositionSearch*>(lParam);
    if (each == search.wanted) {
        search.found = search.position;
    }
    ++search.position;
    return TRUE;
}

// Where a window stands in the desktop's order; -1 when it is not there.
int ZOrderPosition(HWND window) {
    PositionSearch search{window};
    ::EnumWindows(CountPosition, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectImeWindows(HWND each, LPARAM lParam) {
    char className[16] = {};
    if (::GetClassNameA(each, className, sizeof(className)) > 0 &&
        std::string_view(className) == "IME") {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(each);
    }
    return TRUE;
}

// Every GUI thread has a hidden "Default IME" window, explorer's and this program's among them:
// a keyword that matches their titles closes none of them.
TEST_F(SweepTest, InputMethodWindowsOfEveryProcessAreLeftOut) {
    std::vector<HWND> imeWindows;
    ::EnumWindows(CollectImeWindows, reinterpret_cast<LPARAM>(&imeWindows));
    const auto ownProcess = [](HWND window) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        return process == ::GetCurrentProcessId();
    };
    ASSERT_TRUE(std::any_of(imeWindows.begin(), imeWindows.end(), ownProcess));
    ASSERT_FALSE(std::all_of(imeWindows.begin(), imeWindows.end(), ownProcess))
        << "no other program's input-method window to leave alone";
    const std::string keyword = RandomLetters(10);
    TestWindow popup("Default IME " + keyword);
    SetKeywords({"Default IME"});
    Sweep();
    Sweep();
    for (const HWND window : imeWindows) {
        EXPECT_TRUE(::IsWindow(window));
    }
    EXPECT_TRUE(popup.Destroyed());  // a window of another class with that title goes
    EXPECT_EQ(platform_->GetShellWindow(), win32::FromHwnd(::GetShellWindow()));

    // The program's own windows, whatever their class, are left out too.
    platform_->ownWindowsAreOthers = false;
    TestWindow own("Default IME " + keyword);
    Sweep();
    platform_->ownWindowsAreOthers = true;
    EXPECT_EQ(own.CloseRequests(), 0);
}

// Another program's windows that do not answer: one hung, one asking "Save changes?" in a modal
// loop that takes the next WM_CLOSE too, with a box titled like it. Each holds one request and
// no more, the box is never asked (closing it would cancel the question), and the windows
// below them are closed at every sweep meanwhile.
TEST_F(SweepTest, WindowsThatDoNotAnswerGetOneRequestAndHoldUpNoOther) {
    const std::string keyword = RandomLetters(10);
    HungWindowProcess hung("Hung " + keyword);
    HungWindowProcess asking("Save changes? " + keyword, true);
    ASSERT_NE(hung.Handle(), nullptr) << "the hung window's process did not come up";
    ASSERT_NE(asking.Handle(), nullptr) << "the asking window's process did not come up";
    SetKeywords({keyword});
    for (int sweep = 0; sweep < 5; ++sweep) {
        TestWindow after("After the others " + keyword);
        // Below both, so that the sweep reaches it only after asking them.
        ASSERT_TRUE(::SetWindowPos(after.Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
        ASSERT_LT(ZOrderPosition(asking.Handle()), ZOrderPosition(after.Handle()));
        ASSERT_LT(ZOrderPosition(hung.Handle()), ZOrderPosition(after.Handle()));
        Sweep();
        EXPECT_TRUE(after.Destroyed());
        ::Sleep(100);  // a tick's time: the asking window's question is up
        PumpMessages();
    }
    const HungWindowProcess::CloseRequests asked = asking.ReleaseAndCountCloseRequests();
    EXPECT_EQ(asked.window, 1);
    EXPECT_EQ(asked.box, 0);
}

// Another program's window that declines every request (a tray program's main window only
// hides), above two matching windows of its thread: it holds neither of them.
TEST_F(SweepTest, ADecliningWindowHoldsNoOtherWindowOfItsThread) {
    const std::string keyword = RandomLetters(10);
    const win32::KernelHandle process = StartWindowsUnderADecliningOne("Tray " + keyword, 10000);
    ASSERT_TRUE(process) << "the declining window's process did not come up";
    SetKeywords({keyword});
    Sweep();
    ::Sleep(100);
    PumpMessages();
    Sweep();
    const DWORD closed = ::WaitForSingleObject(process.get(), 2000);
    DWORD exitCode = 0;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    static_cast<void>(::TerminateProcess(process.get(), 2));
    EXPECT_EQ(closed, WAIT_OBJECT_0) << "the windows under the declining one are still there";
    EXPECT_EQ(exitCode, 0u);
}

// While monitoring, the system reports another program's new window, title and all: it is
// asked to close then, with no tick of the timer dispatched (a sweep would need one). Once
// monitoring stops, the report is no longer taken.
TEST(WindowEventsOnWindows, AnotherProgramsMatchingWindowIsClosedWhenItIsCreated) {
    TestPlatform platform;
    Form1 form(platform);
    Globals::MainWindowHandle = form.hWnd();
    const std::string keyword = "vintrell-event-" + RandomLetters(10);
    form.ListView1.Add(Wide(keyword));
    form.Check2.SetValue(1);  // Start Monitoring, as a click does
    ASSERT_TRUE(form.Timer1.Enabled());

    EXPECT_EQ(RunClosableWindowProcess("Popup " + keyword, 10000), 0u);

    form.mnuStopMonitoring_Click();
    ASSERT_FALSE(form.Timer1.Enabled());
    EXPECT_EQ(RunClosableWindowProcess("Popup " + keyword, 1000), 1u);
    EXPECT_TRUE(platform.messages.empty());
    Globals::MainWindowHandle = 0;
}

}  // namespace
}  // namespace vt::test
