#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_module.h"
#include "app/main_window.h"
#include "app/random_numbers.h"
#include "app/single_instance.h"
#include "monitor/main_window_handle.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"
#include "settings/startup_registration.h"
#include "tray/tray_window_proc.h"

namespace vt {
namespace {

using sim::SimPlatform;
using Writes = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr wchar_t kLoadError[] = L"ERROR while loading main form - ";

// The first whole second of the day at which start-up draws a 7, or, with `seven` false, any
// other number.
double FirstSecondDrawing(bool seven) {
    for (int seconds = 0;; ++seconds) {
        if ((Main::HomePageDraw(seconds) == 7) == seven) {
            return seconds;
        }
    }
}

// Start-up is over: the startup option acts on a click again (while start-up runs, its handler
// does nothing).
void ExpectStartUpOver(SimPlatform& s) {
    const bool wasOn = s.CheckValueShown(ControlId::Check6) == 1;
    s.Click(ControlId::Check6);
    EXPECT_EQ(StoredSetting(s, L"Windows Startup"), wasOn ? L"Off" : L"On");
}

class StartupTest : public ::testing::Test {
  protected:
    Form1& Start() {
        form.emplace(sim);
        form->Start();
        return *form;
    }
    // Started at logon into the tray, by a shell that refuses the icon until told otherwise.
    void StartInTheTrayBeforeTheShell() {
        StoreSetting(sim, L"Windows Startup", L"On");
        StoreSetting(sim, L"Minimized", L"On");
        StoreSetting(sim, L"Listview", L"calc||||||||---|||");
        sim.FailNotifyIcon(NIM_ADD, 1'000'000);
        Start();
    }
    // Lets Timer1 tick for `ms` of the clock, or until it stops.
    void TickFor(std::uint64_t ms) {
        const std::uint64_t until = sim.NowMs() + ms;
        while (sim.NowMs() < until && sim.Tick()) {
        }
    }
    bool MonitoringWithoutIcon() const {
        return sim.TimerEnabled() && !sim.FormVisibleNow() && !sim.TrayIconShown();
    }

    SimPlatform sim;
    std::optional<Form1> form;
};

TEST_F(StartupTest, NothingStoredShowsTheCentredWindowIdleAndWritesNothing) {
    sim.SetScreenSizeTwips(20000, 12000);
    Form1& f = Start();

    EXPECT_TRUE(sim.FormVisibleNow());
    EXPECT_EQ(sim.Caption(), L"Vintrell");
    const auto [left, top] = sim.FormPositionTwips();
    EXPECT_NEAR(2 * left + sim.FormWidthTwips(), 20000, 1);
    EXPECT_NEAR(2 * top + sim.FormHeightTwips(), 12000, 1);

    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check6), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check8), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    EXPECT_TRUE(sim.ListItems().empty());
    ASSERT_EQ(sim.ListColumns().size(), 1u);
    EXPECT_EQ(sim.ListColumns()[0].first, L"Windows To Close");
    EXPECT_EQ(sim.ListColumns()[0].second, 4700);

    EXPECT_EQ(Globals::MainWindowHandle, sim.FormHandle());
    EXPECT_NE(Globals::MainWindowHandle, 0);
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_TRUE(SettingWrites(sim).empty());
    EXPECT_TRUE(sim.MouseIconPath().empty());
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, RegStuff::kRunKey, "Vintrell.exe"));
    EXPECT_FALSE(sim.RegValue(HKEY_CURRENT_USER, RegStuff::kRunKey, "Vintrell.exe"));
    EXPECT_EQ(sim.OpenKeyCount(), 0);
    ExpectStartUpOver(sim);
}

