#include "tests/targets/target_window.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <utility>

namespace vt::targets {

namespace {

// The window whose question is open on this thread: a timer procedure gets no object.
thread_local TargetWindow* tAsking = nullptr;

BOOL CALLBACK AnswerBoxNo(HWND window, LPARAM) {
    char name[16] = {};
    if (GetClassNameA(window, name, sizeof(name)) > 0 && std::string_view(name) == "#32770") {
        static_cast<void>(PostMessageA(window, WM_COMMAND, IDNO, 0));  // a box gone is no matter
    }
    return TRUE;
}

void CALLBACK AnswerTick(HWND, UINT, UINT_PTR, DWORD) {
    if (tAsking != nullptr && tAsking->answerNo && tAsking->answerNo()) {
        static_cast<void>(EnumThreadWindows(GetCurrentThreadId(), &AnswerBoxNo, 0));
    }
}

// The question of an editor with unsaved work: Yes or No closes, Cancel keeps the window.
bool AskFirst(HWND window, TargetWindow& target) {
    char title[256] = {};
    static_cast<void>(GetWindowTextA(window, title, sizeof(title)));  // empty when it fails
    const int prompt = ++target.prompts;
    ++target.questionsOpen;
    TargetWindow* const outer = std::exchange(tAsking, &target);
    const UINT_PTR timer = target.answerNo ? SetTimer(nullptr, 0, 20, &AnswerTick) : 0;
    // Modal: its loop takes every message of the thread, the next WM_CLOSE included.
    const int answer =
        MessageBoxA(window, target.questionText.c_str(),
                    target.questionTitle.empty() ? title : target.questionTitle.c_str(),
                    MB_YESNOCANCEL | MB_ICONQUESTION);
    if (timer != 0) {
        static_cast<void>(KillTimer(nullptr, timer));
    }
    tAsking = outer;
    --target.questionsOpen;
    target.cancelled += answer == IDCANCEL ? 1 : 0;
    if (target.onAnswer) {
        target.onAnswer(target, prompt, answer);
    }
    return answer != IDCANCEL && IsWindow(window);
}

void OnClose(HWND window, TargetWindow& target) {
    if (target.closeRequests++ == 0) {
        target.firstCloseMs = NowMs();
    }
    if (target.onRequest) {
        target.onRequest(target);
    }
    const bool declines = target.declines == kEveryRequest ||
                          target.closeRequests <= target.declines ||
                          (target.holds && target.holds());
    if (declines || (target.asks && !AskFirst(window, target))) {
        return;
    }
    target.closed = true;
    static_cast<void>(DestroyWindow(window));  // ours, on its thread: it cannot fail
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<TargetWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created->createdMs = NowMs();
        created->handle = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* target = reinterpret_cast<TargetWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (target == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_CLOSE:
            try {
                OnClose(window, *target);
            } catch (...) {  // a reporting hook's failure stays on this side of the system
                std::fputs("test_window: a close request's handling failed\n", stderr);
            }
            return 0;
        case WM_PAINT:
            target->paintedMs = target->paintedMs == 0.0 ? NowMs() : target->paintedMs;
            break;
        case WM_NCDESTROY:
            target->goneMs = NowMs();
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterTargetClass(const char* name) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER frequency{};
        static_cast<void>(QueryPerformanceFrequency(&frequency));  // cannot fail since XP
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now{};
    static_cast<void>(QueryPerformanceCounter(&now));
    return static_cast<double>(now.QuadPart) * msPerTick;
}

void Emit(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool CreateTargetWindow(TargetWindow& target, const std::string& title, int x, int y, Show show,
                        const char* className) {
    if (!RegisterTargetClass(className)) {
        return false;
    }
    target.callMs = NowMs();
    const DWORD style = WS_OVERLAPPEDWINDOW | (show == Show::AtCreation ? WS_VISIBLE : 0);
    const HWND window = CreateWindowExA(0, className, title.c_str(), style, x, y, 280, 110, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), &target);
    target.returnedMs = NowMs();
    if (window != nullptr && show == Show::WithoutActivation) {
        static_cast<void>(ShowWindow(window, SW_SHOWNOACTIVATE));  // answers: was it visible
    }
    return window != nullptr;
}

void PumpMessages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool PumpUntil(double timeoutMs, const std::function<bool()>& done) {
    const double end = NowMs() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (done()) {
            return true;
        }
        const double left = end - NowMs();
        if (left <= 0) {
            return false;
        }
        // Wakes for any message, sent ones included, and every 5 ms to look at `done` again.
        static_cast<void>(MsgWaitForMultipleObjectsEx(0, nullptr,
                                                      static_cast<DWORD>(std::min(left, 5.0)) + 1,
                                                      QS_ALLINPUT, MWMO_INPUTAVAILABLE));
    }
}

}  // namespace vt::targets
