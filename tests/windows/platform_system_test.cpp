// The real calls of Win32Platform outside the window toolkit, in Wine's registry, window system
// and file system.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "platform/win32/win32_error.h"
#include "settings/startup_registration.h"

// After <windows.h> (through platform_support.h), which it needs.
#include <shlobj.h>

namespace vt::test {
namespace {

using win32::FromHkey;
using win32::Win32Platform;

class Win32PlatformTest : public ::testing::Test {
  protected:
    Win32Platform platform{::GetModuleHandleA(nullptr)};
};

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof(text), "U+%04X", value);
    return text;
}

// --- Text ------------------------------------------------------------------------------------

// ANSI text as its bytes in hex, "41 3F".
std::string Bytes(const std::string& ansi) {
    std::string text;
    for (char c : ansi) {
        char byte[4];
        std::snprintf(byte, sizeof(byte), "%02X", static_cast<unsigned char>(c));
        text += text.empty() ? "" : " ";
        text += byte;
    }
    return text.empty() ? "nothing" : text;
}

// The simulated platform's text, wherever it knows an answer: each character of the code page,
// and beyond it each best fit and each capital it gives.
TEST_F(Win32PlatformTest, CodePage1252MatchesTheSimulatedPlatform) {
    ASSERT_EQ(::GetACP(), 1252u) << "the Wine prefix is expected to use the Western code page";
    const sim::SimPlatform sim;
    std::ostringstream differences;
    for (int byte = 1; byte < 256; ++byte) {
        const std::string ansi(1, static_cast<char>(byte));
        const std::wstring wide = platform.AnsiToUnicode(ansi);
        ASSERT_EQ(wide.size(), 1u) << "byte " << byte;
        if (sim.AnsiToUnicode(ansi) != wide) {
            differences << " byte " << byte << " converts differently;";
        }
        EXPECT_EQ(platform.UnicodeToAnsi(wide), ansi) << "byte " << byte;
        const std::wstring windowsUpper = platform.UpperCase(wide);
        const std::wstring simUpper = sim.UpperCase(wide);
        if (windowsUpper != simUpper) {
            differences << " " << Hex(wide[0]) << " upper-cases to "
                        << Hex(windowsUpper.empty() ? 0 : windowsUpper[0]) << " on Windows, "
                        << Hex(simUpper.empty() ? 0 : simUpper[0]) << " on sim;";
        }
    }
    // Every character of the BMP but surrogates: where the sim gives a best fit rather than '?',
    // or a capital, it is the one Windows gives.
    for (unsigned code = 1; code <= 0xFFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        const std::wstring wide(1, static_cast<wchar_t>(code));
        const std::string windowsAnsi = platform.UnicodeToAnsi(wide);
        const std::string simAnsi = sim.UnicodeToAnsi(wide);
        if (simAnsi != "?" && windowsAnsi != simAnsi) {
            differences << " " << Hex(code) << " becomes " << Bytes(windowsAnsi) << " on Windows, "
                        << Bytes(simAnsi) << " on sim;";
        }
        const std::wstring simUpper = sim.UpperCase(wide);
        if (simUpper != wide && platform.UpperCase(wide) != simUpper) {
            differences << " " << Hex(code) << " upper-cases to " << Hex(simUpper[0])
                        << " on sim only;";
        }
    }
    EXPECT_TRUE(differences.str().empty()) << differences.str();
}

TEST_F(Win32PlatformTest, TextConversionsOfEmptyAndUnmappableText) {
    EXPECT_EQ(platform.AnsiToUnicode(""), L"");
    EXPECT_EQ(platform.UnicodeToAnsi(L""), "");
    EXPECT_EQ(platform.UpperCase(L""), L"");
    // Letters the code page has no room for become the default character, one each.
    EXPECT_EQ(platform.UnicodeToAnsi(L"a\u65E5\u672Cb"), "a??b");
    EXPECT_EQ(platform.UnicodeToAnsi(L"a\U0001F600b"), "a??b");  // one '?' per UTF-16 unit
    EXPECT_EQ(platform.UpperCase(L"stra\u00DFe \u00FF\u00E9"), L"STRA\u00DFE \u0178\u00C9");
    const std::wstring longText(100000, L'\u00E4');
    EXPECT_EQ(platform.UpperCase(longText), std::wstring(100000, L'\u00C4'));
}

