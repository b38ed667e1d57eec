// Measures how long a window with a matching title stays open under a monitoring Vintrell:
// opens it at a random moment, takes the time at its first message (WM_NCCREATE: the window
// exists from then on, and enumeration can report it), and again when WM_CLOSE arrives, and
// notes whether its first WM_PAINT came before that (the window was drawn) and how long after
// CreateWindowExA returned it came. Prints one CSV line per trial.
//   vt_reaction [--trials 200] [--title "VtProbe popup"] [--min-gap-ms 50] [--max-gap-ms 350]
//               [--timeout-ms 3000] [--seed S] [--hidden] [--rename-after-ms N]
// --hidden creates the windows without showing them (a sweep looks at hidden windows too).
// --rename-after-ms creates each window with a title that matches nothing and gives it the
// matching one N ms later; the reaction is then timed from the rename.
//   vt_reaction --observe-ms N
// keeps two matching windows for N ms, one at the top of the z-order and one at the bottom,
// declines every WM_CLOSE and prints when each arrived: the monitor's sweeps as seen from
// outside, and (top to bottom) how long one sweep takes to get through the desktop.

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <random>
#include <vector>

#include "probe_util.h"

namespace {

struct Trial {
    double callMs = 0.0;     // just before CreateWindowExA
    double createdMs = 0.0;  // at WM_NCCREATE
    double readyMs = 0.0;    // when CreateWindowExA returned, the window shown
    double closeMs = 0.0;    // when WM_CLOSE arrived; 0 while it has not
    double paintMs = 0.0;    // its first WM_PAINT; 0 while it has not been drawn
    int closeRequests = 0;
    std::vector<double> closeTimes;  // every arrival, while observing
};

Trial* TrialOf(HWND window) {
    return reinterpret_cast<Trial*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

const probe::Clock& TheClock() {
    static const probe::Clock clock;
    return clock;
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    auto* trial = static_cast<Trial*>(create->lpCreateParams);
    trial->createdMs = TheClock().NowMs();
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(trial));
    return TRUE;
}

// The window is left for the trial loop to destroy: the request is only recorded.
LRESULT OnClose(HWND window) {
    if (Trial* trial = TrialOf(window)) {
        const double now = TheClock().NowMs();
        if (trial->closeRequests++ == 0) {
            trial->closeMs = now;
        }
        trial->closeTimes.push_back(now);
    }
    return 0;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_NCCREATE:
            static_cast<void>(OnCreate(window, lParam));
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_CLOSE:
            return OnClose(window);
        case WM_PAINT:
            if (Trial* trial = TrialOf(window); trial != nullptr && trial->paintMs == 0.0) {
                trial->paintMs = TheClock().NowMs();
            }
            return DefWindowProcA(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateProbeWindow(const probe::WindowClass& windowClass, const std::string& title, DWORD style,
                       Trial& trial) {
    trial.callMs = TheClock().NowMs();
    HWND window = CreateWindowExA(0, windowClass.Name(), title.c_str(), style, 100, 100, 300, 150,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), &trial);
    trial.readyMs = TheClock().NowMs();
    if (window == nullptr) {
        probe::Fail("CreateWindowExA");
    }
    return window;
}

int Observe(const probe::WindowClass& windowClass, const std::string& title, DWORD style,
            long observeMs) {
    Trial bottom;
    Trial top;
    bottom.closeTimes.reserve(4096);
    top.closeTimes.reserve(4096);
    const probe::UniqueWindow bottomWindow(
        CreateProbeWindow(windowClass, title + " observed bottom", style, bottom));
    const probe::UniqueWindow topWindow(
        CreateProbeWindow(windowClass, title + " observed top", style, top));
    if (!SetWindowPos(bottomWindow.get(), HWND_BOTTOM, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
        probe::Fail("SetWindowPos");
    }
    probe::PumpFor(TheClock(), static_cast<double>(observeMs));
    std::printf("window,arrival_ms\n");
    for (const auto& [name, trial] : {std::pair{"top", &top}, std::pair{"bottom", &bottom}}) {
        for (const double arrival : trial->closeTimes) {
            std::printf("%s,%.3f\n", name, arrival - top.createdMs);
        }
    }
    return top.closeTimes.empty() || bottom.closeTimes.empty() ? 2 : 0;
}

int Run(const probe::Args& args) {
    const long trials = args.Number("--trials", 200);
    const std::string title = args.Text("--title", "VtProbe popup");
    const DWORD style = WS_OVERLAPPEDWINDOW | (args.Flag("--hidden") ? 0 : WS_VISIBLE);
    const long minGapMs = args.Number("--min-gap-ms", 50);
    const long maxGapMs = args.Number("--max-gap-ms", 350);
    const long timeoutMs = args.Number("--timeout-ms", 3000);
    const long renameAfterMs = args.Number("--rename-after-ms", 0);
    const auto seed = static_cast<std::uint32_t>(
        args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)));
    if (trials <= 0 || minGapMs < 0 || maxGapMs < minGapMs) {
        throw std::runtime_error("bad arguments");
    }

    const probe::Clock& clock = TheClock();
    probe::WindowClass windowClass("VtReactionProbe", &ProbeWindowProc);
    if (const long observeMs = args.Number("--observe-ms", 0); observeMs > 0) {
        return Observe(windowClass, title, style, observeMs);
    }
    std::mt19937 random(seed);
    // A gap spread over several ticks puts each window's birth at a random phase of the tick.
    std::uniform_int_distribution<long> gap(minGapMs, maxGapMs);

    std::printf("# seed %" PRIu32 "\n", seed);
    std::printf(
        "trial,gap_ms,create_call_ms,reaction_ms,close_requests,created_at_ms,"
        "drawn_before_close,after_return_ms\n");
    const double origin = clock.NowMs();
    long missed = 0;
    for (long i = 1; i <= trials; ++i) {
        const long gapMs = gap(random);
        probe::PumpFor(clock, static_cast<double>(gapMs));

        Trial trial;
        const std::string matching = title + " " + std::to_string(i);
        probe::UniqueWindow window(CreateProbeWindow(
            windowClass, renameAfterMs > 0 ? "VtProbe pending " + std::to_string(i) : matching,
            style, trial));
        double startMs = trial.createdMs;
        if (renameAfterMs > 0) {
            probe::PumpFor(clock, static_cast<double>(renameAfterMs));
            startMs = clock.NowMs();
            if (!SetWindowTextA(window.get(), matching.c_str())) {
                probe::Fail("SetWindowTextA");
            }
        }
        const bool closed = probe::PumpUntil(clock, static_cast<double>(timeoutMs),
                                             [&] { return trial.closeRequests > 0; });
        window.reset();
        const bool drawn = trial.paintMs != 0.0 && (!closed || trial.paintMs < trial.closeMs);
        if (!closed) {
            ++missed;
            std::printf("%ld,%ld,%.3f,,0,%.3f,%d,\n", i, gapMs, trial.readyMs - trial.callMs,
                        trial.createdMs - origin, drawn ? 1 : 0);
        } else {
            // Negative after_return_ms: WM_CLOSE came while CreateWindowExA was still running.
            std::printf("%ld,%ld,%.3f,%.3f,%d,%.3f,%d,%.3f\n", i, gapMs,
                        trial.readyMs - trial.callMs, trial.closeMs - startMs, trial.closeRequests,
                        trial.createdMs - origin, drawn ? 1 : 0, trial.closeMs - trial.readyMs);
        }
        std::fflush(stdout);
    }
    if (missed > 0) {
        std::fprintf(stderr, "vt_reaction: %ld of %ld windows never received WM_CLOSE\n", missed,
                     trials);
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_reaction", argc, argv, Run);
}
