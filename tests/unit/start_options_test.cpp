#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "monitor/main_window_handle.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"
#include "settings/startup_registration.h"

namespace vt {
namespace {

using sim::SimPlatform;
using Writes = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr const char* kRun = RegStuff::kRunKey;
constexpr wchar_t kStartupError[] = L"ERROR while changing Windows startup - ";

// REG_SZ data as stored: the text and its terminating NUL.
std::string Sz(std::string text) {
    text.push_back('\0');
    return text;
}

class StartOptionsTest : public ::testing::Test {
  protected:
    Form1& Start() {
        form.emplace(sim);
        form->Start();
        return *form;
    }

    std::optional<std::string> RunData(Hkey root, const char* name) const {
        const std::optional<sim::RegistryValue> value = sim.RegValue(root, kRun, name);
        if (!value) {
            return std::nullopt;
        }
        EXPECT_EQ(value->type, REG_SZ);
        return value->data;
    }

    SimPlatform sim;
    std::optional<Form1> form;
};

TEST_F(StartOptionsTest, TickingRegistersTheProgramsOwnExecutableMachineWide) {
    sim.SetExecutablePath(L"C:\\Program Files\\Tools\\Tool.exe");
    sim.AddFile(L"C:\\Program Files\\Tools\\Another.exe",
                false);  // a neighbour is never registered
    Form1& f = Start();
    sim.Click(ControlId::Check6);

    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_TRUE(sim.ControlVisible(ControlId::Check8));
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check8), 0);
    EXPECT_EQ(SettingWrites(sim), (Writes{{L"Windows Startup", L"On"}}));
    EXPECT_EQ(RunData(HKEY_LOCAL_MACHINE, "Tool.exe"),
              Sz("\"C:\\Program Files\\Tools\\Tool.exe\""));
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, kRun, "Another.exe").has_value());
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Tool.exe").has_value());
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.OpenKeyCount(), 0);

    // Unticking removes the value; ticking again writes the same value back.
    sim.Click(ControlId::Check6);
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Tool.exe").has_value());
    sim.Click(ControlId::Check6);
    EXPECT_EQ(RunData(HKEY_LOCAL_MACHINE, "Tool.exe"),
              Sz("\"C:\\Program Files\\Tools\\Tool.exe\""));
}

// A folder the system code page cannot name ("Ā" would be written as "A", a folder that does
// not exist): the Run entry names the path's short form, which it can.
TEST_F(StartOptionsTest, APathOutsideTheCodePageIsRegisteredByItsShortForm) {
    const std::wstring real = L"C:\\Users\\\u0100da\\Tool.exe";
    sim.SetExecutablePath(real);
    sim.SetShortPath(real, L"C:\\Users\\ADA~1\\Tool.exe");
    Form1& f = Start();

    sim.Click(ControlId::Check6);
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_EQ(RunData(HKEY_CURRENT_USER, "Tool.exe"), Sz("C:\\Users\\ADA~1\\Tool.exe"));
    EXPECT_EQ(sim.RegValueNames(HKEY_CURRENT_USER, kRun), std::vector<std::string>{"Tool.exe"});

    sim.Click(ControlId::Check6);
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Tool.exe").has_value());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartOptionsTest, APathWithNoFormTheCodePageHoldsIsRefusedAndTheOptionSetBack) {
    const std::wstring real = L"C:\\Users\\\u0100da\\Tool.exe";
    sim.SetExecutablePath(real);
    Form1& f = Start();

    sim.Click(ControlId::Check6);

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text,
              std::wstring(kStartupError) +
                  L"the program cannot be started at logon from its folder: the path has letters "
                  L"that this system's code page cannot hold, and no short form that it can (" +
                  real + L")");
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    EXPECT_TRUE(sim.RegValueNames(HKEY_LOCAL_MACHINE, kRun).empty());
    EXPECT_TRUE(sim.RegValueNames(HKEY_CURRENT_USER, kRun).empty());
    EXPECT_EQ(StoredSetting(sim, L"Windows Startup"), L"Off");

    // A short form that the code page cannot hold either is no way out.
    sim.SetShortPath(real, L"C:\\Users\\\u0100DA~1\\Tool.exe");
    sim.Click(ControlId::Check6);
    EXPECT_EQ(sim.Messages().size(), 2u);
    EXPECT_TRUE(sim.RegValueNames(HKEY_LOCAL_MACHINE, kRun).empty());
}

TEST(RunEntryTest, TheDataIsThePathQuotedOnlyWhenItHoldsABlank) {
    const auto registered = [](const wchar_t* path, const char* name) {
        SimPlatform sim;
        sim.SetExecutablePath(path);
        Form1 f(sim);
        f.Start();
        sim.Click(ControlId::Check6);
        const std::optional<sim::RegistryValue> value = sim.RegValue(HKEY_CURRENT_USER, kRun, name);
        return value ? value->data : std::string("<none>");
    };
    EXPECT_EQ(registered(L"D:\\Tool.exe", "Tool.exe"), Sz("D:\\Tool.exe"));  // one backslash
    EXPECT_EQ(registered(L"C:\\My Tools\\Vintrell.exe", "Vintrell.exe"),
              Sz("\"C:\\My Tools\\Vintrell.exe\""));
}