TEST_F(StartupTest, BothOptionsOnGoStraightIntoTheTrayWithoutShowingTheWindow) {
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Minimized", L"On");
    StoreSetting(sim, L"Listview", L"calc||||||||---|||");
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    Form1& f = Start();

    EXPECT_FALSE(sim.FormVisibleNow());
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    EXPECT_TRUE(sim.TimerEnabled());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_EQ(f.Check8.Value(), 1);
    EXPECT_TRUE(sim.ControlVisible(ControlId::Check8));
    EXPECT_TRUE(sim.Messages().empty());

    // Restoring "Windows Startup" leaves the Run entry alone; "Minimized" is stored once more.
    const Writes writes{{L"Minimized", L"On"}};
    EXPECT_EQ(SettingWrites(sim), writes);
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, RegStuff::kRunKey, "Vintrell.exe").has_value());

    // Sweeps run from the first tick.
    ASSERT_TRUE(sim.Tick());
    EXPECT_FALSE(sim.WindowExists(calculator));
    ExpectStartUpOver(sim);
}

TEST_F(StartupTest, MinimizedWithoutWindowsStartupStartsInTheTrayOnceThenTurnsOff) {
    StoreSetting(sim, L"Windows Startup", L"Off");
    StoreSetting(sim, L"Minimized", L"On");
    Form1& f = Start();

    EXPECT_FALSE(sim.FormVisibleNow());
    EXPECT_TRUE(sim.TrayIconShown());
    EXPECT_TRUE(sim.TimerEnabled());
    EXPECT_EQ(f.Check8.Value(), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    const Writes writes{{L"Minimized", L"On"}, {L"Minimized", L"Off"}};
    EXPECT_EQ(SettingWrites(sim), writes);
    EXPECT_EQ(StoredSetting(sim, L"Minimized"), L"Off");
}

// At logon the notification area may come up long after the program: the icon is asked for
// meanwhile, and windows are closed all the same.
TEST_F(StartupTest, InTheTrayAShellThatComesUpLateGetsTheIconWhileMonitoringGoesOn) {
    StartInTheTrayBeforeTheShell();
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    TickFor(10'000);
    EXPECT_TRUE(MonitoringWithoutIcon());
    EXPECT_FALSE(sim.WindowExists(calculator));

    sim.FailNotifyIcon(NIM_ADD, 0);
    TickFor(500);
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    TickFor(60'000);  // nothing is left to give up on
    EXPECT_TRUE(sim.TimerEnabled() && sim.TrayIconShown() && !sim.FormVisibleNow());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartupTest, InTheTrayAShellThatNeverComesUpIsReportedAfterAMinute) {
    StartInTheTrayBeforeTheShell();
    TickFor(59'900);
    EXPECT_TRUE(MonitoringWithoutIcon());
    EXPECT_TRUE(sim.Messages().empty());
    TickFor(1'000);
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text,
              L"ERROR while starting monitoring - The notification area icon could not be added");
    EXPECT_TRUE(sim.Messages()[0].formVisible);
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
}

TEST_F(StartupTest, InTheTrayTaskbarCreatedBringsTheAwaitedIconAtOnce) {
    StartInTheTrayBeforeTheShell();
    TickFor(3'000);
    sim.FailNotifyIcon(NIM_ADD, 0);
    sim.RecreateTaskbar();
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
}

// Stopped while the icon is awaited (by a second start): no icon later, no error, and the next
// Start Monitoring is a fresh one.
TEST_F(StartupTest, InTheTrayASecondStartWhileTheIconIsAwaitedLeavesNoIconLater) {
    StartInTheTrayBeforeTheShell();
    TickFor(3'000);
    sim.PostMessageA(sim.FormHandle(), sim.RegisterWindowMessageA(kSecondStartMessageName), 0, 0);
    sim.DoEvents();
    ASSERT_TRUE(sim.FormVisibleNow());
    sim.FailNotifyIcon(NIM_ADD, 0);
    sim.Sleep(61'000);
    sim.RecreateTaskbar();
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());

    sim.Click(ControlId::Check2);
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartupTest, OnlyTheExactStringOnTurnsAnOptionOn) {
    for (const wchar_t* value : {L"on", L"ON", L"1", L"On ", L""}) {
        SCOPED_TRACE(testing::Message() << "stored value of length " << std::wcslen(value));
        SimPlatform fresh;
        StoreSetting(fresh, L"Windows Startup", value);
        StoreSetting(fresh, L"Minimized", value);
        Form1 f(fresh);
        f.Start();
        EXPECT_EQ(f.Check6.Value(), 0);
        EXPECT_EQ(f.Check8.Value(), 0);
        EXPECT_FALSE(fresh.ControlVisible(ControlId::Check8));
        EXPECT_TRUE(fresh.FormVisibleNow());
        EXPECT_FALSE(fresh.TrayIconShown());
        EXPECT_TRUE(SettingWrites(fresh).empty());
    }
}

TEST_F(StartupTest, TheHandCursorIsLoadedFromBesideTheExecutableWhenPresent) {
    sim.SetExecutablePath(L"E:\\Tools\\Vintrell.exe");
    sim.AddFile(L"E:\\Tools\\HAND-M.CUR", true);
    Start();
    EXPECT_EQ(sim.MouseIconPath(), L"E:\\Tools\\HAND-M.CUR");
    EXPECT_TRUE(sim.Messages().empty());

    const auto loaded = [](std::wstring_view executable, std::wstring_view cursor) {
        SimPlatform other;
        other.SetExecutablePath(std::wstring(executable));
        other.AddFile(std::wstring(cursor), true);
        Form1 f(other);
        f.Start();
        EXPECT_TRUE(other.Messages().empty());
        ExpectStartUpOver(other);
        return other.MouseIconPath();
    };
    // At the root of a drive, one backslash.
    EXPECT_EQ(loaded(L"D:\\Vintrell.exe", L"D:\\HAND-M.CUR"), L"D:\\HAND-M.CUR");
    // Absent from the program's folder: no error, and no image.
    EXPECT_EQ(loaded(L"E:\\Tools\\Vintrell.exe", L"E:\\Other\\HAND-M.CUR"), L"");
    // A path without a folder says nothing about where the cursor is: not the drive's root.
    EXPECT_EQ(loaded(L"Vintrell.exe", L"\\HAND-M.CUR"), L"");
}

TEST_F(StartupTest, AFailedCursorOrHomePageIsReportedOnceAndStartUpGoesOn) {
    const std::vector<std::pair<std::function<void(SimPlatform&)>, std::wstring>> failures{
        {[](SimPlatform& s) { s.AddFile(L"C:\\Program Files\\Vintrell\\HAND-M.CUR", false); },
         L"Invalid picture"},
        {[](SimPlatform& s) {
             s.SetSecondsSinceMidnight(FirstSecondDrawing(true));
             s.FailLaunch(true);
         },
         L""},
    };
    for (const auto& [breakStep, description] : failures) {
        SimPlatform s;
        StoreSetting(s, L"Listview", L"calc||||||||---|||Notepad||||||||---|||");
        StoreSetting(s, L"Windows Startup", L"On");
        breakStep(s);
        Form1 f(s);
        f.HomePageAddress = L"https://example.test/";
        f.Start();

        ASSERT_EQ(s.Messages().size(), 1u);
        EXPECT_EQ(s.Messages()[0].text.rfind(kLoadError, 0), 0u);
        if (!description.empty()) {
            EXPECT_EQ(s.Messages()[0].text, kLoadError + description);
        }
        EXPECT_EQ(s.Messages()[0].style, MB_OK);
        EXPECT_EQ(s.Messages()[0].caption, L"Vintrell");
        EXPECT_TRUE(s.MouseIconPath().empty());
        // The list, the handle and the options are restored all the same.
        EXPECT_EQ(s.ListItems(), (std::vector<std::wstring>{L"calc", L"Notepad"}));
        ASSERT_EQ(s.ListColumns().size(), 1u);
        EXPECT_EQ(Globals::MainWindowHandle, s.FormHandle());
        EXPECT_EQ(f.Check6.Value(), 1);
        EXPECT_TRUE(s.ControlVisible(ControlId::Check8));
        ExpectStartUpOver(s);
        EXPECT_TRUE(s.FormVisibleNow());
    }
}

TEST_F(StartupTest, AListThatCannotBeReadStopsStartUpButIsNeverSavedOver) {
    const std::wstring stored = L"calc||||||||---|||";
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Listview", stored);
    MakeSettingUnreadable(sim, L"Listview");
    Form1& f = Start();

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(kLoadError, 0), 0u);
    // Nothing after the list was done: no column, no options ...
    EXPECT_TRUE(sim.ListColumns().empty());
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_TRUE(sim.FormVisibleNow());
    // ... but the sweep knows the window, and the options work.
    EXPECT_EQ(Globals::MainWindowHandle, sim.FormHandle());

    // No command saves its partial list over the stored one; Add and Clear List say why.
    const std::wstring why =
        L"The keyword list could not be read at start-up, so it is not saved over the stored one";
    sim.TypeText(ControlId::Text1, L"vintrell");
    sim.Click(ControlId::Check1);
    sim.Click(ControlId::Check4);  // asked, and answered No
    sim.SelectListItem(-1);
    sim.Click(ControlId::Check3);
    sim.DblClickListItem(-1);
    ASSERT_EQ(sim.Messages().size(), 4u);
    EXPECT_EQ(sim.Messages()[1].text, L"ERROR while adding a keyword () - " + why);
    EXPECT_EQ(sim.Messages()[3].text, L"ERROR while clearing keyword list - " + why);
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"vintrell"});
    EXPECT_EQ(StoredSetting(sim, L"Listview"), stored);
    EXPECT_TRUE(SettingWrites(sim).empty());

    // Its caption holds the keyword, yet a sweep leaves the main window alone.
    sim.Click(ControlId::Check2);
    ASSERT_TRUE(sim.Tick());
    EXPECT_TRUE(sim.CloseLog().empty());
    EXPECT_FALSE(sim.Ended());
    f.mnuStopMonitoring_Click();
    sim.Click(ControlId::Check6);
    EXPECT_EQ(SettingWrites(sim), (Writes{{L"Windows Startup", L"On"}}));
    EXPECT_TRUE(sim.RegValue(HKEY_LOCAL_MACHINE, RegStuff::kRunKey, "Vintrell.exe").has_value());
    ExpectStartUpOver(sim);
}

TEST_F(StartupTest, StartUpSeedsFromTheClockAndOpensTheFormsAddressOnASeven) {
    for (const std::wstring address : {L"", L"https://example.test/"}) {
        SimPlatform fresh;
        fresh.SetSecondsSinceMidnight(FirstSecondDrawing(true));
        Form1 f(fresh);
        f.HomePageAddress = address;
        f.Start();
        if (address.empty()) {
            EXPECT_TRUE(fresh.Launched().empty());
        } else {
            ASSERT_EQ(fresh.Launched().size(), 1u);
            EXPECT_EQ(fresh.Launched()[0].first,
                      L"\"C:\\Windows\\explorer.exe\" \"https://example.test/\"");
            EXPECT_EQ(fresh.Launched()[0].second, SW_SHOWMINIMIZED);
        }
    }
    // At another time of day the draw is another number, and nothing opens.
    SimPlatform later;
    later.SetSecondsSinceMidnight(FirstSecondDrawing(false));
    Form1 f(later);
    f.HomePageAddress = L"https://example.test/";
    f.Start();
    EXPECT_TRUE(later.Launched().empty());
}

class HomePageTest : public ::testing::Test {
  protected:
    SimPlatform sim;
};

TEST_F(HomePageTest, OnlySevenOutOfOneToHundredOpensThePage) {
    // Int(r * 100) + 1 is 7 exactly for draws r in [0.06, 0.07): a start at every second of
    // the day, each seeded from its time.
    std::size_t sevens = 0;
    for (int seconds = 0; seconds < 86400; ++seconds) {
        sim.SetSecondsSinceMidnight(seconds);
        const std::size_t before = sim.Launched().size();
        Main::MaybeOpenHomePage(sim, L"https://example.test/start");
        const double r = RandomNumbers(seconds).Next();
        const bool seven = r >= 0.06 && r < 0.07;
        ASSERT_EQ(sim.Launched().size() - before, seven ? 1u : 0u) << "at " << seconds << " s";
        sevens += seven ? 1 : 0;
    }
    EXPECT_GT(sevens, 0u);
    ASSERT_FALSE(sim.Launched().empty());
    EXPECT_EQ(sim.Launched()[0].first,
              L"\"C:\\Windows\\explorer.exe\" \"https://example.test/start\"");
}

TEST_F(HomePageTest, WithoutAnAddressNothingStartsEvenOnASeven) {
    sim.SetSecondsSinceMidnight(FirstSecondDrawing(true));
    Main::MaybeOpenHomePage(sim, L"");
    EXPECT_TRUE(sim.Launched().empty());
    // The same time of day with an address opens it.
    Main::MaybeOpenHomePage(sim, L"https://example.test/");
    EXPECT_EQ(sim.Launched().size(), 1u);
}

// A bare "explorer" would be looked for beside the program first, where anyone who can write to
// its folder (Downloads) could put one: the Windows folder's is named by its full path.
TEST_F(HomePageTest, ExplorerIsTheWindowsFoldersNamedByItsFullPath) {
    sim.SetSecondsSinceMidnight(FirstSecondDrawing(true));
    const auto launched = [&](const wchar_t* windowsFolder) {
        sim.SetWindowsFolder(windowsFolder);
        Main::MaybeOpenHomePage(sim, L"https://example.test/");
        return sim.Launched().empty() ? std::wstring() : sim.Launched().back().first;
    };
    EXPECT_EQ(launched(L"D:\\WINNT"), L"\"D:\\WINNT\\explorer.exe\" \"https://example.test/\"");
    EXPECT_EQ(launched(L"E:\\"), L"\"E:\\explorer.exe\" \"https://example.test/\"");
    EXPECT_EQ(launched(L"C:\\My Windows"),
              L"\"C:\\My Windows\\explorer.exe\" \"https://example.test/\"");
}

TEST_F(StartupTest, WithoutAWindowsFolderTheHomePageIsReportedAndStartUpGoesOn) {
    sim.SetSecondsSinceMidnight(FirstSecondDrawing(true));
    sim.SetWindowsFolder(L"");
    StoreSetting(sim, L"Listview", L"a||||||||---|||");
    Form1 f(sim);
    f.HomePageAddress = L"https://example.test/";
    f.Start();
    EXPECT_TRUE(sim.Launched().empty()) << "a bare explorer was started";
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text,
              std::wstring(kLoadError) + L"The Windows folder could not be found");
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"a"});
    EXPECT_EQ(Globals::MainWindowHandle, sim.FormHandle());
    ExpectStartUpOver(sim);
}

