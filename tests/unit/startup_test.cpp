#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/globals.h"
#include "app/main_module.h"
#include "app/main_window.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "settings/startup_registration.h"
#include "tray/api_stuff.h"
#include "tray/tray.h"

namespace vt {
namespace {

using sim::SimPlatform;

constexpr wchar_t kLoadError[] = L"ERROR while loading main form - ";

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override { Globals::MainWindowHandle = 0; }
    void TearDown() override {
        // The tray's state is module-wide: leave no icon pointing at a form about to go.
        if (APIStuff::TrayOwnerForm != nullptr) {
            Tray::RemoveTrayIcon();
        }
    }

    Form1& Start() {
        form.emplace(sim);
        form->Start();
        return *form;
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
    EXPECT_FALSE(f.IsLoading);
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_TRUE(sim.SettingWrites().empty());
    EXPECT_TRUE(sim.MouseIconPath().empty());
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, RegStuff::kRunKey, "Vintrell.exe"));
    EXPECT_FALSE(sim.RegValue(HKEY_CURRENT_USER, RegStuff::kRunKey, "Vintrell.exe"));
    EXPECT_EQ(sim.OpenKeyCount(), 0);
}

TEST_F(StartupTest, BothOptionsOnGoStraightIntoTheTrayWithoutShowingTheWindow) {
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.StoreSetting(L"Minimized", L"On");
    sim.StoreSetting(L"Listview", L"calc||||||||---|||");
    const Hwnd calculator = sim.AddWindow(L"Calculator");
    Form1& f = Start();

    EXPECT_FALSE(sim.FormVisibleNow());
    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    EXPECT_TRUE(sim.TimerEnabled());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_EQ(f.Check8.Value(), 1);
    EXPECT_TRUE(sim.ControlVisible(ControlId::Check8));
    EXPECT_FALSE(f.IsLoading);
    EXPECT_TRUE(sim.Messages().empty());

    // Restoring "Windows Startup" leaves the Run entry alone; "Minimized" is stored once more.
    const std::vector<std::pair<std::wstring, std::wstring>> writes{{L"Minimized", L"On"}};
    EXPECT_EQ(sim.SettingWrites(), writes);
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, RegStuff::kRunKey, "Vintrell.exe").has_value());

    // Sweeps run from the first tick.
    ASSERT_TRUE(sim.Tick());
    EXPECT_FALSE(sim.WindowExists(calculator));
}