TEST_F(StartOptionsTest, UntickingWithTrayCheckedStoresMinimizedOffFirstAndRemovesTheEntry) {
    sim.SetExecutablePath(L"E:\\Tools\\Tool.exe");
    StoreSetting(sim, L"Windows Startup", L"On");
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Tool.exe", {REG_SZ, Sz("E:\\Tools\\Tool.exe")});
    Form1& f = Start();
    sim.Click(ControlId::Check8);
    ASSERT_EQ(f.Check8.Value(), 1);
    const std::size_t before = SettingWrites(sim).size();

    sim.Click(ControlId::Check6);
    const Writes writes = SettingWrites(sim);
    const Writes after(writes.begin() + static_cast<std::ptrdiff_t>(before), writes.end());
    EXPECT_EQ(after, (Writes{{L"Minimized", L"Off"}, {L"Windows Startup", L"Off"}}));
    EXPECT_EQ(f.Check8.Value(), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Tool.exe").has_value());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartOptionsTest, EachChangeWritesOnlyWhatItChanges) {
    StoreSetting(sim, L"Windows Startup", L"On");
    Form1& f = Start();
    // Restoring the box at start-up leaves the Run key alone, even when the value is missing.
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe").has_value());

    // "Start in system tray" touches neither the Run key nor the tray.
    sim.Click(ControlId::Check8);
    sim.Click(ControlId::Check8);
    EXPECT_EQ(SettingWrites(sim), (Writes{{L"Minimized", L"On"}, {L"Minimized", L"Off"}}));
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe").has_value());
    EXPECT_FALSE(sim.RegValue(HKEY_CURRENT_USER, kRun, "Vintrell.exe").has_value());
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_TRUE(sim.FormVisibleNow());

    // Unticking with "Start in system tray" unchecked does not write "Minimized" again.
    sim.Click(ControlId::Check6);
    EXPECT_EQ(SettingWrites(sim).back(),
              (std::pair<std::wstring, std::wstring>{L"Windows Startup", L"Off"}));
    EXPECT_EQ(SettingWrites(sim).size(), 3u);
}

TEST_F(StartOptionsTest, ARefusedMachineKeyFallsBackToTheUsersRunKey) {
    sim.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    Form1& f = Start();
    sim.Click(ControlId::Check6);

    EXPECT_EQ(RunData(HKEY_CURRENT_USER, "Vintrell.exe"),
              Sz("\"C:\\Program Files\\Vintrell\\Vintrell.exe\""));
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Vintrell.exe").has_value());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_EQ(StoredSetting(sim, L"Windows Startup"), L"On");
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.OpenKeyCount(), 0);

    // Unticking removes it again.
    sim.Click(ControlId::Check6);
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Vintrell.exe").has_value());
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartOptionsTest, WritingInOneKeyRemovesTheSameNameFromTheOther) {
    sim.SetExecutablePath(L"C:\\Program Files\\Tool.exe");
    sim.SetRegValue(HKEY_CURRENT_USER, kRun, "Tool.exe", {REG_SZ, Sz("E:\\Old\\Tool.exe")});
    Start();
    sim.Click(ControlId::Check6);
    EXPECT_EQ(RunData(HKEY_LOCAL_MACHINE, "Tool.exe"), Sz("\"C:\\Program Files\\Tool.exe\""));
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Tool.exe").has_value());

    // And the other way round, for a program outside the administrators' folders.
    sim.Click(ControlId::Check6);
    sim.SetExecutablePath(L"E:\\Tools\\Tool.exe");
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Tool.exe", {REG_SZ, Sz("E:\\Old\\Tool.exe")});
    sim.Click(ControlId::Check6);
    EXPECT_EQ(RunData(HKEY_CURRENT_USER, "Tool.exe"), Sz("E:\\Tools\\Tool.exe"));
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Tool.exe").has_value());
}

TEST_F(StartOptionsTest, AValueAlreadyMachineWideIsNotCopiedForTheUser) {
    // Written earlier while elevated; a per-user copy would start the program twice.
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe",
                    {REG_SZ, Sz("\"C:\\Program Files\\Vintrell\\Vintrell.exe\"")});
    sim.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    Form1& f = Start();
    sim.Click(ControlId::Check6);
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Vintrell.exe").has_value());
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(StartOptionsTest, UntickingRemovesTheValueFromBothKeys) {
    StoreSetting(sim, L"Windows Startup", L"On");
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe", {REG_SZ, Sz("x")});
    sim.SetRegValue(HKEY_CURRENT_USER, kRun, "Vintrell.exe", {REG_SZ, Sz("y")});
    sim.SetRegValue(HKEY_CURRENT_USER, kRun, "Other.exe", {REG_SZ, Sz("z")});
    Start();
    sim.Click(ControlId::Check6);
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Vintrell.exe").has_value());
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Vintrell.exe").has_value());
    EXPECT_EQ(RunData(HKEY_CURRENT_USER, "Other.exe"), Sz("z"));
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(sim.OpenKeyCount(), 0);
}

