// Times how long a window with a matching title stays open under a monitoring Vintrell: opens
// one at a random moment, notes its first message (WM_NCCREATE), the return of CreateWindowExA,
// its first WM_PAINT and the arrival of WM_CLOSE. Prints one CSV line per trial.
//   vt_reaction [--trials 200] [--seed S] [--rename-after-ms N]
// A window opens 50 to 350 ms after the last went, titled "VtProbe popup N"; with
// --rename-after-ms it opens with a title that matches nothing and gets the matching one N ms
// later, and the reaction is timed from the rename. A window not asked within 3 s is missed.

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
};

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* trial = static_cast<Trial*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        trial->createdMs = probe::NowMs();
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(trial));
    }
    auto* trial = reinterpret_cast<Trial*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (trial != nullptr && message == WM_CLOSE) {
        // Only noted: the trial loop destroys the window.
        trial->closeMs = trial->closeMs == 0.0 ? probe::NowMs() : trial->closeMs;
        return 0;
    }
    if (trial != nullptr && message == WM_PAINT && trial->paintMs == 0.0) {
        trial->paintMs = probe::NowMs();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int Run(const probe::Args& args) {
    const long trials = args.Number("--trials", 200);
    const long renameAfterMs = args.Number("--rename-after-ms", 0);
    const auto seed = static_cast<std::uint32_t>(
        args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)));
    const probe::WindowClass windowClass("VtReactionProbe", &ProbeWindowProc);
    std::mt19937 random(seed);
    // Gaps over several ticks put each window's birth at a random phase of the tick.
    std::uniform_int_distribution<long> gap(50, 350);

    std::printf("# seed %" PRIu32 "\n", seed);
    std::printf("trial,create_call_ms,reaction_ms,drawn_before_close,after_return_ms\n");
    long missed = 0;
    for (long i = 1; i <= trials; ++i) {
        probe::PumpFor(static_cast<double>(gap(random)));
        Trial trial;
        const std::string matching = "VtProbe popup " + std::to_string(i);
        const std::string first =
            renameAfterMs > 0 ? "VtProbe pending " + std::to_string(i) : matching;
        trial.callMs = probe::NowMs();
        const probe::UniqueWindow window(CreateWindowExA(
            0, windowClass.Name(), first.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
            150, nullptr, nullptr, GetModuleHandleA(nullptr), &trial));
        trial.returnMs = probe::NowMs();
        if (!window) {
            probe::Fail("CreateWindowExA");
        }
        double startMs = trial.createdMs;
        if (renameAfterMs > 0) {
            probe::PumpFor(static_cast<double>(renameAfterMs));
            startMs = probe::NowMs();
            if (!SetWindowTextA(window.get(), matching.c_str())) {
                probe::Fail("SetWindowTextA");
            }
        }
        if (!probe::PumpUntil(3000, [&] { return trial.closeMs > 0; })) {
            ++missed;
            std::printf("%ld,%.3f,,,\n", i, trial.returnMs - trial.callMs);
            continue;
        }
        const bool drawn = trial.paintMs != 0.0 && trial.paintMs < trial.closeMs;
        // A negative after_return_ms: WM_CLOSE came while CreateWindowExA was still running.
        std::printf("%ld,%.3f,%.3f,%d,%.3f\n", i, trial.returnMs - trial.callMs,
                    trial.closeMs - startMs, drawn ? 1 : 0, trial.closeMs - trial.returnMs);
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