TEST_F(StartupTest, MinimizedWithoutWindowsStartupStartsInTheTrayOnceThenTurnsOff) {
    sim.StoreSetting(L"Windows Startup", L"Off");
    sim.StoreSetting(L"Minimized", L"On");
    Form1& f = Start();

    EXPECT_FALSE(sim.FormVisibleNow());
    EXPECT_TRUE(sim.TrayIconShown());
    EXPECT_TRUE(sim.TimerEnabled());
    EXPECT_EQ(f.Check8.Value(), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    const std::vector<std::pair<std::wstring, std::wstring>> writes{{L"Minimized", L"On"},
                                                                    {L"Minimized", L"Off"}};
    EXPECT_EQ(sim.SettingWrites(), writes);
    EXPECT_EQ(sim.StoredSetting(L"Minimized"), L"Off");
}

TEST_F(StartupTest, OnlyTheExactStringOnTurnsAnOptionOn) {
    for (const wchar_t* value : {L"on", L"ON", L"1", L"On ", L""}) {
        SCOPED_TRACE(testing::Message() << "stored value of length " << std::wcslen(value));
        SimPlatform fresh;
        fresh.StoreSetting(L"Windows Startup", value);
        fresh.StoreSetting(L"Minimized", value);
        Form1 f(fresh);
        f.Start();
        EXPECT_EQ(f.Check6.Value(), 0);
        EXPECT_EQ(f.Check8.Value(), 0);
        EXPECT_FALSE(fresh.ControlVisible(ControlId::Check8));
        EXPECT_TRUE(fresh.FormVisibleNow());
        EXPECT_FALSE(fresh.TrayIconShown());
        EXPECT_TRUE(fresh.SettingWrites().empty());
        if (APIStuff::TrayOwnerForm != nullptr) {
            Tray::RemoveTrayIcon();  // a failure above must not leave the icon to the next form
        }
    }
}

TEST_F(StartupTest, TheHandCursorIsLoadedFromBesideTheExecutableWhenPresent) {
    sim.SetExecutablePath(L"E:\\Tools\\Vintrell.exe");
    sim.AddFile(L"E:\\Tools\\HAND-M.CUR", true);
    Start();
    EXPECT_EQ(sim.MouseIconPath(), L"E:\\Tools\\HAND-M.CUR");
    EXPECT_TRUE(sim.Messages().empty());

    SimPlatform root;  // at the root of a drive, one backslash
    root.SetExecutablePath(L"D:\\Vintrell.exe");
    root.AddFile(L"D:\\HAND-M.CUR", true);
    Form1 other(root);
    other.Start();
    EXPECT_EQ(root.MouseIconPath(), L"D:\\HAND-M.CUR");
}

TEST_F(StartupTest, NoCursorFileIsNoError) {
    sim.SetExecutablePath(L"E:\\Tools\\Vintrell.exe");
    sim.AddFile(L"E:\\Other\\HAND-M.CUR", true);  // not the program's folder
    Form1& f = Start();
    EXPECT_TRUE(sim.MouseIconPath().empty());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_FALSE(f.IsLoading);
    // The custom setting still works, without an image.
    sim.MouseMove(ControlId::Check1);
    EXPECT_EQ(sim.MousePointerShown(), 99);
}

// The optional steps must not cost the list, the handle and the options.
void ExpectStartUpCompleted(const SimPlatform& sim, const Form1& f) {
    EXPECT_EQ(sim.ListItems(), (std::vector<std::wstring>{L"calc", L"Notepad"}));
    ASSERT_EQ(sim.ListColumns().size(), 1u);
    EXPECT_EQ(sim.ListColumns()[0].second, 4700);
    EXPECT_EQ(Globals::MainWindowHandle, sim.FormHandle());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_TRUE(sim.ControlVisible(ControlId::Check8));
    EXPECT_FALSE(f.IsLoading);
    EXPECT_TRUE(sim.FormVisibleNow());
}

TEST_F(StartupTest, ACursorFileThatIsNoCursorIsReportedOnceAndStartUpGoesOn) {
    sim.SetExecutablePath(L"E:\\Tools\\Vintrell.exe");
    sim.AddFile(L"E:\\Tools\\HAND-M.CUR", false);
    sim.StoreSetting(L"Listview", L"calc||||||||---|||Notepad||||||||---|||");
    sim.StoreSetting(L"Windows Startup", L"On");
    Form1& f = Start();

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, std::wstring(kLoadError) + L"Invalid picture");
    EXPECT_EQ(sim.Messages()[0].style, MB_OK);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_TRUE(sim.MouseIconPath().empty());
    ExpectStartUpCompleted(sim, f);
}

TEST_F(StartupTest, AHomePageThatCannotBeOpenedIsReportedOnceAndStartUpGoesOn) {
    sim.StoreSetting(L"Listview", L"calc||||||||---|||Notepad||||||||---|||");
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.ForceRnd(0.06);
    sim.FailLaunch(true);
    form.emplace(sim);
    form->HomePageAddress = L"https://example.test/";
    form->Start();

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(kLoadError, 0), 0u);
    EXPECT_GT(sim.Messages()[0].text.size(), std::wcslen(kLoadError));
    ExpectStartUpCompleted(sim, *form);
}

TEST_F(StartupTest, AFailureOutsideTheOptionalStepsStopsStartUp) {
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.MakeSettingUnreadable(L"Listview");
    Form1& f = Start();

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(kLoadError, 0), 0u);
    // Nothing after the list was done: no column, no handle, no options.
    EXPECT_TRUE(sim.ListColumns().empty());
    EXPECT_EQ(Globals::MainWindowHandle, 0);
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_TRUE(f.IsLoading);
    EXPECT_TRUE(sim.FormVisibleNow());
}

TEST_F(StartupTest, StartUpSeedsFromTheClockAndOpensTheBuildAddressOnASeven) {
    sim.SetSecondsSinceMidnight(45296.75);
    sim.ForceRnd(0.06);
    Start();
    EXPECT_EQ(sim.RandomizeSeed(), 45296.75);
    if (Main::kHomePageAddress.empty()) {
        EXPECT_TRUE(sim.Launched().empty());
    } else {
        ASSERT_EQ(sim.Launched().size(), 1u);
        EXPECT_EQ(sim.Launched()[0].first,
                  L"explorer \"" + std::wstring(Main::kHomePageAddress) + L"\"");
    }
}