// --- Errors ----------------------------------------------------------------------------------

TEST(Win32Errors, AFailedCallIsAnErrorWithANumberAndTheSystemsReason) {
    const auto raised = [](DWORD code) {
        ::SetLastError(code);
        try {
            win32::ThrowLastError(L"The list could not be read");
        } catch (const AppError& error) {
            return error;
        }
        return AppError(0, "", L"nothing raised");
    };
    const AppError denied = raised(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.Number(), static_cast<std::int32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(denied.Description(),
              L"The list could not be read: " + win32::SystemMessage(ERROR_ACCESS_DENIED));
    EXPECT_EQ(win32::SystemMessage(ERROR_ACCESS_DENIED).find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_EQ(win32::SystemMessage(0x2FFFFFFF), L"Windows error 805306367");
    // A call that failed without saying why is an error all the same: its number is never 0.
    const AppError silent = raised(0);
    EXPECT_NE(silent.Number(), 0);
    EXPECT_EQ(silent.Description(), L"The list could not be read");
}

// --- Window system ---------------------------------------------------------------------------

TEST_F(Win32PlatformTest, EnumWindowsReportsEveryWindowUntilTheCallbackStops) {
    const TestWindow hidden(UniqueName("VintrellEnumHidden"));
    struct Found {
        Hwnd wanted;
        int calls = 0;
        bool seen = false;
    } found{hidden.Handle32()};
    const auto collect = [](Hwnd hWnd, LParam lParam) noexcept -> Bool32 {
        auto& state = *reinterpret_cast<Found*>(lParam);
        ++state.calls;
        state.seen = state.seen || hWnd == state.wanted;
        return 1;
    };
    platform.EnumWindows(collect, reinterpret_cast<LParam>(&found));
    EXPECT_TRUE(found.seen) << "a hidden top-level window of this process was not reported";
    ASSERT_GT(found.calls, 1);

    int calls = 0;
    const auto stopAtOnce = [](Hwnd, LParam lParam) noexcept -> Bool32 {
        ++*reinterpret_cast<int*>(lParam);
        return 0;
    };
    platform.EnumWindows(stopAtOnce, reinterpret_cast<LParam>(&calls));
    EXPECT_EQ(calls, 1);
}

TEST_F(Win32PlatformTest, TitleAndCloseRequestThroughTheSeam) {
    const std::string title = "VintrellTitle-" + std::string(60, 'x');
    TestWindow window(title);
    char buffer[50] = {};
    EXPECT_EQ(platform.GetWindowTextA(window.Handle32(), buffer, 50), 49);
    EXPECT_EQ(std::string(buffer), title.substr(0, 49));

    // A window of this thread handles it within the call, and the callback runs right after.
    std::vector<Hwnd> answered;
    const auto record = [](Hwnd hWnd, UInt msg, std::uintptr_t data, LResult) {
        EXPECT_EQ(msg, WM_CLOSE);
        reinterpret_cast<std::vector<Hwnd>*>(data)->push_back(hWnd);
    };
    const auto data = reinterpret_cast<std::uintptr_t>(&answered);
    EXPECT_NE(platform.SendMessageCallbackA(window.Handle32(), WM_CLOSE, 0, 0, record, data), 0);
    EXPECT_EQ(window.CloseRequests(), 1);
    EXPECT_TRUE(window.Destroyed());
    EXPECT_EQ(answered, std::vector<Hwnd>{window.Handle32()});
    EXPECT_EQ(platform.GetWindowTextA(window.Handle32(), buffer, 50), 0);
    // A window that is gone: refused, and nothing is left to call back.
    EXPECT_EQ(platform.SendMessageCallbackA(window.Handle32(), WM_CLOSE, 0, 0, record, data), 0);
    PumpMessages();
    EXPECT_EQ(answered.size(), 1u);
}

// The subclass procedure of the next test and what it saw.
struct Subclass {
    WndProc saved = nullptr;
    UInt registered = 0;
    int registeredSeen = 0;
    Win32Platform* platform = nullptr;
};
Subclass subclass;

LResult VT_CALLBACK SubclassProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    if (msg == subclass.registered && wParam == 42) {
        ++subclass.registeredSeen;
        return 0;
    }
    return subclass.platform->CallWindowProcA(subclass.saved, hWnd, msg, wParam, lParam);
}

TEST_F(Win32PlatformTest, SubclassingPostingAndRegisteredMessages) {
    const TestWindow window(UniqueName("VintrellSubclass"), true);
    subclass = Subclass{};
    subclass.platform = &platform;
    subclass.registered = platform.RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(subclass.registered, 0u);
    EXPECT_EQ(subclass.registered, ::RegisterWindowMessageA("TaskbarCreated"));

    subclass.saved = platform.SetWindowLongA(window.Handle32(), GWL_WNDPROC, &SubclassProc);
    ASSERT_NE(subclass.saved, nullptr);
    ASSERT_NE(platform.PostMessageA(window.Handle32(), subclass.registered, 42, 0), 0);
    PumpMessages();
    EXPECT_EQ(subclass.registeredSeen, 1);
    // What the subclass does not handle reaches the window's own procedure.
    ::SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.CloseRequests(), 1);

    // Restoring the saved procedure takes the subclass off.
    EXPECT_EQ(platform.SetWindowLongA(window.Handle32(), GWL_WNDPROC, subclass.saved),
              &SubclassProc);
    ASSERT_NE(platform.PostMessageA(window.Handle32(), subclass.registered, 42, 0), 0);
    PumpMessages();
    EXPECT_EQ(subclass.registeredSeen, 1);
    ::SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.CloseRequests(), 2);
}

