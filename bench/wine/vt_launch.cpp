// Times a program's start-up from CreateProcess: to its first window, to its window titled
// TITLE becoming visible, or to that window's notification-area icon; then closes it.
//   vt_launch --exe PATH --title TITLE [--args ARGS] [--until visible|tray] [--runs 10]
// Prints one CSV line per run.

#include <cstdio>
#include <exception>

#include "probe_util.h"

namespace {

constexpr UINT kTrayIconId = 0;
constexpr double kTimeoutMs = 20000.0;

struct Run {
    double firstWindowMs = -1.0;  // any top-level window of the process
    double titledMs = -1.0;       // the window titled TITLE exists
    double readyMs = -1.0;        // visible, or its tray icon present
    bool everVisible = false;
};

HWND AnyWindowOf(DWORD processId) {
    for (HWND window : probe::TopLevelWindows()) {
        if (probe::WindowProcessId(window) == processId) {
            return window;
        }
    }
    return nullptr;
}

void Close(const PROCESS_INFORMATION& process, HWND window) {
    if (window != nullptr) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) {
        static_cast<void>(TerminateProcess(process.hProcess, 1));
        static_cast<void>(WaitForSingleObject(process.hProcess, 5000));
    }
}

Run LaunchOnce(const probe::Clock& clock, const std::string& exe, const std::string& arguments,
               const std::string& title, bool untilTray) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) {
        commandLine += ' ';
        commandLine += arguments;
    }
    const double start = clock.NowMs();
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        probe::Fail("CreateProcessA " + exe);
    }
    probe::UniqueHandle processHandle(process.hProcess);
    probe::UniqueHandle threadHandle(process.hThread);

    Run run;
    HWND window = nullptr;
    while (run.readyMs < 0) {
        const double now = clock.NowMs() - start;
        if (now > kTimeoutMs) {
            Close(process, window);
            throw std::runtime_error("timed out waiting for " + exe);
        }
        if (run.firstWindowMs < 0 && AnyWindowOf(process.dwProcessId) != nullptr) {
            run.firstWindowMs = now;
        }
        if (window == nullptr) {
            window = probe::FindTopLevel(title, process.dwProcessId);
            if (window != nullptr) {
                run.titledMs = now;
                run.firstWindowMs = run.firstWindowMs < 0 ? now : run.firstWindowMs;
            }
        }
        if (window != nullptr) {
            const bool visible = IsWindowVisible(window) != FALSE;
            run.everVisible = run.everVisible || visible;
            const bool ready = untilTray ? probe::TrayIconPresent(window, kTrayIconId) : visible;
            if (ready) {
                run.readyMs = clock.NowMs() - start;
                break;
            }
        }
        Sleep(1);
    }
    if (untilTray) {
        // The window must stay hidden: watch it a little longer.
        const double watchUntil = clock.NowMs() + 300.0;
        while (clock.NowMs() < watchUntil) {
            run.everVisible = run.everVisible || IsWindowVisible(window) != FALSE;
            Sleep(5);
        }
    }
    Close(process, window);
    return run;
}

int Main(const probe::Args& args) {
    const std::string exe = args.Text("--exe", "");
    const std::string title = args.Text("--title", "");
    const std::string arguments = args.Text("--args", "");
    const bool untilTray = args.Text("--until", "visible") == "tray";
    const long runs = args.Number("--runs", 10);
    if (exe.empty() || title.empty() || runs <= 0) {
        std::fprintf(stderr,
                     "usage: vt_launch --exe PATH --title TITLE [--args ARGS] "
                     "[--until visible|tray] [--runs N]\n");
        return 2;
    }
    const probe::Clock clock;
    std::printf("run,first_window_ms,titled_ms,ready_ms,ever_visible\n");
    for (long i = 1; i <= runs; ++i) {
        const Run run = LaunchOnce(clock, exe, arguments, title, untilTray);
        std::printf("%ld,%.1f,%.1f,%.1f,%d\n", i, run.firstWindowMs, run.titledMs, run.readyMs,
                    run.everVisible ? 1 : 0);
        std::fflush(stdout);
        // Let the shell drop the last icon (and the taskbar with it) before the next start.
        Sleep(1000);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_launch", argc, argv, Main);
}
