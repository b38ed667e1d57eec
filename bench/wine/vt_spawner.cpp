// Fills the desktop with N plain top-level windows of one process, none of whose titles holds
// a keyword of the measurements, and keeps them until the process is ended.
//   vt_spawner --count N [--hidden]
// Prints "ready N" once every window exists.

#include <cstdio>
#include <exception>
#include <vector>

#include "probe_util.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Titles of everyday lengths, some longer than the 49 characters a sweep reads.
std::string TitleFor(long index) {
    static constexpr const char* kPatterns[] = {
        "Quarterly report %04ld.txt - Text Editor",
        "Inbox (%ld unread) - Mail",
        "Untitled %ld",
        "Project plan %04ld - Spreadsheet - Review copy for the meeting on Monday",
        "Downloads %ld",
        "Build log %04ld - Terminal",
    };
    constexpr long kPatternCount = static_cast<long>(sizeof(kPatterns) / sizeof(kPatterns[0]));
    char title[128] = {};
    std::snprintf(title, sizeof(title), kPatterns[index % kPatternCount], index);
    return title;
}

int Run(const probe::Args& args) {
    const long count = args.Number("--count", 50);
    const bool hidden = args.Flag("--hidden");
    probe::WindowClass windowClass("VtSpawnedWindow", &PlainWindowProc);

    std::vector<probe::UniqueWindow> windows;
    windows.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) {
        const DWORD style = WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE);
        const int x = static_cast<int>((i * 7) % 600);
        const int y = static_cast<int>((i * 5) % 400);
        HWND window = CreateWindowExA(0, windowClass.Name(), TitleFor(i).c_str(), style, x, y, 240,
                                      120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) {
            probe::Fail("CreateWindowExA");
        }
        windows.emplace_back(window);
        if (i % 50 == 49) {
            static_cast<void>(probe::PumpMessages());  // keep the desktop responsive
        }
    }
    std::printf("ready %ld\n", count);
    std::fflush(stdout);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_spawner", argc, argv, Run);
}