TEST_F(StartOptionsTest, WhenNeitherKeyTakesTheValueTheBoxIsUntickedAndTheUserTold) {
    sim.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    sim.DenyWrite(HKEY_CURRENT_USER, kRun);
    Form1& f = Start();
    sim.Click(ControlId::Check6);

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(kStartupError, 0), 0u);
    EXPECT_GT(sim.Messages()[0].text.size(), std::wstring(kStartupError).size());
    EXPECT_EQ(sim.Messages()[0].style, MB_OK);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check6), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    EXPECT_EQ(SettingWrites(sim),
              (Writes{{L"Windows Startup", L"On"}, {L"Windows Startup", L"Off"}}));
    EXPECT_EQ(StoredSetting(sim, L"Windows Startup"), L"Off");
    EXPECT_FALSE(RunData(HKEY_LOCAL_MACHINE, "Vintrell.exe").has_value());
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Vintrell.exe").has_value());
    EXPECT_EQ(sim.OpenKeyCount(), 0);
}

TEST_F(StartOptionsTest, AnOptionTheStoreRefusesIsReportedOnceAndTheBoxesShowWhatIsStored) {
    sim.SetExecutablePath(L"E:\\Tools\\Tool.exe");
    Form1& f = Start();
    FailSettingWrites(sim, true);
    const auto refused = [&](std::wstring_view key) {
        try {
            WriteSetting(Store(sim), L"Tolvane", L"Vintrell", key, L"");
        } catch (const AppError& error) {
            return std::wstring(kStartupError) + error.Description();
        }
        ADD_FAILURE() << "the store did not fail";
        return std::wstring();
    };

    // Ticking: unticked again, nothing registered, nothing more written or said.
    sim.Click(ControlId::Check6);
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, refused(L"Windows Startup"));
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check6), 0);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    EXPECT_FALSE(RunData(HKEY_CURRENT_USER, "Tool.exe").has_value());

    // With both options on, unticking either one leaves both as stored and registered.
    FailSettingWrites(sim, false);
    sim.Click(ControlId::Check6);
    sim.Click(ControlId::Check8);
    FailSettingWrites(sim, true);
    sim.Click(ControlId::Check8);
    sim.Click(ControlId::Check6);
    ASSERT_EQ(sim.Messages().size(), 3u);
    EXPECT_EQ(sim.Messages()[1].text, refused(L"Minimized"));
    EXPECT_EQ(sim.Messages()[2].text, refused(L"Minimized"));
    EXPECT_EQ(f.Check6.Value(), 1);
    EXPECT_EQ(f.Check8.Value(), 1);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check8), 1);
    EXPECT_TRUE(sim.ControlVisible(ControlId::Check8));
    EXPECT_EQ(RunData(HKEY_CURRENT_USER, "Tool.exe"), Sz("E:\\Tools\\Tool.exe"));
    EXPECT_EQ(StoredSetting(sim, L"Windows Startup"), L"On");
    EXPECT_EQ(StoredSetting(sim, L"Minimized"), L"On");
}

TEST_F(StartOptionsTest, UntickingSaysSoOnlyWhenAValueStaysBehind) {
    StoreSetting(sim, L"Windows Startup", L"On");
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe", {REG_SZ, Sz("x")});
    sim.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    Form1& f = Start();
    sim.Click(ControlId::Check6);

    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(kStartupError, 0), 0u);
    EXPECT_EQ(f.Check6.Value(), 0);
    EXPECT_EQ(StoredSetting(sim, L"Windows Startup"), L"Off");
    EXPECT_TRUE(RunData(HKEY_LOCAL_MACHINE, "Vintrell.exe").has_value());
    EXPECT_EQ(sim.OpenKeyCount(), 0);

    // With nothing registered, keys that refuse writes leave nothing behind: nothing to say.
    SimPlatform quiet;
    StoreSetting(quiet, L"Windows Startup", L"On");
    quiet.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    quiet.DenyWrite(HKEY_CURRENT_USER, kRun);
    Form1 other(quiet);
    other.Start();
    quiet.Click(ControlId::Check6);
    EXPECT_TRUE(quiet.Messages().empty());
}

TEST(RegStuffTest, APathTheCodePageCannotHoldIsRefusedRatherThanMangled) {
    SimPlatform sim;
    EXPECT_THROW(RegStuff::RegisterRunEntry(sim, sim, sim, L"C:\\\x65e5\x672c\\Vintrell.exe"),
                 AppError);
    EXPECT_FALSE(sim.RegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe").has_value());
    EXPECT_FALSE(sim.RegValue(HKEY_CURRENT_USER, kRun, "Vintrell.exe").has_value());
}

}  // namespace
}  // namespace vt
