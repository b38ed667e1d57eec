// The processes the Windows tests start: test_window's windows, and this test binary again
// in one of its roles (platform_main.cpp).
#include "tests/windows/platform_support.h"

#include <shellapi.h>

#include "app/main_module.h"
#include "app/single_instance.h"

namespace vt::test {

namespace {

// Starts `executable` with `arguments`; its process, empty when it could not start.
win32::KernelHandle StartProgram(const std::string& executable, const std::string& arguments) {
    std::string commandLine = "\"";
    commandLine.append(executable).append("\" ").append(arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &started)) {
        return {};
    }
    const win32::KernelHandle thread(started.hThread);
    return win32::KernelHandle(started.hProcess);
}

std::string TestBinary() {
    char executable[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, executable, sizeof(executable));
    return length == 0 || length >= sizeof(executable) ? std::string() : executable;
}

// Starts this test binary again with `arguments`.
win32::KernelHandle StartTestBinary(const std::string& arguments) {
    const std::string executable = TestBinary();
    return executable.empty() ? win32::KernelHandle() : StartProgram(executable, arguments);
}

// Starts test_window, which the build puts beside the test binary, with `arguments`.
win32::KernelHandle StartTestWindow(const std::string& arguments) {
    const std::string binary = TestBinary();
    const std::size_t folder = binary.find_last_of('\\');
    return folder == std::string::npos
               ? win32::KernelHandle()
               : StartProgram(binary.substr(0, folder + 1) + "test_window.exe", arguments);
}

struct MessageBoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<MessageBoxSearch*>(lParam);
    DWORD owner = 0;
    char className[16] = {};
    static_cast<void>(::GetWindowThreadProcessId(window, &owner));
    if (owner == search.processId && ::IsWindowVisible(window) &&
        ::GetClassNameA(window, className, sizeof(className)) > 0 &&
        std::string_view(className) == "#32770") {
        search.box = window;
        return FALSE;
    }
    return TRUE;
}

// A visible message box (class #32770) of the process; null when it shows none.
HWND VisibleMessageBoxOf(DWORD processId) {
    MessageBoxSearch search{processId, nullptr};
    static_cast<void>(::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search)));
    return search.box;
}

// What a message box says: the texts of its static controls (its icon has none).
std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        wchar_t childText[512] = {};
        if (::GetClassNameA(child, className, sizeof(className)) > 0 &&
            std::string_view(className) == "Static" &&
            ::GetWindowTextW(child, childText, 512) > 0) {
            text += childText;
        }
    }
    return text;
}

}  // namespace

win32::KernelHandle StartWindowsUnderADecliningOne(const std::string& title, DWORD waitMs) {
    win32::KernelHandle process =
        StartTestWindow("burst \"" + title + "\" 2 " + std::to_string(waitMs) +
                        " --under-a-declining-one --hidden");
    for (int wait = 0; process && wait < 500; ++wait) {
        if (::FindWindowA(targets::kWindowClass, title.c_str()) != nullptr) {
            ::Sleep(100);  // the process has made the others too
            return process;
        }
        ::Sleep(20);
    }
    return {};
}

