// Times how long a window with a matching title stays open under a monitoring Vintrell: opens
// one at a random moment, notes its first message (WM_NCCREATE), the return of CreateWindowExA,
// its first WM_PAINT and the arrival of WM_CLOSE. Prints one CSV line per window.
//   vt_reaction [--trials 200] [--seed S] [--rename-after-ms N] [--burst N]
// A window opens 50 to 350 ms after the last went, titled "VtProbe popup N"; with
// --rename-after-ms it opens with a title that matches nothing and gets the matching one N ms
// later, and the reaction is timed from the rename. With --burst, each trial opens N windows at
// once, as a program opens a burst of pop-ups: one CreateWindowExA after another, no message
// taken between them, then the message loop. A window not asked within 3 s is missed.

#include <algorithm>
#include <cinttypes>
#include <random>

#include "probe.h"

namespace {

struct Trial {
    double callMs = 0.0;     // just before CreateWindowExA
    double createdMs = 0.0;  // at WM_NCCREATE
    double returnMs = 0.0;   // when CreateWindowExA returned
    double closeMs = 0.0;    // the first WM_CLOSE; 0 while none came
    double paintMs = 0.0;    // the first WM_PAINT; 0 while the window was not drawn
    bool gone = false;
};

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* trial = static_cast<Trial*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        trial->createdMs = probe::NowMs();
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(trial));
    }
    auto* trial = reinterpret_cast<Trial*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (trial != nullptr && message == WM_CLOSE) {
        trial->closeMs = trial->closeMs == 0.0 ? probe::NowMs() : trial->closeMs;
        // Closes as asked, as a pop-up does: a burst's others are then no longer in the way.
        static_cast<void>(DestroyWindow(window));  // ours: it cannot fail
        return 0;
    }
    if (trial != nullptr && message == WM_NCDESTROY) {
        trial->gone = true;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    if (trial != nullptr && message == WM_PAINT && trial->paintMs == 0.0) {
        trial->paintMs = probe::NowMs();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int Run(const probe::Args& args) {
    const long trials = args.Number("--trials", 200);
    const long renameAfterMs = args.Number("--rename-after-ms", 0);
    const auto burst = static_cast<std::size_t>(std::max(1L, args.Number("--burst", 1)));
    const auto seed = static_cast<std::uint32_t>(
        args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)));
    const probe::WindowClass windowClass("VtReactionProbe", &ProbeWindowProc);
    std::mt19937 random(seed);
    // Gaps over several ticks put each window's birth at a random phase of the tick.
    std::uniform_int_distribution<long> gap(50, 350);

    std::printf("# seed %" PRIu32 "\n", seed);
    std::printf(
        "trial,window,create_call_ms,reaction_ms,drawn_before_close,after_return_ms,"
        "after_loop_ms\n");
    long missed = 0;
    for (long i = 1; i <= trials; ++i) {
        probe::PumpFor(static_cast<double>(gap(random)));
        std::vector<Trial> trial(burst);
        std::vector<probe::UniqueWindow> windows;
        std::vector<std::string> matching;
        for (std::size_t w = 0; w < burst; ++w) {
            matching.push_back("VtProbe popup " + std::to_string(i));
            if (burst > 1) {
                matching.back().append(" #").append(std::to_string(w + 1));
            }
            const std::string first =
                renameAfterMs > 0 ? "VtProbe pending " + std::to_string(i) : matching.back();
            trial[w].callMs = probe::NowMs();
            windows.emplace_back(CreateWindowExA(
                0, windowClass.Name(), first.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                100 + static_cast<int>(w) * 20, 100 + static_cast<int>(w) * 20, 300, 150, nullptr,
                nullptr, GetModuleHandleA(nullptr), &trial[w]));
            trial[w].returnMs = probe::NowMs();
            if (!windows.back()) {
                probe::Fail("CreateWindowExA");
            }
        }
        std::vector<double> startMs(burst);
        for (std::size_t w = 0; w < burst; ++w) {
            startMs[w] = trial[w].createdMs;
        }
        if (renameAfterMs > 0) {
            probe::PumpFor(static_cast<double>(renameAfterMs));
            for (std::size_t w = 0; w < burst; ++w) {
                startMs[w] = probe::NowMs();
                if (!SetWindowTextA(windows[w].get(), matching[w].c_str())) {
                    probe::Fail("SetWindowTextA");
                }
            }
        }
        static_cast<void>(probe::PumpUntil(3000, [&] {
            return std::all_of(trial.begin(), trial.end(),
                               [](const Trial& t) { return t.closeMs > 0; });
        }));
        for (std::size_t w = 0; w < burst; ++w) {
            const Trial& t = trial[w];
            if (t.gone) {
                static_cast<void>(windows[w].release());  // its handle may be another's now
            }
            if (t.closeMs == 0.0) {
                ++missed;
                std::printf("%ld,%zu,%.3f,,,,\n", i, w + 1, t.returnMs - t.callMs);
                continue;
            }
            const bool drawn = t.paintMs != 0.0 && t.paintMs < t.closeMs;
            // A negative after_return_ms: WM_CLOSE came while CreateWindowExA was still running.
            // after_loop_ms: from the last CreateWindowExA's return, when the thread takes
            // messages.
            std::printf("%ld,%zu,%.3f,%.3f,%d,%.3f,%.3f\n", i, w + 1, t.returnMs - t.callMs,
                        t.closeMs - startMs[w], drawn ? 1 : 0, t.closeMs - t.returnMs,
                        t.closeMs - trial.back().returnMs);
        }
        std::fflush(stdout);
    }
    if (missed > 0) {
        std::fprintf(stderr, "vt_reaction: %ld of %ld windows never received WM_CLOSE\n", missed,
                     trials * static_cast<long>(burst));
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_reaction", argc, argv, Run);
}
