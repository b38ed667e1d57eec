// A window whose thread stops answering: it shows itself, answers messages briefly, writes
// "hung", then blocks for the given time without looking at its queue. What was sent to it
// meanwhile is handled afterwards (a WM_CLOSE then closes it).
// Usage: hung_window TITLE SECONDS

#include "target_common.h"

namespace {

class HungWindow final : public e2e::Target {
  public:
    void OnClose(HWND window) override {
        e2e::Emit("close");
        DestroyWindow(window);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        e2e::Emit("usage: hung_window TITLE SECONDS");
        return 2;
    }
    HungWindow target;
    const e2e::UniqueWindow window = e2e::CreateTargetWindow(argv[1], target, e2e::TargetRow::Hung);
    e2e::PumpFor(300);
    if (!IsWindow(window.get())) {
        e2e::Emit("closed_before_hang");
        return 0;
    }
    e2e::Emit("hung");
    Sleep(static_cast<DWORD>(e2e::ArgumentAsInt(argv[2], 10)) * 1000U);
    e2e::Emit("awake");
    e2e::PumpFor(1000);
    return 0;
}
