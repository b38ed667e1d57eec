// Which Run key the start option writes: the machine's only for a program that ordinary users
// cannot replace, and the same one whichever build, 32- or 64-bit, asks.
#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/sim/sim_platform.h"
#include "settings/startup_registration.h"

namespace vt {
namespace {

using sim::SimPlatform;

constexpr const char* kRun = RegStuff::kRunKey;
constexpr const char* kRun32 = "SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";

std::string Sz(std::string text) {
    text.push_back('\0');
    return text;
}

std::optional<std::string> RunData(const SimPlatform& sim, Hkey root, const char* key,
                                   const char* name) {
    const std::optional<sim::RegistryValue> value = sim.RegValue(root, key, name);
    return value ? std::optional<std::string>(value->data) : std::nullopt;
}

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The machine's record of its Program Files folders, in the 64-bit view; nullptr: no such value.
void SetProgramFilesValues(SimPlatform& sim, const char* programFiles, const char* x86,
                           const char* w6432) {
    const RegKey key = RegKey::Open(sim, HKEY_LOCAL_MACHINE, kCurrentVersion, KEY_SET_VALUE);
    ASSERT_TRUE(key.IsOpen());
    for (const auto& [name, folder] :
         {std::pair{"ProgramFilesDir", programFiles}, std::pair{"ProgramFilesDir (x86)", x86},
          std::pair{"ProgramW6432Dir", w6432}}) {
        if (folder != nullptr) {
            sim.SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, name, {REG_SZ, Sz(folder)});
        } else {
            static_cast<void>(sim.RegDeleteValueA(key.Get(), name));
        }
    }
}

// --- The administrators' folders -------------------------------------------------------------

struct FolderCase {
    const wchar_t* path;
    bool inside;
};

void ExpectFolderRule(SimPlatform& sim, const std::vector<FolderCase>& cases) {
    for (const FolderCase& c : cases) {
        EXPECT_EQ(RegStuff::InAdministratorsFolder(sim, sim, c.path), c.inside)
            << std::string(c.path, c.path + std::wcslen(c.path));
    }
}

TEST(AdministratorsFolderTest, InsideTheProgramFilesFoldersOnly) {
    SimPlatform sim;  // a 64-bit program on 64-bit Windows
    ExpectFolderRule(sim, {
                              {L"C:\\Program Files\\Vintrell\\Vintrell.exe", true},
                              {L"C:\\Program Files\\Vintrell.exe", true},
                              {L"c:\\PROGRAM FILES\\vintrell\\vintrell.exe", true},
                              {L"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe", true},
                              // Any user may create files in some of its folders.
                              {L"C:\\Windows\\Temp\\Vintrell.exe", false},
                              {L"C:\\Windows\\Tasks\\Vintrell.exe", false},
                              {L"C:\\Windows\\Vintrell.exe", false},
                              // Folders any user can make at the root of the drive.
                              {L"C:\\Program Files Evil\\Vintrell.exe", false},
                              {L"C:\\Program FilesEvil\\Vintrell.exe", false},
                              {L"C:\\Program Files (x86) Evil\\Vintrell.exe", false},
                              {L"C:\\Program Files.exe", false},
                              {L"C:\\Program Files", false},
                              {L"C:\\Program Files\\", false},
                              {L"C:\\Users\\Ann\\Downloads\\Vintrell.exe", false},
                              {L"E:\\Tools\\Vintrell.exe", false},
                              {L"D:\\Program Files\\Vintrell\\Vintrell.exe", false},
                              // Spellings that reach outside or that name no drive folder.
                              {L"C:\\Program Files\\..\\Users\\Vintrell.exe", false},
                              {L"C:\\Program Files\\.\\..\\Vintrell.exe", false},
                              {L"C:/Program Files/Vintrell.exe", false},
                              {L"C:\\Program Files\\Vintrell/../../Users/Vintrell.exe", false},
                              {L"\\\\?\\C:\\Program Files\\Vintrell.exe", false},
                              {L"\\\\server\\C$\\Program Files\\Vintrell.exe", false},
                              {L"Program Files\\Vintrell.exe", false},
                              {L"C:Program Files\\Vintrell.exe", false},
                              {L"", false},
                          });
}

// A short name is the other spelling of a folder: "C:\PROGRA~1" is inside only when the file
// system says it is "C:\Program Files".
TEST(AdministratorsFolderTest, ShortNamesAreJudgedByTheirLongForm) {
    SimPlatform sim;
    sim.SetShortPath(L"C:\\Program Files", L"C:\\PROGRA~1");
    sim.SetShortPath(L"C:\\Program Files (x86)", L"C:\\PROGRA~2");
    sim.SetShortPath(L"C:\\Program Files Evil", L"C:\\PROGRA~3");
    ExpectFolderRule(sim, {
                              {L"C:\\PROGRA~1\\Vintrell\\Vintrell.exe", true},
                              {L"C:\\progra~2\\VINTRE~1\\VINTRE~1.EXE", true},
                              {L"C:\\PROGRA~3\\Vintrell.exe", false},
                              {L"C:\\PROGRA~4\\Vintrell.exe", false},  // the system knows none
                          });

    // A folder the registry gives in its short form is read in its long one too.
    SetProgramFilesValues(sim, "C:\\PROGRA~1", nullptr, nullptr);
    ExpectFolderRule(sim, {
                              {L"C:\\Program Files\\Vintrell.exe", true},
                              {L"C:\\Program Files Evil\\Vintrell.exe", false},
                              {L"C:\\Program Files (x86)\\Vintrell.exe", false},
                          });
}

// A 32-bit program on 64-bit Windows sees the x86 folder as ProgramFilesDir in its own view, the
// one its environment and known folders follow: the 64-bit view names both.
TEST(AdministratorsFolderTest, AThirtyTwoBitProgramFindsBothProgramFilesFolders) {
    SimPlatform sim;
    sim.SetThirtyTwoBitProgram(true);
    ExpectFolderRule(sim, {
                              {L"C:\\Program Files\\Vintrell\\Vintrell.exe", true},
                              {L"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe", true},
                          });
    sim.SetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion",
                    "ProgramFilesDir", {REG_SZ, Sz("C:\\Tools")});
    ExpectFolderRule(sim, {{L"C:\\Tools\\Vintrell.exe", false}});
}

