// A window that asks whether to save when it is asked to close, as an editor with unsaved
// work does: WM_CLOSE opens a Yes/No/Cancel box titled like the window (as Notepad's is "Notepad");
// Yes or No closes the window, Cancel (or closing the box) keeps it. One line per event: "prompt N"
// when the N-th box opens (boxes can nest, as each box pumps messages), "answer N ID" when it
// closes. It ends on its own after the given time. Usage: save_prompt TITLE SECONDS

#include "target_common.h"

namespace {

class SavePrompt final : public e2e::Target {
  public:
    void OnClose(HWND window) override {
        const int prompt = ++prompts_;
        e2e::Emit("prompt %d", prompt);
        char title[256] = {};
        GetWindowTextA(window, title, sizeof(title));
        const int answer = MessageBoxA(window, "Save the changes before closing?", title,
                                       MB_YESNOCANCEL | MB_ICONQUESTION);
        e2e::Emit("answer %d %d", prompt, answer);
        if (answer != IDCANCEL && IsWindow(window)) {
            DestroyWindow(window);
        }
    }

  private:
    int prompts_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    SavePrompt target;
    return e2e::RunTimedTarget(
        argc, argv, target,
        {"usage: save_prompt TITLE SECONDS", e2e::TargetRow::AsksToSave, 1000, 10});
}
