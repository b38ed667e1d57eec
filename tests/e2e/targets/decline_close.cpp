// A window that declines WM_CLOSE, as one with unsaved work might, and writes one line per
// request received: "close N" with N its milliseconds since the window's creation. It ends
// on its own after the given time.
// Usage: decline_close TITLE SECONDS

#include "target_common.h"

namespace {

e2e::Stopwatch* g_clock = nullptr;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK DeclineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CLOSE:
            e2e::Emit("close %lld", g_clock->Milliseconds());
            return 0;
        case WM_TIMER:
            if (wParam == kLifetimeTimer) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        e2e::Emit("usage: decline_close TITLE SECONDS");
        return 2;
    }
    e2e::Stopwatch clock;
    g_clock = &clock;
    e2e::UniqueWindow window =
        e2e::CreateTargetWindow(argv[1], DeclineProc, e2e::TargetRow::Declines);
    e2e::Emit("created");
    SetTimer(window.get(), kLifetimeTimer,
             static_cast<UINT>(e2e::ArgumentAsInt(argv[2], 10)) * 1000U, nullptr);
    const int code = e2e::RunMessageLoop();
    window.release();  // destroyed by its own timer
    return code;
}