// Only the machine's registry names the folders: a user sets %ProgramFiles% and %ProgramW6432%
// for their own processes, elevated ones included.
TEST(AdministratorsFolderTest, TheMachinesRegistryNamesTheFolders) {
    SimPlatform sim;
    SetProgramFilesValues(sim, "D:\\Apps", nullptr, nullptr);
    ExpectFolderRule(sim, {
                              {L"D:\\Apps\\Vintrell\\Vintrell.exe", true},
                              {L"C:\\Program Files\\Vintrell\\Vintrell.exe", false},
                              {L"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe", false},
                          });
    // A value to expand would be expanded from the user's environment.
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir",
                    {REG_EXPAND_SZ, Sz("D:\\Apps")});
    ExpectFolderRule(sim, {{L"D:\\Apps\\Vintrell\\Vintrell.exe", false}});
}

// 32-bit Windows has one Program Files folder; there "C:\Program Files (x86)" is a folder that
// any user may make at the root of the drive.
TEST(AdministratorsFolderTest, OnThirtyTwoBitWindowsTheX86NameIsAnOrdinaryFolder) {
    SimPlatform sim;
    SetProgramFilesValues(sim, "C:\\Program Files", nullptr, nullptr);
    ExpectFolderRule(sim, {
                              {L"C:\\Program Files\\Vintrell\\Vintrell.exe", true},
                              {L"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe", false},
                          });
}

TEST(AdministratorsFolderTest, AFolderThatIsADrivesRootOrUnknownHoldsNothing) {
    SimPlatform sim;
    SetProgramFilesValues(sim, "C:\\", nullptr, "C:");
    ExpectFolderRule(sim, {
                              {L"C:\\Tools\\Vintrell.exe", false},
                              {L"C:\\Vintrell.exe", false},
                          });
}

// --- Where the start option writes ------------------------------------------------------------

class RunKeyTest : public ::testing::Test {
  protected:
    void Tick() {
        if (!form) {
            form.emplace(sim);
            form->Start();
        }
        sim.Click(ControlId::Check6);
    }

    SimPlatform sim;
    std::optional<Form1> form;
};

