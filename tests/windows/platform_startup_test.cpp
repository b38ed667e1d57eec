// Start-up and the start options against Wine's real registry, file system and shell: the Run
// value, the cursor file beside the executable and the home page's launch.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_module.h"
#include "app/main_window.h"
#include "keywords/keyword_store.h"
#include "monitor/main_window_handle.h"
#include "settings/startup_registration.h"
#include "tests/windows/cursor_file.h"

// After <windows.h> (through platform_support.h), which it needs.
#include <shlobj.h>

namespace vt::test {
namespace {

constexpr const char* kRunKey = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";
const std::wstring kStore = L"Software\\Tolvane\\Vintrell";

void DeleteRunValue(HKEY root, const std::string& name) {
    win32::UniqueKey key;
    if (::RegOpenKeyExA(root, kRunKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        static_cast<void>(::RegDeleteValueA(key.get(), name.c_str()));
    }
}

// The first whole second of the day at which start-up draws a 7, or, with `seven` false, any
// other number.
double SecondOfDayDrawing(bool seven) {
    for (int seconds = 0;; ++seconds) {
        if ((Main::HomePageDraw(seconds) == 7) == seven) {
            return seconds;
        }
    }
}

// A folder of the test's own under the temporary folder, removed with what it holds.
class TempFolder {
  public:
    TempFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
        const std::string name = UniqueName("Vintrell Start");
        path_ = std::wstring(temp, length) + Wide(name);
        created_ = ::CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        for (const std::wstring& file : files_) {
            static_cast<void>(::DeleteFileW(file.c_str()));
        }
        static_cast<void>(::RemoveDirectoryW(path_.c_str()));
    }

    bool Created() const { return created_; }
    const std::wstring& Path() const { return path_; }
    std::wstring Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
        const std::wstring file = path_ + L"\\" + name;
        files_.push_back(file);
        std::ofstream out(Narrow(file), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }

  private:
    std::wstring path_;
    std::vector<std::wstring> files_;
    bool created_ = false;
};

// --- The Run entry ----------------------------------------------------------------------------

class RunEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A path with a blank: its data must be quoted.
        const std::string name = UniqueName("VintrellRunTest") + ".exe";
        valueName_ = name;
        platform_.executablePath = L"C:\\Program Files\\Vintrell Test\\" + Wide(name);
        expectedData_.append("\"").append(Narrow(*platform_.executablePath)).append("\"");
    }
    void TearDown() override {
        DeleteRunValue(HKEY_LOCAL_MACHINE, valueName_);
        DeleteRunValue(HKEY_CURRENT_USER, valueName_);
    }

    bool RunValue(HKEY root, std::string* data) const {
        return ReadStringValue(root, kRunKey, valueName_.c_str(), data);
    }

    RegistryBackup backup_{kStore, {L"Windows Startup", L"Minimized"}};
    TestPlatform platform_;
    std::string valueName_;
    std::string expectedData_;
};

TEST_F(RunEntryTest, TickingWritesTheMachineWideValueAndUntickingRemovesIt) {
    Form1 form(platform_);
    ASSERT_NE(form.hWnd(), 0);
    std::string data;
    form.Check6.SetValue(1);
    ASSERT_TRUE(RunValue(HKEY_LOCAL_MACHINE, &data)) << "no value under HKEY_LOCAL_MACHINE";
    EXPECT_EQ(data, expectedData_);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER, &data)) << "the program would start twice";
    EXPECT_EQ(GetSetting(platform_, L"Tolvane", L"Vintrell", L"Windows Startup"), L"On");
    EXPECT_TRUE(form.Check8.Visible());

    form.Check6.SetValue(0);
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE, &data));
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER, &data));
    EXPECT_EQ(GetSetting(platform_, L"Tolvane", L"Vintrell", L"Windows Startup"), L"Off");
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(RunEntryTest, RefusedMachineWideKeyFallsBackToTheUsersRunKey) {
    platform_.refuseMachineWrites = true;
    Form1 form(platform_);
    std::string data;
    form.Check6.SetValue(1);
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE, &data));
    ASSERT_TRUE(RunValue(HKEY_CURRENT_USER, &data)) << "no value under HKEY_CURRENT_USER";
    EXPECT_EQ(data, expectedData_);
    EXPECT_EQ(form.Check6.Value(), 1);
    EXPECT_TRUE(platform_.messages.empty());

    form.Check6.SetValue(0);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER, &data));
    EXPECT_TRUE(platform_.messages.empty());

    // A machine-wide value written by an elevated copy, which this process may not remove: the
    // program would still start at logon.
    {
        win32::UniqueKey run;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, run.put()),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(run.get(), valueName_.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(expectedData_.c_str()),
                                   static_cast<DWORD>(expectedData_.size() + 1)),
                  ERROR_SUCCESS);
    }
    form.Check6.SetValue(1);
    form.Check6.SetValue(0);
    EXPECT_TRUE(RunValue(HKEY_LOCAL_MACHINE, &data));
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].text.rfind(L"ERROR while changing Windows startup - ", 0), 0u);
    EXPECT_EQ(platform_.messages[0].caption, L"Vintrell");
}

