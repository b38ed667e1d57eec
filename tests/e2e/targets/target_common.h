#pragma once

// Shared by the end-to-end suite's own small Windows programs: a top-level window with a
// given title, a clock since the start of the program, and output that the harness reads
// from a file while the program still runs.

#include <windows.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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

inline UniqueWindow CreateTargetWindow(const char* title, WNDPROC procedure, TargetRow row) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
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
                                  280, 110, nullptr, nullptr, instance, nullptr);
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

inline int ArgumentAsInt(const char* text, int fallback) {
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0') ? static_cast<int>(value) : fallback;
}

}  // namespace e2e
