#pragma once

// What the probes that measure Vintrell.exe under Wine share: the command line, and how to find
// Vintrell's window and tray icon. The clock, the message helpers and the windows they measure
// with are test_window's (tests/targets).

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tests/targets/target_window.h"

namespace probe {

inline constexpr UINT kTrayIconId = 0;
inline constexpr UINT kTrayCallbackMessage = 2025;   // the icon's, as Vintrell registers it
inline constexpr UINT kStopMonitoringCommand = 201;  // the tray menu's item

[[noreturn]] inline void Fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

struct HandleDeleter {
    void operator()(HANDLE handle) const noexcept { static_cast<void>(CloseHandle(handle)); }
};
using UniqueHandle = std::unique_ptr<void, HandleDeleter>;

using vt::targets::NowMs;
using vt::targets::PumpFor;
using vt::targets::PumpUntil;

// The command line: bare words and "--name value" options.
class Args {
  public:
    Args(int argc, char** argv) : words_(argv + 1, argv + argc) {}
    std::string Word(std::size_t index) const {
        return index < words_.size() ? words_[index] : std::string();
    }
    std::string Text(std::string_view name, std::string fallback) const {
        const auto found = std::find(words_.begin(), words_.end(), name);
        return found != words_.end() && found + 1 != words_.end() ? *(found + 1) : fallback;
    }
    long Number(std::string_view name, long fallback) const {
        return std::stol(Text(name, std::to_string(fallback)));
    }
    bool Flag(std::string_view name) const {
        return std::find(words_.begin(), words_.end(), name) != words_.end();
    }

  private:
    std::vector<std::string> words_;
};

inline DWORD WindowProcessId(HWND window) {
    DWORD processId = 0;
    static_cast<void>(GetWindowThreadProcessId(window, &processId));  // 0 for a window gone
    return processId;
}

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Every top-level window, hidden ones included.
inline std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    if (!EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows))) {
        Fail("EnumWindows");
    }
    return windows;
}

// Vintrell's main window: titled "Vintrell", with a "Start Monitoring" button inside.
inline HWND FindVintrellWindow(HWND* startButton = nullptr) {
    HWND window = nullptr;
    HWND button = nullptr;
    while (button == nullptr &&
           (window = FindWindowExA(nullptr, window, nullptr, "Vintrell")) != nullptr) {
        button = FindWindowExA(window, nullptr, "Button", "Start Monitoring");
    }
    if (startButton != nullptr) {
        *startButton = button;
    }
    return window;
}

// Whether the notification area holds Vintrell's icon: the shell accepts a change of nothing
// for an icon it has, and refuses it for one it has not.
inline bool TrayIconPresent(HWND owner) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

inline bool Monitoring(HWND vintrell) {
    return !IsWindowVisible(vintrell) && TrayIconPresent(vintrell);
}

inline bool Idle(HWND vintrell) {
    return IsWindowVisible(vintrell) && !TrayIconPresent(vintrell);
}

// A probe's main: runs `body` and reports an exception as exit status 1.
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