TEST_F(Win32PlatformTest, NotificationIconIsAddedChangedAndDeletedByWindowAndId) {
    const TestWindow window(UniqueName("VintrellTray"));
    NotifyIconDataA record;
    record.cbSize = sizeof(record);
    record.hWnd = window.Handle32();
    record.uID = 0;
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    record.uCallbackMessage = 2025;
    record.hIcon = static_cast<Hicon>(
        reinterpret_cast<std::uintptr_t>(::LoadIconA(nullptr, MAKEINTRESOURCEA(32512))));
    ASSERT_NE(platform.Shell_NotifyIconA(NIM_ADD, &record), 0);
    std::memcpy(record.szTip, "Right-click here to access the menu", 36);
    record.uFlags = NIF_TIP;
    EXPECT_NE(platform.Shell_NotifyIconA(NIM_MODIFY, &record), 0);
    // The icon is known by its window and id: another window's icon 0 is not this one.
    const TestWindow other(UniqueName("VintrellTrayOther"));
    NotifyIconDataA otherRecord = record;
    otherRecord.hWnd = other.Handle32();
    otherRecord.uFlags = 0;
    EXPECT_EQ(platform.Shell_NotifyIconA(NIM_DELETE, &otherRecord), 0);
    record.uFlags = 0;
    EXPECT_NE(platform.Shell_NotifyIconA(NIM_DELETE, &record), 0);
    EXPECT_EQ(platform.Shell_NotifyIconA(NIM_DELETE, &record), 0) << "the icon is still there";
    record.uFlags = NIF_TIP;
    EXPECT_EQ(platform.Shell_NotifyIconA(NIM_MODIFY, &record), 0);
}

// --- Files, shell, clock and chance --------------------------------------------------------------

std::wstring TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
    return std::wstring(path, length);
}

TEST_F(Win32PlatformTest, ExecutablePathAndFileExistence) {
    const std::wstring executable = platform.ExecutablePath();
    const std::wstring name = L"\\windows_platform_tests.exe";
    ASSERT_GT(executable.size(), name.size());
    EXPECT_EQ(executable.substr(executable.size() - name.size()), name);
    EXPECT_EQ(executable[1], L':') << "not a full path";
    EXPECT_TRUE(platform.GetFileDateTime(executable));

    EXPECT_FALSE(platform.GetFileDateTime(L""));
    EXPECT_FALSE(platform.GetFileDateTime(L"C:\\no such folder\\HAND-M.CUR"));
    EXPECT_FALSE(platform.GetFileDateTime(L"C:\\bad|<name>.cur"));
    EXPECT_FALSE(platform.GetFileDateTime(L"C:\\windows\\*.exe"));
    // Cut at the NUL, the name would be the executable's.
    EXPECT_FALSE(platform.GetFileDateTime(executable + std::wstring(L"\0.missing", 9)));
    EXPECT_FALSE(platform.GetFileDateTime(L"C:\\\u65E5\u672C-missing.cur"));
}

