#pragma once

// Small helpers shared by the probe programs that measure Vintrell.exe under Wine.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace probe {

// Milliseconds on the performance counter, which every process of the machine shares.
class Clock {
  public:
    Clock() {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        msPerTick_ = 1000.0 / static_cast<double>(frequency.QuadPart);
    }
    double NowMs() const {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart) * msPerTick_;
    }

  private:
    double msPerTick_ = 0.0;
};

[[noreturn]] inline void Fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// This process's CPU time, user and kernel, in milliseconds.
inline double ProcessCpuMs() {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) {
        Fail("GetProcessTimes");
    }
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

struct WindowDeleter {
    void operator()(HWND window) const noexcept {
        // A window already destroyed by its owner is not an error worth reporting here.
        static_cast<void>(DestroyWindow(window));
    }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

struct HandleDeleter {
    void operator()(HANDLE handle) const noexcept { static_cast<void>(CloseHandle(handle)); }
};
using UniqueHandle = std::unique_ptr<void, HandleDeleter>;

// A window class registered for the life of the object.
class WindowClass {
  public:
    WindowClass(const char* name, WNDPROC procedure) : name_(name) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = name;
        if (RegisterClassExA(&windowClass) == 0) {
            Fail(std::string("RegisterClassExA ") + name);
        }
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    ~WindowClass() { static_cast<void>(UnregisterClassA(name_, GetModuleHandleA(nullptr))); }
    const char* Name() const { return name_; }

  private:
    const char* name_;
};

// Dispatches every message already waiting, sent ones included.
inline bool PumpMessages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

// Keeps handling messages until `done` holds or `timeoutMs` has passed; true when `done` held.
template <typename Done>
bool PumpUntil(const Clock& clock, double timeoutMs, Done&& done) {
    const double end = clock.NowMs() + timeoutMs;
    for (;;) {
        if (!PumpMessages()) {
            return false;
        }
        if (done()) {
            return true;
        }
        const double left = end - clock.NowMs();
        if (left <= 0) {
            return false;
        }
        // Wakes for any message, sent ones included, so WM_CLOSE is handled when it arrives.
        const DWORD waitMs = static_cast<DWORD>(left) + 1;
        static_cast<void>(
            MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE));
    }
}

// Handles messages for `ms` milliseconds.
inline void PumpFor(const Clock& clock, double ms) {
    static_cast<void>(PumpUntil(clock, ms, [] { return false; }));
}

// The command line as "--name value" pairs and bare words.
class Args {
  public:
    Args(int argc, char** argv) : words_(argv + 1, argv + argc) {}
    std::optional<std::string> Option(std::string_view name) const {
        for (std::size_t i = 0; i + 1 < words_.size(); ++i) {
            if (words_[i] == name) {
                return words_[i + 1];
            }
        }
        return std::nullopt;
    }
    std::string Text(std::string_view name, std::string fallback) const {
        return Option(name).value_or(std::move(fallback));
    }
    long Number(std::string_view name, long fallback) const {
        const std::optional<std::string> text = Option(name);
        if (!text) {
            return fallback;
        }
        char* end = nullptr;
        const long value = std::strtol(text->c_str(), &end, 10);
        if (end == text->c_str() || *end != '\0') {
            throw std::runtime_error("not a number for " + std::string(name) + ": " + *text);
        }
        return value;
    }
    bool Flag(std::string_view name) const {
        for (const std::string& word : words_) {
            if (word == name) {
                return true;
            }
        }
        return false;
    }
    std::string Word(std::size_t index) const {
        return index < words_.size() ? words_[index] : std::string();
    }

  private:
    std::vector<std::string> words_;
};

inline std::string WindowTitle(HWND window) {
    char title[256] = {};
    const int length = GetWindowTextA(window, title, static_cast<int>(sizeof(title)));
    return std::string(title, static_cast<std::size_t>(length > 0 ? length : 0));
}

inline DWORD WindowProcessId(HWND window) {
    DWORD processId = 0;
    static_cast<void>(GetWindowThreadProcessId(window, &processId));
    return processId;
}

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
    return TRUE;
}

// Every top-level window, hidden ones included, in the order EnumWindows reports them.
inline std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    static_cast<void>(EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows)));
    return windows;
}

// The first top-level window titled `title`, of `processId` when that is not 0.
inline HWND FindTopLevel(std::string_view title, DWORD processId) {
    for (HWND window : TopLevelWindows()) {
        if ((processId == 0 || WindowProcessId(window) == processId) &&
            WindowTitle(window) == title) {
            return window;
        }
    }
    return nullptr;
}

// Vintrell's main window: titled "Vintrell" with a "Start Monitoring" button inside.
inline HWND FindVintrellWindow(HWND* startButton) {
    for (HWND window : TopLevelWindows()) {
        if (WindowTitle(window) != "Vintrell") {
            continue;
        }
        HWND button = FindWindowExA(window, nullptr, "Button", "Start Monitoring");
        if (button != nullptr) {
            if (startButton != nullptr) {
                *startButton = button;
            }
            return window;
        }
    }
    return nullptr;
}

// Whether the notification area holds the icon (owner, id): the shell accepts a change of
// nothing for an icon it has, and refuses it for one it has not.
inline bool TrayIconPresent(HWND owner, UINT id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = id;
    data.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// A probe's main: runs `body` with the arguments and reports a failure as exit status 1.
template <typename Body>
int RunProbe(const char* name, int argc, char** argv, Body&& body) {
    try {
        return body(Args(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 1;
    }
}

}  // namespace probe