// The machine's key is writable here, as it is for an elevated program: a program outside
// Program Files is registered for the user all the same.
TEST_F(RunEntryTest, OutsideTheAdministratorsFoldersTheValueIsTheUsers) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(length, 0u);
    platform_.executablePath = std::wstring(temp, length) + Wide(valueName_);
    Form1 form(platform_);
    std::string data;
    form.Check6.SetValue(1);
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE, &data)) << "every user's logon would start it";
    ASSERT_TRUE(RunValue(HKEY_CURRENT_USER, &data)) << "no value under HKEY_CURRENT_USER";
    EXPECT_EQ(data, Narrow(*platform_.executablePath));
    EXPECT_TRUE(platform_.messages.empty());

    form.Check6.SetValue(0);
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER, &data));
}

// Started by its short path, a program in Program Files is still recognised as installed there.
TEST_F(RunEntryTest, AShortPathIntoProgramFilesIsMachineWide) {
    struct Installed {
        std::wstring folder;
        std::wstring file;
        std::string valueName;  // the short file name, as the Run entry names it
        ~Installed() {
            DeleteRunValue(HKEY_LOCAL_MACHINE, valueName);
            DeleteRunValue(HKEY_CURRENT_USER, valueName);
            ::DeleteFileW(file.c_str());
            ::RemoveDirectoryW(folder.c_str());
        }
    } installed;
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    installed.folder = std::wstring(programFiles) + L"\\" + Wide(UniqueName("Vintrell"));
    ASSERT_TRUE(::CreateDirectoryW(installed.folder.c_str(), nullptr));
    installed.file = installed.folder + L"\\" + Wide(valueName_);
    const HANDLE created =
        ::CreateFileW(installed.file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    ::CloseHandle(created);
    const std::wstring shortPath = platform_.GetShortPathNameW(installed.file);
    ASSERT_NE(shortPath.find(L'~'), std::wstring::npos) << Narrow(shortPath);
    installed.valueName = Narrow(shortPath.substr(shortPath.rfind(L'\\') + 1));
    platform_.executablePath = shortPath;

    Form1 form(platform_);
    std::string data;
    form.Check6.SetValue(1);
    ASSERT_TRUE(ReadStringValue(HKEY_LOCAL_MACHINE, kRunKey, installed.valueName.c_str(), &data))
        << Narrow(shortPath);
    EXPECT_EQ(data, Narrow(shortPath));
    EXPECT_FALSE(ReadStringValue(HKEY_CURRENT_USER, kRunKey, installed.valueName.c_str(), &data));
    EXPECT_TRUE(platform_.messages.empty());
    form.Check6.SetValue(0);
    EXPECT_FALSE(ReadStringValue(HKEY_LOCAL_MACHINE, kRunKey, installed.valueName.c_str(), &data));
}

// --- Start-up with the files beside the executable --------------------------------------------

class StartUpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Created());
        platform_.executablePath = folder_.Path() + L"\\Vintrell.exe";
        platform_.secondsSinceMidnight = SecondOfDayDrawing(false);  // no home page
        // Stored keywords, and no option on, so start-up neither hides the window nor starts
        // monitoring.
        DeleteKeyTree(HKEY_CURRENT_USER, kStore);
        SaveSetting(platform_, L"Tolvane", L"Vintrell", L"Listview",
                    Registry::JoinKeywords({L"first", L"Second keyword"}));
    }
    void TearDown() override { Globals::MainWindowHandle = 0; }

    // Start-up is over: ticking and unticking the start-up option acts at once (during start-up
    // the box is only restored).
    void ExpectStartUpOver(Form1& form) {
        form.Check6.SetValue(1);
        EXPECT_EQ(GetSetting(platform_, L"Tolvane", L"Vintrell", L"Windows Startup"), L"On");
        form.Check6.SetValue(0);
        EXPECT_EQ(GetSetting(platform_, L"Tolvane", L"Vintrell", L"Windows Startup"), L"Off");
    }

    RegistryBackup backup_{kStore, {L"Listview", L"Windows Startup", L"Minimized"}};
    TempFolder folder_;
    TestPlatform platform_;
};

