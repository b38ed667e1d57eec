#pragma once

// Shared by the end-to-end suite's own small Windows programs: a top-level window with a
// given title and its window procedure, a clock since its creation, the message loop, and
// output that the harness reads from a file while the program still runs.

#include <windows.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

namespace e2e {

class Stopwatch {
  public:
    long long Milliseconds() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start_)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// One line per event, flushed at once: the harness polls the file while we run.
inline void Emit(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct WindowDeleter {
    void operator()(HWND window) const noexcept {
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
    }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

// Each kind of target has its own row at the left of the desktop, away from the centred
// Vintrell window and from the taskbar at the bottom, so that screenshots tell them apart.
enum class TargetRow { ClosesAtOnce = 0, Hung = 1, Declines = 2, AsksToSave = 3 };

// What a target window does with a close request and with its timer. Everything else is the
// same for every target: the default procedure, and the end of the message loop once the
// window is destroyed.
class Target {
  public:
    virtual void OnClose(HWND window) = 0;
    virtual void OnTimer(HWND window) { DestroyWindow(window); }  // the lifetime is over

    // Since the target was made, just before its window.
    long long Milliseconds() const { return clock_.Milliseconds(); }

  protected:
    ~Target() = default;

  private:
    Stopwatch clock_;
};

inline constexpr UINT_PTR kTargetTimer = 1;

inline LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<Target*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (target == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);  // before WM_NCCREATE
    }
    switch (message) {
        case WM_CLOSE:
            target->OnClose(window);
            return 0;
        case WM_TIMER:
            if (wParam == kTargetTimer) {
                target->OnTimer(window);
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

// The target's window, shown in its row; the program ends when it cannot be created.
inline UniqueWindow CreateTargetWindow(const char* title, Target& target, TargetRow row) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "VintrellE2ETarget";
    if (RegisterClassA(&windowClass) == 0) {
        Emit("error RegisterClassA %lu", GetLastError());
        std::exit(3);
    }
    const int top = 16 + 124 * static_cast<int>(row);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 16, top,
                                  280, 110, nullptr, nullptr, instance, &target);
    if (window == nullptr) {
        Emit("error CreateWindowExA %lu", GetLastError());
        std::exit(3);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return UniqueWindow(window);
}

// Runs the message loop until WM_QUIT; returns its exit code.
inline int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

inline int ArgumentAsInt(const char* text, int fallback) {
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0') ? static_cast<int>(value) : fallback;
}

// The command line of a target: its title and a time.
struct TargetUsage {
    const char* usage;  // printed when the arguments are missing
    TargetRow row;
    UINT timeUnitMs;  // the time argument counts these
    int defaultTime;  // when the time argument is no number
};

// The whole program of a timed target: "created" once its window shows, then its timer after
// the given time, and the message loop until the window is destroyed or the target quits.
inline int RunTimedTarget(int argc, char** argv, Target& target, const TargetUsage& usage) {
    if (argc < 3) {
        Emit("%s", usage.usage);
        return 2;
    }
    const UniqueWindow window = CreateTargetWindow(argv[1], target, usage.row);
    Emit("created");
    const auto time = static_cast<UINT>(ArgumentAsInt(argv[2], usage.defaultTime));
    if (SetTimer(window.get(), kTargetTimer, time * usage.timeUnitMs, nullptr) == 0) {
        Emit("error SetTimer %lu", GetLastError());
        return 3;
    }
    return RunMessageLoop();
}

// Dispatches what arrives during the given time, then returns.
inline void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace e2e