// --- The DLL search -----------------------------------------------------------------------

TEST(DllSearchTest, TheSystemFolderAloneIsSearchedWhereWindowsCanDoSo) {
    SimPlatform sim;
    Main::RestrictDllSearch(sim);
    EXPECT_EQ(sim.DllSearchCalls(), std::vector<std::string>{"SetDefaultDllDirectories(0x800)"});
}

TEST(DllSearchTest, WithoutSetDefaultDllDirectoriesTheCurrentFolderAtLeastLeavesTheSearch) {
    SimPlatform sim;
    sim.LackSetDefaultDllDirectories();  // Windows 7 without KB2533623
    Main::RestrictDllSearch(sim);
    EXPECT_EQ(sim.DllSearchCalls(), std::vector<std::string>{"SetDllDirectoryA(\"\")"});
}

class ShutdownTest : public StartupTest {};

// A procedure under Form1's that records the WM_NULL it is handed; the first posts a second.
SimPlatform* gPassesSim = nullptr;
WndProc gPassesSaved = nullptr;
std::vector<WParam> gPassesSeen;

LResult VT_CALLBACK RecordPasses(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    if (msg == WM_NULL) {
        gPassesSeen.push_back(wParam);
        if (wParam == 1) {
            gPassesSim->PostMessageA(hWnd, WM_NULL, 2, 0);
        }
        return 0;
    }
    return gPassesSim->CallWindowProcA(gPassesSaved, hWnd, msg, wParam, lParam);
}