TEST_F(StartUpTest, RealCursorFileLoadsAndShowsOverTheButtons) {
    folder_.Write(L"HAND-M.CUR", MinimalCursorFile());
    Form1 form(platform_);
    form.Form_Load();
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(form.ListView1.Count(), 2);

    // The pointer as the system sets it when the mouse moves over a part of the window.
    const HWND window = win32::ToHwnd(form.hWnd());
    const auto hover = [window](ControlId part) {
        const HWND target =
            part == ControlId::Form ? window : ::GetDlgItem(window, static_cast<int>(part));
        ::SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    };
    const HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    const HCURSOR hand = hover(ControlId::Check1);
    EXPECT_NE(hand, nullptr);
    EXPECT_NE(hand, arrow) << "the hand does not show over the Add button";
    EXPECT_EQ(hover(ControlId::Check6), hand) << "an option box has no hover handler";
    EXPECT_EQ(hover(ControlId::Form), arrow);
    EXPECT_EQ(hover(ControlId::Check6), arrow);
    ExpectStartUpOver(form);
}

TEST_F(StartUpTest, CursorFileThatIsNoCursorIsReportedAndStartUpGoesOn) {
    const std::string text = "not a cursor at all";
    folder_.Write(L"HAND-M.CUR", std::vector<std::uint8_t>(text.begin(), text.end()));
    Form1 form(platform_);
    EXPECT_FALSE(platform_.LoadMouseIcon(folder_.Path() + L"\\HAND-M.CUR"));
    form.Form_Load();
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].text.rfind(L"ERROR while loading main form - ", 0), 0u);
    EXPECT_EQ(platform_.messages[0].caption, L"Vintrell");
    ASSERT_EQ(form.ListView1.Count(), 2) << "the keyword list was not loaded";
    EXPECT_EQ(form.ListView1.Item(1), L"first");
    EXPECT_EQ(form.ListView1.Item(2), L"Second keyword");
    EXPECT_EQ(Globals::MainWindowHandle, form.hWnd());
    ExpectStartUpOver(form);
}

struct TitleSearch {
    const std::string* part;
    HWND found = nullptr;
};

BOOL CALLBACK FindTitle(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<TitleSearch*>(lParam);
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof(title));
    if (std::string(title).find(*search.part) != std::string::npos) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// Polls for a top-level window whose title holds the text; null when none comes up in time.
HWND WaitForWindow(const std::string& titlePart, int timeoutMs) {
    TitleSearch search{&titlePart};
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        ::EnumWindows(FindTitle, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            break;
        }
        ::Sleep(100);
    }
    return search.found;
}

TEST_F(StartUpTest, HomePageCommandLineIsStartedOnASeven) {
    // Wine's explorer opens a folder in a window named after it: a test address it can show.
    const std::string folderName = Narrow(folder_.Path().substr(folder_.Path().rfind(L'\\') + 1));
    platform_.secondsSinceMidnight = SecondOfDayDrawing(true);
    Form1 form(platform_);
    form.HomePageAddress = folder_.Path();
    form.Form_Load();
    EXPECT_TRUE(platform_.messages.empty());
    const HWND opened = WaitForWindow(folderName, 20000);
    ASSERT_NE(opened, nullptr) << "explorer \"<address>\" did not start";
    ::PostMessageA(opened, WM_CLOSE, 0, 0);
}

}  // namespace
}  // namespace vt::test
