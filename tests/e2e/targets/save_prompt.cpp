// A window that asks whether to save when it is asked to close, as an editor with unsaved
// work does: WM_CLOSE opens a Yes/No/Cancel box; Yes or No closes the window, Cancel keeps
// it. One line per event: "prompt N" when the N-th box opens (boxes can nest, as each box
// pumps messages), "answer N ID" when it closes.
// Usage: save_prompt TITLE SECONDS

#include "target_common.h"

namespace {

int g_prompts = 0;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK SavePromptProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CLOSE: {
            const int prompt = ++g_prompts;
            e2e::Emit("prompt %d", prompt);
            const int answer = MessageBoxA(window, "Save the changes before closing?",
                                           "Unsaved changes", MB_YESNOCANCEL | MB_ICONQUESTION);
            e2e::Emit("answer %d %d", prompt, answer);
            if (answer != IDCANCEL && IsWindow(window)) {
                DestroyWindow(window);
            }
            return 0;
        }
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
        e2e::Emit("usage: save_prompt TITLE SECONDS");
        return 2;
    }
    e2e::UniqueWindow window =
        e2e::CreateTargetWindow(argv[1], SavePromptProc, e2e::TargetRow::AsksToSave);
    e2e::Emit("created");
    SetTimer(window.get(), kLifetimeTimer,
             static_cast<UINT>(e2e::ArgumentAsInt(argv[2], 10)) * 1000U, nullptr);
    const int code = e2e::RunMessageLoop();
    window.release();  // destroyed by an answer or by its own timer
    return code;
}
