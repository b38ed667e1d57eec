// Windows opened together: COUNT windows titled TITLE, made one after the other by one thread
// before it takes any message, as a program's burst of pop-ups is. Each closes on its first
// WM_CLOSE and reports "closed I after_ms N after_burst_ms M drawn D": N counted from its
// CreateWindowExA's return, M from the last one's (the thread takes no message before), D 1
// when it was painted before. Those still open after TIMEOUT_MS report
// "not_closed I"; then "done". With CLASS Progman, the windows are of the shell's desktop class
// and the first is made the shell's window right after its creation, as a restarted Explorer's
// desktop is ("shell_window 1" when the system took it).
// Usage: window_burst TITLE COUNT TIMEOUT_MS [CLASS]

#include <string>
#include <vector>

#include "target_common.h"

namespace {

struct BurstWindow {
    HWND handle = nullptr;
    e2e::Stopwatch created;
    bool painted = false;
    bool closed = false;
};

std::vector<BurstWindow> gWindows;
e2e::Stopwatch gBurstMade;

BurstWindow* Find(HWND window) {
    for (BurstWindow& each : gWindows) {
        if (each.handle == window) {
            return &each;
        }
    }
    return nullptr;
}

LRESULT CALLBACK BurstProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    BurstWindow* burst = Find(window);
    switch (message) {
        case WM_PAINT:
            if (burst != nullptr) {
                burst->painted = true;
            }
            break;
        case WM_CLOSE:
            if (burst != nullptr && !burst->closed) {
                burst->closed = true;
                e2e::Emit("closed %d after_ms %lld after_burst_ms %lld drawn %d",
                          static_cast<int>(burst - gWindows.data()), burst->created.Milliseconds(),
                          gBurstMade.Milliseconds(), burst->painted ? 1 : 0);
            }
            DestroyWindow(window);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// SetShellWindow is user32's, but no header declares it.
bool MakeShellWindow(HWND window) {
    using SetShellWindowProc = BOOL(WINAPI*)(HWND);
    const auto setShellWindow = reinterpret_cast<SetShellWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
    return setShellWindow != nullptr && setShellWindow(window) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        e2e::Emit("usage: window_burst TITLE COUNT TIMEOUT_MS [CLASS]");
        return 2;
    }
    const int count = e2e::ArgumentAsInt(argv[2], 10);
    const auto timeout = static_cast<DWORD>(e2e::ArgumentAsInt(argv[3], 5000));
    const std::string className = argc > 4 ? argv[4] : "VintrellE2EBurst";
    const bool shell = className == "Progman";
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = BurstProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className.c_str();
    if (RegisterClassA(&windowClass) == 0) {
        e2e::Emit("error RegisterClassA %lu", GetLastError());
        return 3;
    }
    gWindows.resize(static_cast<std::size_t>(count));  // never grows: BurstProc holds no pointer
    for (int i = 0; i < count; ++i) {
        const int top = 16 + 124 * static_cast<int>(e2e::TargetRow::ClosesAtOnce) + 8 * i;
        gWindows[i].handle =
            CreateWindowExA(0, windowClass.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            16 + 8 * i, top, 280, 110, nullptr, nullptr, instance, nullptr);
        gWindows[i].created = e2e::Stopwatch();
        if (gWindows[i].handle == nullptr) {
            e2e::Emit("error CreateWindowExA %lu", GetLastError());
            return 3;
        }
        if (shell && i == 0) {
            e2e::Emit("shell_window %d", MakeShellWindow(gWindows[i].handle) ? 1 : 0);
        }
    }
    gBurstMade = e2e::Stopwatch();
    e2e::Emit("created");
    const DWORD start = GetTickCount();
    const auto open = [] {
        int left = 0;
        for (const BurstWindow& each : gWindows) {
            left += IsWindow(each.handle) ? 1 : 0;
        }
        return left;
    };
    while (open() > 0 && GetTickCount() - start < timeout) {
        e2e::PumpFor(10);
    }
    for (std::size_t i = 0; i < gWindows.size(); ++i) {
        if (!gWindows[i].closed) {
            e2e::Emit("not_closed %d", static_cast<int>(i));
        }
    }
    e2e::Emit("done");
    return 0;
}
