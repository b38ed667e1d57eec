// Drives a running Vintrell.exe with the messages a click and the tray menu send, and counts
// what its process holds.
//   vt_driver start            click "Start Monitoring"; wait for the window to hide and the
//                              tray icon to show
//   vt_driver stop             the tray menu's "Stop Monitoring - Show Main Window"; wait for
//                              the window to show and the icon to go
//   vt_driver cycles N         N times start then stop; one CSV line per cycle
//   vt_driver counts           the process's windows, kernel handles and GDI objects
//   vt_driver live             the handles Vintrell's own owners hold, by kind (a build with
//                              VINTRELL_COUNT_HANDLES answers; any other build fails here)
//   vt_driver quit             close the main window, as its close box does
//   vt_driver wait-window MS   wait up to MS for the main window to exist

#include <array>
#include <cstdio>
#include <exception>
#include <string>

#include "process_objects.h"

namespace {

constexpr UINT kStopMonitoringCommand = 201;  // the tray menu item's id
constexpr UINT kTrayIconId = 0;
constexpr double kStateTimeoutMs = 5000.0;

struct Target {
    HWND window = nullptr;
    HWND startButton = nullptr;
    DWORD processId = 0;
};

Target FindTarget() {
    Target target;
    target.window = probe::FindVintrellWindow(&target.startButton);
    if (target.window == nullptr) {
        throw std::runtime_error("no Vintrell window with a \"Start Monitoring\" button");
    }
    target.processId = probe::WindowProcessId(target.window);
    return target;
}

bool Monitoring(const Target& target) {
    return !IsWindowVisible(target.window) && probe::TrayIconPresent(target.window, kTrayIconId);
}

bool Idle(const Target& target) {
    return IsWindowVisible(target.window) && !probe::TrayIconPresent(target.window, kTrayIconId);
}

template <typename State>
double WaitFor(const probe::Clock& clock, const Target& target, State&& state, const char* what) {
    const double start = clock.NowMs();
    for (;;) {
        if (state(target)) {
            return clock.NowMs() - start;
        }
        if (clock.NowMs() - start > kStateTimeoutMs) {
            throw std::runtime_error(std::string("timed out waiting for ") + what);
        }
        Sleep(1);
    }
}

// The kinds in the order of their numbers (vt::win32::HandleKind in platform/win32/handles.h).
constexpr std::array kHandleKinds{"windows", "menus",   "icons",         "cursors",
                                  "fonts",   "regions", "registry_keys", "kernel_handles"};

std::string LiveHandles(const Target& target) {
    const UINT message = RegisterWindowMessageA("VintrellLiveHandles");
    if (message == 0) {
        probe::Fail("RegisterWindowMessageA");
    }
    const auto ask = [&](std::size_t kind) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(target.window, message, kind, 0, SMTO_ABORTIFHUNG, 5000, &answer) ==
            0) {
            probe::Fail("no answer to VintrellLiveHandles");
        }
        return static_cast<long>(static_cast<LRESULT>(answer));
    };
    // A counting build answers -1 for a kind it does not know; the system's default, 0.
    if (ask(kHandleKinds.size()) != -1) {
        throw std::runtime_error(
            "this Vintrell.exe counts no handles: build it with -DVINTRELL_COUNT_HANDLES=ON");
    }
    std::string text;
    for (std::size_t kind = 0; kind < kHandleKinds.size(); ++kind) {
        text += kind == 0 ? "" : " ";
        text += kHandleKinds[kind];
        text += '=';
        text += std::to_string(ask(kind));
    }
    return text;
}

double Start(const probe::Clock& clock, const Target& target) {
    const double before = clock.NowMs();
    // The button's own click: the button sends BN_CLICKED to the window, as for a mouse click.
    SendMessageA(target.startButton, BM_CLICK, 0, 0);
    return (clock.NowMs() - before) + WaitFor(clock, target, Monitoring, "monitoring");
}

double Stop(const probe::Clock& clock, const Target& target) {
    const double before = clock.NowMs();
    // What TrackPopupMenu sends the window when the user picks the item.
    SendMessageA(target.window, WM_COMMAND, MAKEWPARAM(kStopMonitoringCommand, 0), 0);
    return (clock.NowMs() - before) + WaitFor(clock, target, Idle, "the main window");
}

int Run(const probe::Args& args) {
    const probe::Clock clock;
    const std::string command = args.Word(0);
    if (command == "wait-window") {
        const double timeoutMs = std::stod(args.Word(1).empty() ? "10000" : args.Word(1));
        const double start = clock.NowMs();
        while (probe::FindVintrellWindow(nullptr) == nullptr) {
            if (clock.NowMs() - start > timeoutMs) {
                std::fprintf(stderr, "vt_driver: no Vintrell window\n");
                return 2;
            }
            Sleep(10);
        }
        return 0;
    }

    const Target target = FindTarget();
    if (command == "start") {
        std::printf("start_ms %.1f\n", Start(clock, target));
    } else if (command == "stop") {
        std::printf("stop_ms %.1f\n", Stop(clock, target));
    } else if (command == "cycles") {
        const long cycles = std::stol(args.Word(1).empty() ? "200" : args.Word(1));
        std::printf("cycle,start_ms,stop_ms\n");
        for (long i = 1; i <= cycles; ++i) {
            const double startMs = Start(clock, target);
            const double stopMs = Stop(clock, target);
            std::printf("%ld,%.1f,%.1f\n", i, startMs, stopMs);
        }
    } else if (command == "quit") {
        PostMessageA(target.window, WM_CLOSE, 0, 0);
    } else if (command == "live") {
        std::printf("%s\n", LiveHandles(target).c_str());
    } else if (command == "counts") {
        std::printf("pid=%lu %s\n", static_cast<unsigned long>(target.processId),
                    probe::DescribeProcessObjects(target.processId).c_str());
    } else {
        std::fprintf(stderr,
                     "usage: vt_driver start|stop|cycles N|counts|live|quit|wait-window MS\n");
        return 2;
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_driver", argc, argv, Run);
}
