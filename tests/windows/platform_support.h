#pragma once

// Helpers of the Windows platform tests: windows of the test's own, a window in another process
// whose thread has stopped, registry clean-up and a message pump.
#include "platform/win32/win32_platform.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/win32/handles.h"
#include "settings/settings.h"
#include "tests/targets/target_window.h"

namespace vt::test {

// Run from a copy of the test binary: writes what Win32Platform::ExecutablePath reports, as
// UTF-16, to the file named by the argument (UTF-16, from the wide command line).
inline constexpr std::string_view kReportPathSwitch = "--report-executable-path";
int ReportExecutablePath();

// Windows of another process, made by the program test_window beside the test binary: two
// that close when asked, titled so, under a third of their thread that declines every request.
// Starts that process and returns it once its windows show (it exits 0 once the two are gone,
// 1 when `waitMs` pass first); empty when they do not.
win32::KernelHandle StartWindowsUnderADecliningOne(const std::string& title, DWORD waitMs);
// One window of another process that closes when asked, titled so when created: runs that
// process and waits for it, taking every message of this thread but WM_TIMER, so that no sweep
// runs meanwhile; its exit code: 0 once the window is gone, 1 when `waitMs` pass first.
DWORD RunClosableWindowProcess(const std::string& title, DWORD waitMs);

// --load-planted-dll restricted|open: loads kPlantedDll, which lies beside the test binary, by
// its bare name, after the program's DLL search restriction or without it; exits 0 when it
// loaded, 1 when it was not found, 2 on a wrong argument.
inline constexpr std::string_view kLoadPlantedDllSwitch = "--load-planted-dll";
inline constexpr const wchar_t* kPlantedDll = L"vintrell_planted.dll";
int LoadPlantedDll(std::string_view mode);
// Runs that process and waits for it; its exit code.
DWORD RunLoadPlantedDllProcess(std::string_view mode);
// --second-start: a start of the program that finds the copy running in the session and hands
// over to it, as the program's entry does; exits 0 once it has, kSecondStartWouldRun when no
// other copy holds the session and this start would run on.
inline constexpr std::string_view kSecondStartSwitch = "--second-start";
inline constexpr DWORD kSecondStartWouldRun = 3;
int RunSecondStart();
// Runs that process and waits for it without taking any message of this thread, as a copy that
// has stopped answering; its exit code, or STILL_ACTIVE when it was still running after
// `waitMs` (it is then ended). With `shownText`, a message box the process shows is answered
// with OK, and its text kept there.
DWORD RunSecondStartProcess(DWORD waitMs, std::wstring* shownText = nullptr);

// A left click at a point of the screen, through the system's input queue as a person's.
void ClickAt(POINT screen);

// Dispatches what is waiting in this thread's queue.
void PumpMessages();

// A hidden top-level window of this thread that counts its close requests and either closes
// (the default window procedure destroys it) or declines.
class TestWindow {
  public:
    explicit TestWindow(const std::string& title, bool declinesClose = false);
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow();

    HWND Handle() const { return window_->handle; }
    Hwnd Handle32() const { return win32::FromHwnd(window_->handle); }
    int CloseRequests() const { return window_->closeRequests; }
    bool Destroyed() const { return window_->goneMs > 0.0; }

  private:
    std::unique_ptr<targets::TargetWindow> window_;
};

// A window of another process (test_window's) that does not answer a close request until the
// test releases it, or for at most `lifetime`: hung (its thread pumps nothing) or asking (every
// WM_CLOSE opens a modal question titled like it, whose loop takes the next WM_CLOSE too and
// opens another; a WM_CLOSE to the question's box cancels it).
class HungWindowProcess {
  public:
    explicit HungWindowProcess(const std::string& title, bool asks = false);
    HungWindowProcess(const HungWindowProcess&) = delete;
    HungWindowProcess& operator=(const HungWindowProcess&) = delete;
    ~HungWindowProcess();

    HWND Handle() const { return window_; }  // null when the process did not come up
    // Releases the process and waits for it: the WM_CLOSE an asking window received, and
    // those its question's box received; -1 each when the process did not say.
    struct CloseRequests {
        int window = -1;
        int box = -1;
    };
    CloseRequests ReleaseAndCountCloseRequests();

    static constexpr std::chrono::seconds lifetime{20};

  private:
    win32::KernelHandle ready_;
    win32::KernelHandle release_;
    win32::KernelHandle process_;
    HWND window_ = nullptr;
};

// The real platform with the few seams a test must hold: message boxes are recorded and
// answered instead of shown, and the executable's path, the time of day and the machine-wide
// registry's write access can be set.
// The settings store over the real registry; absent values read as kAbsent.
inline constexpr std::wstring_view kAbsent = L"<absent>";
inline std::wstring GetSetting(win32::Win32Platform& platform, std::wstring_view app,
                               std::wstring_view section, std::wstring_view key) {
    return ReadSetting({platform, platform, platform}, app, section, key, kAbsent);
}
inline void SaveSetting(win32::Win32Platform& platform, std::wstring_view app,
                        std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    WriteSetting({platform, platform, platform}, app, section, key, value);
}

class TestPlatform final : public win32::Win32Platform {
  public:
    TestPlatform() : Win32Platform(::GetModuleHandleA(nullptr)) {}

    struct Shown {
        std::wstring text;
        UInt style;
        std::wstring caption;
    };
    std::vector<Shown> messages;
    std::optional<std::wstring> executablePath;
    std::optional<double> secondsSinceMidnight;
    bool refuseMachineWrites = false;  // as for a process that is not elevated
    // The test's own windows stand for other programs' windows (the program leaves its own
    // alone) unless this is cleared.
    bool ownWindowsAreOthers = true;

    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    std::wstring ExecutablePath() override;
    double SecondsSinceMidnight() override;
    UInt GetCurrentProcessId() override;
    std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                               Hkey* result) override;
};

// Puts the values of a key under HKEY_CURRENT_USER back as they were, or removes the key when
// it did not exist: the tests that run the program's handlers write its real settings.
class RegistryBackup {
  public:
    RegistryBackup(std::wstring subKey, std::vector<std::wstring> names);
    RegistryBackup(const RegistryBackup&) = delete;
    RegistryBackup& operator=(const RegistryBackup&) = delete;
    ~RegistryBackup();

  private:
    struct Saved {
        std::wstring name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::wstring subKey_;
    bool existed_ = false;
    std::vector<Saved> saved_;
};

// Deletes a key under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE with everything below it.
void DeleteKeyTree(HKEY root, const std::wstring& subKey);

// A value under root\subKey as REG_SZ text, or nothing when absent.
bool ReadStringValue(HKEY root, const char* subKey, const char* name, std::string* data);

// A name no other run of the tests uses.
std::string UniqueName(std::string_view stem);

// The tests' own names and paths are ASCII: they widen and narrow character by character.
inline std::wstring Wide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}
inline std::string Narrow(std::wstring_view ascii) {
    return std::string(ascii.begin(), ascii.end());
}

}  // namespace vt::test
