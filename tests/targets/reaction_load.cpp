// Times how long a window with a matching title stays open under a monitoring Vintrell: opens
// one at a random moment, notes its first message (WM_NCCREATE), the return of CreateWindowExA,
// its first WM_PAINT and the arrival of WM_CLOSE. Prints one CSV line per window.
//   test_window reaction [--trials 200] [--seed S] [--rename-after-ms N] [--burst N]
// A window opens 50 to 350 ms after the last went, titled "VtProbe popup N"; with
// --rename-after-ms it opens with a title that matches nothing and gets the matching one N ms
// later, and the reaction is timed from the rename. With --burst, each trial opens N windows at
// once, as a program opens a burst of pop-ups: one CreateWindowExA after another, no message
// taken between them, then the message loop. A window not asked within 3 s is missed.

#include <cinttypes>
#include <cstdio>
#include <deque>
#include <random>

#include "tests/targets/target_window.h"
#include "tests/targets/test_window.h"

namespace vt::targets {

int RunReaction(const Args& args) {
    const long trials = args.Number("--trials", 200);
    const long renameAfterMs = args.Number("--rename-after-ms", 0);
    const auto burst = static_cast<std::size_t>(std::max(1L, args.Number("--burst", 1)));
    const auto seed = static_cast<std::uint32_t>(
        args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)));
    std::mt19937 random(seed);
    // Gaps over several ticks put each window's birth at a random phase of the tick.
    std::uniform_int_distribution<long> gap(50, 350);

    std::printf("# seed %" PRIu32 "\n", seed);
    std::printf(
        "trial,window,create_call_ms,reaction_ms,drawn_before_close,after_return_ms,"
        "after_loop_ms\n");
    long missed = 0;
    for (long i = 1; i <= trials; ++i) {
        PumpFor(static_cast<double>(gap(random)));
        std::deque<TargetWindow> trial;
        std::vector<std::string> matching;
        for (std::size_t w = 0; w < burst; ++w) {
            matching.push_back("VtProbe popup " + std::to_string(i));
            if (burst > 1) {
                matching.back().append(" #").append(std::to_string(w + 1));
            }
            const std::string first =
                renameAfterMs > 0 ? "VtProbe pending " + std::to_string(i) : matching.back();
            const int at = 100 + static_cast<int>(w) * 20;
            if (!CreateTargetWindow(trial.emplace_back(), first, at, at, Show::AtCreation)) {
                std::fprintf(stderr, "test_window: CreateWindowExA (error %lu)\n", GetLastError());
                return 1;
            }
        }
        std::vector<double> startMs(burst);
        for (std::size_t w = 0; w < burst; ++w) {
            startMs[w] = trial[w].createdMs;
        }
        if (renameAfterMs > 0) {
            PumpFor(static_cast<double>(renameAfterMs));
            for (std::size_t w = 0; w < burst; ++w) {
                startMs[w] = NowMs();
                if (!SetWindowTextA(trial[w].handle, matching[w].c_str())) {
                    std::fprintf(stderr, "test_window: SetWindowTextA (error %lu)\n",
                                 GetLastError());
                    return 1;
                }
            }
        }
        static_cast<void>(PumpUntil(3000, [&] {
            return std::all_of(trial.begin(), trial.end(),
                               [](const TargetWindow& t) { return t.firstCloseMs > 0; });
        }));
        for (std::size_t w = 0; w < burst; ++w) {
            const TargetWindow& t = trial[w];
            if (t.goneMs == 0.0) {
                static_cast<void>(DestroyWindow(t.handle));  // ours: it cannot fail
            }
            if (t.firstCloseMs == 0.0) {
                ++missed;
                std::printf("%ld,%zu,%.3f,,,,\n", i, w + 1, t.returnedMs - t.callMs);
                continue;
            }
            const bool drawn = t.paintedMs != 0.0 && t.paintedMs < t.firstCloseMs;
            // A negative after_return_ms: WM_CLOSE came while CreateWindowExA was still running.
            // after_loop_ms: from the last CreateWindowExA's return, when the thread takes
            // messages.
            std::printf("%ld,%zu,%.3f,%.3f,%d,%.3f,%.3f\n", i, w + 1, t.returnedMs - t.callMs,
                        t.firstCloseMs - startMs[w], drawn ? 1 : 0, t.firstCloseMs - t.returnedMs,
                        t.firstCloseMs - trial.back().returnedMs);
        }
        std::fflush(stdout);
    }
    if (missed > 0) {
        std::fprintf(stderr, "test_window: %ld of %ld windows never received WM_CLOSE\n", missed,
                     trials * static_cast<long>(burst));
        return 2;
    }
    return 0;
}

}  // namespace vt::targets
