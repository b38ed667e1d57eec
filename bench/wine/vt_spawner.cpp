// Fills the desktop with N plain top-level windows of one process, none of whose titles holds
// a keyword of the measurements, and keeps them until the process is ended.
//   vt_spawner --count N
// Prints "ready N" once every window exists.

#include "probe.h"

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
    char title[128] = {};
    std::snprintf(title, sizeof(title), kPatterns[index % std::size(kPatterns)], index);
    return title;
}

int Run(const probe::Args& args) {
    const long count = args.Number("--count", 50);
    const probe::WindowClass windowClass("VtSpawnedWindow", &PlainWindowProc);
    std::vector<probe::UniqueWindow> windows;
    for (long i = 0; i < count; ++i) {
        windows.emplace_back(CreateWindowExA(
            0, windowClass.Name(), TitleFor(i).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
            static_cast<int>((i * 7) % 600), static_cast<int>((i * 5) % 400), 240, 120, nullptr,
            nullptr, GetModuleHandleA(nullptr), nullptr));
        if (!windows.back()) {
            probe::Fail("CreateWindowExA");
        }
        probe::PumpMessages();  // keeps the desktop responsive while it fills
    }
    std::printf("ready %ld\n", count);
    std::fflush(stdout);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_spawner", argc, argv, Run);
}
