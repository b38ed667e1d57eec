// A window that declines WM_CLOSE, as one with unsaved work might, and writes one line per
// request received: "close N" with N its milliseconds since the window's creation. It ends
// on its own after the given time.
// Usage: decline_close TITLE SECONDS

#include "target_common.h"

namespace {

class DeclineClose final : public e2e::Target {
  public:
    void OnClose(HWND) override { e2e::Emit("close %lld", Milliseconds()); }
};

}  // namespace

int main(int argc, char** argv) {
    DeclineClose target;
    return e2e::RunTimedTarget(
        argc, argv, target,
        {"usage: decline_close TITLE SECONDS", e2e::TargetRow::Declines, 1000, 10});
}