class HomePageTest : public ::testing::Test {
  protected:
    SimPlatform sim;
};

TEST_F(HomePageTest, ADrawOfSevenStartsExplorerMinimizedWithTheQuotedAddress) {
    sim.SetSecondsSinceMidnight(3600.5);
    sim.ForceRnd(0.06);
    Main::MaybeOpenHomePage(sim, L"https://example.test/start");
    EXPECT_EQ(sim.RandomizeSeed(), 3600.5);
    ASSERT_EQ(sim.Launched().size(), 1u);
    EXPECT_EQ(sim.Launched()[0].first, L"explorer \"https://example.test/start\"");
    EXPECT_EQ(sim.Launched()[0].second, SW_SHOWMINIMIZED);
}

TEST_F(HomePageTest, OnlySevenOutOfOneToHundredOpensThePage) {
    // Int(r * 100) + 1 is 7 exactly for r in [0.06, 0.07).
    for (const double draw : {0.0, 0.05, 0.0599999, 0.07, 0.5, 0.9999999}) {
        sim.ForceRnd(draw);
        Main::MaybeOpenHomePage(sim, L"https://example.test/");
    }
    EXPECT_TRUE(sim.Launched().empty());
    sim.ForceRnd(0.0699999);
    Main::MaybeOpenHomePage(sim, L"https://example.test/");
    EXPECT_EQ(sim.Launched().size(), 1u);
}

TEST_F(HomePageTest, WithoutAnAddressTheNumberIsStillDrawnAndNothingStarts) {
    sim.SetSecondsSinceMidnight(120);
    sim.ForceRnd(0.06);
    sim.ForceRnd(0.06);
    Main::MaybeOpenHomePage(sim, L"");
    EXPECT_TRUE(sim.Launched().empty());
    EXPECT_EQ(sim.RandomizeSeed(), 120);
    // Exactly one draw was taken: the second forced seven goes to the next call.
    Main::MaybeOpenHomePage(sim, L"https://example.test/");
    EXPECT_EQ(sim.Launched().size(), 1u);
}

class ShutdownTest : public StartupTest {};

TEST_F(ShutdownTest, ClosingTheWindowEndsTheProgramAfterTwoMessagePassesWithoutSaving) {
    Start();
    const std::int32_t passesBefore = sim.DoEventsCalls();
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_EQ(sim.DoEventsCalls() - passesBefore, 2);
    EXPECT_TRUE(sim.SettingWrites().empty());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(ShutdownTest, ClosingTheHiddenWindowWhileInTheTrayLeavesNoIcon) {
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.StoreSetting(L"Minimized", L"On");
    Start();
    ASSERT_TRUE(sim.TrayIconShown());
    // A queued tick must not start a sweep during the shut-down passes.
    const Hwnd notepad = sim.AddWindow(L"Untitled - Notepad");
    form->ListView1.Add(L"Notepad");
    sim.QueueTick();
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_TRUE(sim.WindowExists(notepad));
    EXPECT_EQ(APIStuff::TrayOwnerForm, nullptr);
}

TEST_F(ShutdownTest, TheIconGoesEvenWhenTheDestructionBypassesTheTraySubclass) {
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.StoreSetting(L"Minimized", L"On");
    Start();
    ASSERT_TRUE(sim.TrayIconShown());
    // Something put the window's own procedure back over the subclass.
    sim.SetWindowLongA(sim.FormHandle(), GWL_WNDPROC, sim.FormClassProc());
    sim.CloseForm();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TrayIconShown());
}

TEST_F(ShutdownTest, TheEndOfTheSessionEndsTheProgramAndTakesTheIcon) {
    sim.StoreSetting(L"Windows Startup", L"On");
    sim.StoreSetting(L"Minimized", L"On");
    Start();
    sim.EndSession();
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_FALSE(sim.TimerEnabled());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.SettingWrites(),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"Minimized", L"On"}}));
}

}  // namespace
}  // namespace vt
