// The probe's commands: reports, waits for a state, and programs started and timed.

#include "probe.h"

#include <commctrl.h>

#include <algorithm>

namespace e2e {
namespace {

// Polls until the predicate holds or the time is up; true when it held.
template <typename Predicate>
bool PollUntil(int timeoutMs, Predicate predicate) {
    const e2e::Stopwatch clock;
    while (true) {
        if (predicate()) {
            return true;
        }
        if (clock.Milliseconds() >= timeoutMs) {
            return false;
        }
        Sleep(10);
    }
}

int WaitMain(const std::string& state, int timeoutMs) {
    const bool reached = PollUntil(timeoutMs, [&] {
        HWND main = FindMainWindow();
        if (state == "visible") {
            return main != nullptr && IsWindowVisible(main) && TextOf(main) == "Vintrell";
        }
        if (state == "hidden") {
            return main != nullptr && !IsWindowVisible(main);
        }
        if (state == "exists") {
            return main != nullptr;
        }
        return ProcessesNamed(ProgramName()).empty();  // "gone"
    });
    Put("wait.reached", reached ? 1 : 0);
    ReportMain(FindMainWindow());
    return reached ? 0 : 1;
}

UniqueHandle Launch(const std::string& commandLine, DWORD* processId) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string mutableLine = commandLine;
    if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        Put("launch.error", static_cast<long long>(GetLastError()));
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    *processId = info.dwProcessId;
    return UniqueHandle(info.hProcess);
}

// Starts a program once per run and times its window whose title contains the given text:
// when it first shows and when it is gone. Each run ends as "closed", "closed_before_shown"
// (the program ended before its window was ever seen shown) or "open" (still there at the
// timeout; the program is then ended).
int LaunchWatch(int timeoutMs, int runs, const std::string& titlePart,
                const std::string& commandLine) {
    const std::string wanted = Lower(titlePart);
    int closedRuns = 0;
    for (int run = 1; run <= runs; ++run) {
        const std::string key = "run." + std::to_string(run);
        DWORD processId = 0;
        UniqueHandle process = Launch(commandLine, &processId);
        if (!process) {
            return 2;
        }
        const e2e::Stopwatch clock;
        HWND seen = nullptr;
        long long appearedAt = -1;
        long long goneAt = -1;
        bool ended = false;
        while (clock.Milliseconds() < timeoutMs) {
            if (seen == nullptr) {
                for (HWND window : TopLevelWindows()) {
                    if (ProcessOf(window) == processId && IsWindowVisible(window) &&
                        Lower(TextOf(window)).find(wanted) != std::string::npos) {
                        seen = window;
                        appearedAt = clock.Milliseconds();
                        break;
                    }
                }
                if (seen == nullptr && WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
                    ended = true;
                    break;
                }
            } else if (!IsWindow(seen) || !IsWindowVisible(seen)) {
                goneAt = clock.Milliseconds();
                break;
            }
            Sleep(1);
        }
        Put(key + ".appeared_ms", appearedAt);
        if (goneAt >= 0 || ended) {
            ++closedRuns;
            Put(key + ".result", ended ? "closed_before_shown" : "closed");
            Put(key + ".closed_after_ms", ended ? 0 : goneAt - appearedAt);
            DWORD code = STILL_ACTIVE;
            WaitForSingleObject(process.get(), 3000);
            GetExitCodeProcess(process.get(), &code);
            Put(key + ".exit_code", code);
        } else {
            Put(key + ".result", "open");
            Put(key + ".closed_after_ms", -1);
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 3000);
        }
    }
    Put("runs.closed", closedRuns);
    return 0;
}

// Starts Vintrell and watches its main window from the first moment on.
int LaunchMain(int watchMs, const std::string& commandLine) {
    DWORD processId = 0;
    UniqueHandle process = Launch(commandLine, &processId);
    if (!process) {
        return 2;
    }
    const e2e::Stopwatch clock;
    bool everFound = false;
    bool everVisible = false;
    while (clock.Milliseconds() < watchMs) {
        for (HWND window : TopLevelWindows()) {
            if (ProcessOf(window) == processId && IsMainWindowCandidate(window)) {
                everFound = true;
                everVisible = everVisible || IsWindowVisible(window);
            }
        }
        Sleep(2);
    }
    Put("watch.found", everFound ? 1 : 0);
    Put("watch.ever_visible", everVisible ? 1 : 0);
    ReportMain(FindMainWindow());
    return 0;
}

int Kill(int argc, char** argv) {
    int killed = 0;
    for (int i = 2; i < argc; ++i) {
        for (DWORD id : ProcessesNamed(argv[i])) {
            UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
            if (process && TerminateProcess(process.get(), 1)) {
                WaitForSingleObject(process.get(), 3000);
                ++killed;
            }
        }
    }
    Put("killed", killed);
    return 0;
}

int Usage() {
    Emit(
        "usage: probe list | layout | main | dialogs | menus | tray | wait-tip MS | wait-main "
        "visible|hidden|exists|gone MS | wait-dialog MS | wait-menu MS | wait-tray 0|1 MS | "
        "launch-watch MS RUNS TITLE CMDLINE | launch-main MS CMDLINE | kill NAME... | "
        "count NAME");
    return 2;
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
    using namespace e2e;
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    const auto number = [&](int index, int fallback) {
        return e2e::ArgumentAsInt(index < argc ? argv[index] : nullptr, fallback);
    };
    if (command == "list") {
        ReportAllWindows();
    } else if (command == "layout") {
        ReportLayout();
    } else if (command == "main") {
        HWND main = FindMainWindow();
        ReportMain(main);
        return main != nullptr ? 0 : 1;
    } else if (command == "wait-main" && argc >= 4) {
        return WaitMain(argv[2], number(3, 5000));
    } else if (command == "dialogs") {
        ReportDialogs();
    } else if (command == "wait-dialog") {
        const bool found = PollUntil(number(2, 5000), AnyDialogShown);
        ReportDialogs();
        return found ? 0 : 1;
    } else if (command == "menus") {
        ReportMenus();
    } else if (command == "wait-menu") {
        const bool found = PollUntil(number(2, 5000), [] {
            HWND menu = FindWindowA("#32768", nullptr);
            return menu != nullptr && IsWindowVisible(menu);
        });
        ReportMenus();
        return found ? 0 : 1;
    } else if (command == "wait-tip") {
        const bool shown = PollUntil(number(2, 5000), [] {
            for (HWND window : TopLevelWindows()) {
                if (ClassOf(window) == TOOLTIPS_CLASSA && IsWindowVisible(window)) {
                    return true;
                }
            }
            return false;
        });
        ReportTips();
        return shown ? 0 : 1;
    } else if (command == "tray") {
        ReportTray();
    } else if (command == "wait-tray" && argc >= 4) {
        const bool wantVisible = number(2, 1) != 0;
        const bool reached = PollUntil(number(3, 5000), [&] {
            HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
            return (tray != nullptr && IsWindowVisible(tray)) == wantVisible;
        });
        ReportTray();
        return reached ? 0 : 1;
    } else if (command == "launch-watch" && argc >= 6) {
        return LaunchWatch(number(2, 3000), number(3, 1), argv[4], argv[5]);
    } else if (command == "launch-main" && argc >= 4) {
        return LaunchMain(number(2, 3000), argv[3]);
    } else if (command == "kill") {
        return Kill(argc, argv);
    } else if (command == "count" && argc >= 3) {
        Put("count", static_cast<long long>(ProcessesNamed(argv[2]).size()));
    } else {
        return Usage();
    }
    return 0;
}
