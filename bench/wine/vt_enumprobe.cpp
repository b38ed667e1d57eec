// Times the platform's share of a sweep on the desktop as it stands: EnumWindows, then
// GetWindowTextA into a 50-byte buffer for every window, once a tick. Prints one CSV line per
// sweep and, at the end, the probe's own CPU time over all sweeps.
//   vt_enumprobe [--sweeps 100] [--interval-ms 100]

#include <cstdio>
#include <exception>
#include <vector>

#include "probe_util.h"

namespace {

int Run(const probe::Args& args) {
    const long sweeps = args.Number("--sweeps", 100);
    const long intervalMs = args.Number("--interval-ms", 100);
    const probe::Clock clock;
    const DWORD self = GetCurrentProcessId();

    std::printf("sweep,windows,foreign,title_chars,enum_ms,titles_ms\n");
    const double cpuBefore = probe::ProcessCpuMs();
    const double wallBefore = clock.NowMs();
    for (long sweep = 1; sweep <= sweeps; ++sweep) {
        const double start = clock.NowMs();
        std::vector<HWND> windows = probe::TopLevelWindows();
        const double enumerated = clock.NowMs();
        long titleChars = 0;
        char titleBuffer[50];
        for (HWND window : windows) {
            titleChars +=
                GetWindowTextA(window, titleBuffer, static_cast<int>(sizeof(titleBuffer)));
        }
        const double done = clock.NowMs();

        long foreign = 0;
        for (HWND window : windows) {
            foreign += probe::WindowProcessId(window) != self ? 1 : 0;
        }
        std::printf("%ld,%zu,%ld,%ld,%.4f,%.4f\n", sweep, windows.size(), foreign, titleChars,
                    enumerated - start, done - enumerated);
        Sleep(static_cast<DWORD>(intervalMs));
    }
    std::printf("# cpu_ms %.1f wall_ms %.1f\n", probe::ProcessCpuMs() - cpuBefore,
                clock.NowMs() - wallBefore);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_enumprobe", argc, argv, Run);
}