// A folder whose name the Western code page cannot hold: "Āda Жук" becomes "Ada ???" there.
std::wstring UnicodeFolder() {
    const std::wstring folder = TempFolder() + L"vintrell-\u0100da \u0416\u0443\u043A-" +
                                std::to_wstring(::GetCurrentProcessId());
    static_cast<void>(::CreateDirectoryW(folder.c_str(), nullptr));
    return folder;
}

std::wstring ReadWholeFile(const std::wstring& path) {
    HANDLE opened =
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return L"<not written>";
    }
    const win32::KernelHandle file(opened);
    std::wstring text(4096, L'\0');
    DWORD read = 0;
    static_cast<void>(::ReadFile(file.get(), text.data(),
                                 static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
                                 nullptr));
    text.resize(read / sizeof(wchar_t));
    return text;
}

// The path as the file system spells it, not as the ANSI code page renders it; its short form
// is the one the ANSI code page can hold.
TEST_F(Win32PlatformTest, ExecutablePathOutsideTheCodePageIsTheRealOneAndHasAnAnsiShortForm) {
    const std::wstring folder = UnicodeFolder();
    const std::wstring copy = folder + L"\\copy of tests.exe";
    ASSERT_TRUE(::CopyFileW(platform.ExecutablePath().c_str(), copy.c_str(), FALSE));
    const std::wstring report = folder + L"\\path.txt";
    std::wstring commandLine = L"\"" + copy + L"\" " +
                               std::wstring(kReportPathSwitch.begin(), kReportPathSwitch.end()) +
                               L" \"" + report + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &startup, &started));
    const win32::KernelHandle process(started.hProcess);
    const win32::KernelHandle thread(started.hThread);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ASSERT_TRUE(::GetExitCodeProcess(process.get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadWholeFile(report), copy);

    const std::wstring shortPath = platform.GetShortPathNameW(copy);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_EQ(platform.AnsiToUnicode(platform.UnicodeToAnsi(shortPath)), shortPath);
    EXPECT_TRUE(platform.GetFileDateTime(shortPath));
    EXPECT_EQ(platform.GetShortPathNameW(folder + L"\\no such file.exe"), L"");

    // The cursor file beside such a program is found by its real path.
    const std::wstring cursor = folder + L"\\HAND-M.CUR";
    HANDLE created =
        ::CreateFileW(cursor.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    ::CloseHandle(created);
    EXPECT_TRUE(platform.GetFileDateTime(cursor));

    for (const std::wstring& file : {copy, report, cursor}) {
        ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(Win32PlatformTest, ShellStartsACommandLineWithoutWaiting) {
    const std::wstring marker =
        TempFolder() + L"vintrell-shell-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    static_cast<void>(::DeleteFileW(marker.c_str()));
    platform.Shell(L"cmd /c echo started> \"" + marker + L"\"", SW_SHOWMINIMIZED);
    bool appeared = false;
    for (int i = 0; i < 300 && !appeared; ++i) {
        appeared = ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!appeared) {
            ::Sleep(50);
        }
    }
    EXPECT_TRUE(appeared) << "the command line did not run";
    for (int i = 0; i < 100 && !::DeleteFileW(marker.c_str()); ++i) {
        ::Sleep(50);  // until cmd has let go of the file
    }

    for (const std::wstring& command :
         {std::wstring(L"C:\\no\\such\\program.exe"), std::wstring()}) {
        try {
            platform.Shell(command, SW_SHOWMINIMIZED);
            ADD_FAILURE() << "a command line that cannot start was reported as started";
        } catch (const AppError& error) {
            EXPECT_EQ(error.Number(), err::kFileNotFound);
            EXPECT_EQ(error.Description(), L"File not found");
        }
    }
}

// --- The DLL search and the folders of the Run key's rule ------------------------------------

// A DLL beside the program that its bare name finds without the restriction is not found with
// it: SetDefaultDllDirectories is looked up in kernel32 and takes effect.
TEST(DllSearchTest, ADllBesideTheProgramIsNotLoadedOnceTheSearchIsRestricted) {
    ASSERT_EQ(RunLoadPlantedDllProcess("open"), 0u)
        << "the DLL beside the test binary is not found even without the restriction";
    EXPECT_EQ(RunLoadPlantedDllProcess("restricted"), 1u);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The machine's record of its Program Files folders, read as the Run key's rule reads it.
std::wstring ProgramFilesValue(Win32Platform& platform, const wchar_t* name) {
    const RegKey key = RegKey::Open(platform, FromHkey(HKEY_LOCAL_MACHINE),
                                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                    KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    UInt type = 0;
    std::wstring folder;
    if (!key.IsOpen() ||
        platform.RegQueryValueExW(key.Get(), name, &type, &folder) != ERROR_SUCCESS ||
        type != REG_SZ || folder.empty() || folder.back() != L'\0') {
        ADD_FAILURE() << "no REG_SZ value " << Narrow(name);
        return {};
    }
    folder.pop_back();
    return folder;
}

TEST_F(Win32PlatformTest, TheProgramFilesAndWindowsFoldersAndTheirLongForms) {
    const std::wstring programFiles = ProgramFilesValue(platform, L"ProgramFilesDir");
    const std::wstring x86 = ProgramFilesValue(platform, L"ProgramFilesDir (x86)");
    const std::wstring windows = platform.GetSystemWindowsDirectoryW();
    for (const std::wstring& folder : {programFiles, x86, windows}) {
        ASSERT_GT(folder.size(), 3u);
        EXPECT_EQ(folder[1], L':') << Narrow(folder);
        EXPECT_NE(folder.back(), L'\\') << Narrow(folder);
        EXPECT_TRUE(IsFolder(folder)) << Narrow(folder);
    }
    // The 64-bit view, whichever build reads it: the two folders apart. (Wine's prefix has no
    // ProgramW6432Dir in that view.)
    EXPECT_NE(programFiles, x86);
    if constexpr (sizeof(void*) == 8) {
        wchar_t own[MAX_PATH] = {};
        ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, own, CSIDL_PROGRAM_FILES, FALSE));
        EXPECT_EQ(programFiles, own) << "the folder that Windows gives a 64-bit program";
    }
    EXPECT_NE(::GetFileAttributesW((windows + L"\\explorer.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RegStuff::InAdministratorsFolder(platform, platform, programFiles + L"\\V\\V.exe"));
    EXPECT_TRUE(RegStuff::InAdministratorsFolder(platform, platform, x86 + L"\\V\\V.exe"));
    EXPECT_FALSE(RegStuff::InAdministratorsFolder(platform, platform, windows + L"\\Temp\\V.exe"));

    // A short name and the long one it stands for.
    const std::wstring shortForm = platform.GetShortPathNameW(programFiles);
    ASSERT_FALSE(shortForm.empty());
    EXPECT_EQ(platform.GetLongPathNameW(shortForm), programFiles);
    EXPECT_EQ(platform.GetLongPathNameW(shortForm + L"\\"), programFiles + L"\\");
    EXPECT_EQ(platform.GetLongPathNameW(programFiles + L"\\no such folder\\Vintrell.exe"), L"");
}

TEST_F(Win32PlatformTest, SecondsSinceMidnightIsLocalTime) {
    const std::time_t now = std::time(nullptr);
    const std::tm local = *std::localtime(&now);
    const double expected = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    const double seconds = platform.SecondsSinceMidnight();
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 86400.0);
    double difference = seconds - expected;
    if (difference < -43200) {
        difference += 86400;  // midnight passed between the two readings
    }
    EXPECT_NEAR(difference, 0.0, 2.0);
}

}  // namespace
}  // namespace vt::test