DWORD RunClosableWindowProcess(const std::string& title, DWORD waitMs) {
    const win32::KernelHandle process =
        StartTestWindow("burst \"" + title + "\" 1 " + std::to_string(waitMs) + " --hidden");
    if (!process) {
        return 101;
    }
    const HANDLE waitFor = process.get();
    const DWORD start = ::GetTickCount();
    while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, 10, QS_ALLINPUT & ~QS_TIMER) !=
           WAIT_OBJECT_0) {
        if (::GetTickCount() - start > waitMs + 30000) {
            static_cast<void>(::TerminateProcess(process.get(), 102));
            break;
        }
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
               ::PeekMessageA(&message, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

int LoadPlantedDll(std::string_view mode) {
    if (mode == "restricted") {
        win32::Win32SystemServices system;
        Main::RestrictDllSearch(system);
    } else if (mode != "open") {
        return 2;
    }
    const HMODULE planted = ::LoadLibraryW(kPlantedDll);
    if (planted == nullptr) {
        return 1;
    }
    static_cast<void>(::FreeLibrary(planted));
    return 0;
}

DWORD RunLoadPlantedDllProcess(std::string_view mode) {
    std::string arguments;
    arguments.append(kLoadPlantedDllSwitch).append(" ");
    arguments.append(mode);
    const win32::KernelHandle process = StartTestBinary(arguments);
    if (!process) {
        return 101;
    }
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        static_cast<void>(::TerminateProcess(process.get(), 102));
        return 102;
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

int ReportExecutablePath() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        return 2;
    }
    const std::wstring out = argv[2];
    ::LocalFree(argv);
    const std::wstring path = win32::Win32Platform(::GetModuleHandleW(nullptr)).ExecutablePath();
    HANDLE created =
        ::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const win32::KernelHandle file(created);
    DWORD written = 0;
    const auto bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    return ::WriteFile(file.get(), path.data(), bytes, &written, nullptr) && written == bytes ? 0
                                                                                              : 4;
}

int RunSecondStart() {
    win32::Win32Platform platform(::GetModuleHandleA(nullptr));
    SingleInstance session(platform);
    return session.HandOverToRunningCopy() ? 0 : static_cast<int>(kSecondStartWouldRun);
}

DWORD RunSecondStartProcess(DWORD waitMs, std::wstring* shownText) {
    std::string arguments;
    arguments.append(kSecondStartSwitch);
    const win32::KernelHandle process = StartTestBinary(arguments);
    if (!process) {
        return 101;
    }
    const DWORD start = ::GetTickCount();
    while (::WaitForSingleObject(process.get(), 50) != WAIT_OBJECT_0) {
        if (::GetTickCount() - start > waitMs) {
            static_cast<void>(::TerminateProcess(process.get(), 102));
            static_cast<void>(::WaitForSingleObject(process.get(), 5000));
            return STILL_ACTIVE;
        }
        if (shownText == nullptr || !shownText->empty()) {
            continue;
        }
        if (const HWND box = VisibleMessageBoxOf(::GetProcessId(process.get()))) {
            *shownText = MessageBoxText(box);
            static_cast<void>(::PostMessageW(box, WM_COMMAND, IDOK, 0));
        }
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

HungWindowProcess::HungWindowProcess(const std::string& title, bool asks) {
    const std::string stem = UniqueName("VintrellHungWindow");
    const std::string readyName = stem + "-ready";
    const std::string releaseName = stem + "-release";
    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!ready_ || !release_) {
        return;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lifetime).count();
    process_ = StartTestWindow(std::string(asks ? "ask" : "hang") + " \"" + title + "\" " +
                               std::to_string(seconds) + " --hidden --ready " + readyName +
                               " --release " + releaseName);
    if (!process_) {
        return;
    }
    if (::WaitForSingleObject(ready_.get(), 30000) != WAIT_OBJECT_0) {
        return;
    }
    window_ = ::FindWindowA(targets::kWindowClass, title.c_str());
}

HungWindowProcess::CloseRequests HungWindowProcess::ReleaseAndCountCloseRequests() {
    if (!release_ || !process_ || !::SetEvent(release_.get()) ||
        ::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
        return {};
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process_.get(), &exitCode) || exitCode < targets::kAskedExitBase) {
        return {};
    }
    const int counts = static_cast<int>(exitCode) - targets::kAskedExitBase;
    return {counts % targets::kCancelledStep, counts / targets::kCancelledStep};
}

HungWindowProcess::~HungWindowProcess() {
    if (release_) {
        static_cast<void>(::SetEvent(release_.get()));
    }
    if (process_ && ::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
        static_cast<void>(::TerminateProcess(process_.get(), 1));
    }
}

}  // namespace vt::test
