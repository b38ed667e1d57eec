// A window that closes on the first WM_CLOSE and tells when it arrived, counted from the
// window's creation: "closed_after_ms N", or "not_closed" when nothing came in time.
// Usage: close_probe TITLE TIMEOUT_MS

#include "target_common.h"

namespace {

class CloseProbe final : public e2e::Target {
  public:
    void OnClose(HWND window) override {
        e2e::Emit("closed_after_ms %lld", Milliseconds());
        DestroyWindow(window);
    }
    void OnTimer(HWND) override {
        e2e::Emit("not_closed");
        PostQuitMessage(1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    CloseProbe probe;
    return e2e::RunTimedTarget(
        argc, argv, probe,
        {"usage: close_probe TITLE TIMEOUT_MS", e2e::TargetRow::ClosesAtOnce, 1, 5000});
}