// The machine's key is writable when Vintrell runs elevated: a file that any user can replace
// must still not start at every user's logon.
TEST_F(RunKeyTest, AProgramOutsideTheAdministratorsFoldersRegistersForTheUserAlone) {
    struct Case {
        const wchar_t* path;
        const char* data;
    };
    for (const Case& c :
         {Case{L"C:\\Users\\Ann\\Downloads\\Vintrell.exe",
               "C:\\Users\\Ann\\Downloads\\Vintrell.exe"},
          Case{L"C:\\Program Files Evil\\Vintrell.exe", "\"C:\\Program Files Evil\\Vintrell.exe\""},
          Case{L"C:\\Windows\\Temp\\Vintrell.exe", "C:\\Windows\\Temp\\Vintrell.exe"}}) {
        SimPlatform elevated;
        elevated.SetExecutablePath(c.path);
        Form1 f(elevated);
        f.Start();
        elevated.Click(ControlId::Check6);

        EXPECT_EQ(RunData(elevated, HKEY_CURRENT_USER, kRun, "Vintrell.exe"), Sz(c.data)) << c.data;
        EXPECT_FALSE(RunData(elevated, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe")) << c.data;
        EXPECT_FALSE(RunData(elevated, HKEY_LOCAL_MACHINE, kRun32, "Vintrell.exe")) << c.data;
        EXPECT_EQ(f.Check6.Value(), 1);
        EXPECT_TRUE(elevated.Messages().empty());

        elevated.Click(ControlId::Check6);
        EXPECT_FALSE(RunData(elevated, HKEY_CURRENT_USER, kRun, "Vintrell.exe")) << c.data;
        EXPECT_EQ(elevated.OpenKeyCount(), 0);
    }
}

TEST_F(RunKeyTest, AProgramStartedByItsShortPathInProgramFilesRegistersMachineWide) {
    sim.SetShortPath(L"C:\\Program Files", L"C:\\PROGRA~1");
    sim.SetExecutablePath(L"C:\\PROGRA~1\\Vintrell\\Vintrell.exe");
    Tick();
    EXPECT_EQ(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"),
              Sz("C:\\PROGRA~1\\Vintrell\\Vintrell.exe"));
    EXPECT_FALSE(RunData(sim, HKEY_CURRENT_USER, kRun, "Vintrell.exe"));
}

TEST_F(RunKeyTest, TheUsersKeyRefusingAProgramOutsideSaysSoWithoutBlamingTheMachinesKey) {
    sim.SetExecutablePath(L"E:\\Tools\\Vintrell.exe");
    sim.DenyWrite(HKEY_CURRENT_USER, kRun);
    Tick();
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text,
              L"ERROR while changing Windows startup - the Run entry could not be written under "
              L"HKEY_CURRENT_USER (error 5)");
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"));
    EXPECT_EQ(form->Check6.Value(), 0);

    // Inside Program Files both keys were tried.
    SimPlatform inside;
    inside.DenyWrite(HKEY_LOCAL_MACHINE, kRun);
    inside.DenyWrite(HKEY_CURRENT_USER, kRun);
    Form1 f(inside);
    f.Start();
    inside.Click(ControlId::Check6);
    ASSERT_EQ(inside.Messages().size(), 1u);
    EXPECT_EQ(inside.Messages()[0].text,
              L"ERROR while changing Windows startup - the Run entry could not be written under "
              L"HKEY_LOCAL_MACHINE (error 5) nor under HKEY_CURRENT_USER (error 5)");
}

// A 32-bit program on 64-bit Windows would otherwise write WOW6432Node's Run key, which Windows
// runs too: two builds would keep two values for one program.
TEST_F(RunKeyTest, BothBuildsSeeWriteAndRemoveTheOneMachineWideValue) {
    sim.SetThirtyTwoBitProgram(true);
    sim.SetExecutablePath(L"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe");
    const std::string data = Sz("\"C:\\Program Files (x86)\\Vintrell\\Vintrell.exe\"");

    Tick();  // the 32-bit build
    EXPECT_EQ(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"), data);
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun32, "Vintrell.exe"));
    EXPECT_FALSE(RunData(sim, HKEY_CURRENT_USER, kRun, "Vintrell.exe"));

    // The 64-bit build unticks it: the value goes, and none is left in either view.
    sim.SetThirtyTwoBitProgram(false);
    Tick();
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"));
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun32, "Vintrell.exe"));

    // The 64-bit build ticks it, the 32-bit one unticks it.
    Tick();
    EXPECT_EQ(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"), data);
    sim.SetThirtyTwoBitProgram(true);
    Tick();
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe"));
    EXPECT_FALSE(RunData(sim, HKEY_LOCAL_MACHINE, kRun32, "Vintrell.exe"));
    EXPECT_TRUE(sim.Messages().empty());
}

// Refused by the machine's key, the 32-bit build finds the value written there while elevated
// in the same view, and adds no per-user copy.
TEST_F(RunKeyTest, AThirtyTwoBitBuildReadsTheMachineWideValueInTheSixtyFourBitView) {
    sim.SetThirtyTwoBitProgram(true);
    sim.SetExecutablePath(L"C:\\Program Files\\Vintrell\\Vintrell.exe");
    sim.SetRegValue(HKEY_LOCAL_MACHINE, kRun, "Vintrell.exe",
                    {REG_SZ, Sz("\"C:\\Program Files\\Vintrell\\Vintrell.exe\"")});
    sim.DenyWrite(HKEY_LOCAL_MACHINE, "SOFTWARE");
    Tick();
    EXPECT_FALSE(RunData(sim, HKEY_CURRENT_USER, kRun, "Vintrell.exe"));
    EXPECT_TRUE(sim.Messages().empty());
}

}  // namespace
}  // namespace vt
