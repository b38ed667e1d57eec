// A window that closes on the first WM_CLOSE and tells when it arrived, counted from the
// window's creation: "closed_after_ms N", or "not_closed" when nothing came in time.
// Usage: close_probe TITLE TIMEOUT_MS

#include "target_common.h"

namespace {

e2e::Stopwatch* g_clock = nullptr;  // started when the window is created
constexpr UINT_PTR kTimeoutTimer = 1;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CLOSE:
            e2e::Emit("closed_after_ms %lld", g_clock->Milliseconds());
            DestroyWindow(window);
            return 0;
        case WM_TIMER:
            if (wParam == kTimeoutTimer) {
                e2e::Emit("not_closed");
                PostQuitMessage(1);
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
        e2e::Emit("usage: close_probe TITLE TIMEOUT_MS");
        return 2;
    }
    e2e::Stopwatch clock;
    g_clock = &clock;
    e2e::UniqueWindow window =
        e2e::CreateTargetWindow(argv[1], ProbeProc, e2e::TargetRow::ClosesAtOnce);
    e2e::Emit("created");
    SetTimer(window.get(), kTimeoutTimer, static_cast<UINT>(e2e::ArgumentAsInt(argv[2], 5000)),
             nullptr);
    return e2e::RunMessageLoop();
}