TEST_F(ShutdownTest, ClosingTheWindowEndsTheProgramAfterTwoMessagePassesWithoutSaving) {
    Start();
    // What is waiting when the window closes is handled before the program ends, and what that
    // posts in turn too: two message passes.
    gPassesSim = &sim;
    gPassesSeen.clear();
    gPassesSaved = sim.SetWindowLongA(sim.FormHandle(), GWL_WNDPROC, &RecordPasses);
    sim.PostMessageA(sim.FormHandle(), WM_NULL, 1, 0);
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_EQ(gPassesSeen, (std::vector<WParam>{1, 2}));
    EXPECT_TRUE(SettingWrites(sim).empty());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(ShutdownTest, ClosingTheHiddenWindowOrEndingTheSessionLeavesNoIcon) {
    for (const bool endSession : {false, true}) {
        SimPlatform s;
        StoreSetting(s, L"Windows Startup", L"On");
        StoreSetting(s, L"Minimized", L"On");
        StoreSetting(s, L"Listview", L"Notepad||||||||---|||");
        Form1 f(s);
        f.Start();
        ASSERT_TRUE(s.TrayIconShown());
        // A queued tick must not start a sweep during the shut-down passes.
        const Hwnd notepad = s.AddWindow(L"Untitled - Notepad");
        s.QueueTick();
        if (endSession) {
            s.EndSession();
        } else {
            s.CloseForm();
        }
        EXPECT_TRUE(s.Ended());
        EXPECT_FALSE(s.TrayIconShown());
        EXPECT_FALSE(s.TimerEnabled());
        EXPECT_TRUE(s.WindowExists(notepad));
        EXPECT_TRUE(s.Messages().empty());
        EXPECT_EQ(SettingWrites(s), (Writes{{L"Minimized", L"On"}}));
    }
}

TEST_F(ShutdownTest, TheIconGoesEvenWhenTheDestructionBypassesTheTraySubclass) {
    StoreSetting(sim, L"Windows Startup", L"On");
    StoreSetting(sim, L"Minimized", L"On");
    Start();
    ASSERT_TRUE(sim.TrayIconShown());
    // Something put the window's own procedure back over the subclass.
    sim.SetWindowLongA(sim.FormHandle(), GWL_WNDPROC, sim.FormClassProc());
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TrayIconShown());
}

// Another program may close the hidden window while a handler waits in a modal loop. When the
// handler resumes, the window is gone: it must change nothing more and show nothing more.
TEST_F(ShutdownTest, ClosedDuringAQuestionOrAnErrorMessageNothingMoreIsDoneOrShown) {
    StoreSetting(sim, L"Listview", L"a||||||||---|||");
    Start();
    sim.onMessageBox = [&](const sim::ShownMessage&) { sim.CloseForm(); };
    sim.AnswerMessageBox(IDYES);
    sim.Click(ControlId::Check4);
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"a"});
    EXPECT_TRUE(SettingWrites(sim).empty());
    EXPECT_EQ(sim.Messages().size(), 1u);

    // The error box of a failed option: the box is not set back, and nothing more is stored.
    SimPlatform other;
    other.DenyWrite(HKEY_LOCAL_MACHINE, RegStuff::kRunKey);
    other.DenyWrite(HKEY_CURRENT_USER, RegStuff::kRunKey);
    Form1 f(other);
    f.Start();
    other.onMessageBox = [&](const sim::ShownMessage&) { other.CloseForm(); };
    other.Click(ControlId::Check6);
    EXPECT_TRUE(other.Ended());
    EXPECT_EQ(other.Messages().size(), 1u);
    EXPECT_EQ(SettingWrites(other), (Writes{{L"Windows Startup", L"On"}}));
}

}  // namespace
}  // namespace vt
