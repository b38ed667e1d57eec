#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/window_system.h"

#include "platform/win32/handles.h"

namespace vt::win32 {

// The real window system and notification area: user32 and shell32, in their ANSI forms.
class Win32WindowSystem : public WindowSystem {
  public:
    // `instance` holds the application icon.
    explicit Win32WindowSystem(HINSTANCE instance) : instance_(instance) {}

    Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) override;
    std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    Bool32 SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                SendAsyncProc callback, std::uintptr_t data) override;
    WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) override;
    LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                            LParam lParam) override;
    Bool32 SetForegroundWindow(Hwnd hWnd) override;
    Hwnd GetLastActivePopup(Hwnd hWnd) override;
    Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) override;
    UInt RegisterWindowMessageA(const char* name) override;
    Bool32 ChangeWindowMessageFilterEx(Hwnd hWnd, UInt message, UInt action) override;
    Hwnd GetAncestor(Hwnd hWnd, UInt flags) override;
    Hwnd GetDesktopWindow() override;
    Hwnd GetShellWindow() override;
    std::int32_t GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    UInt GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) override;
    UInt GetCurrentProcessId() override;
    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Bool32 AllowSetForegroundWindow(UInt processId) override;
    Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc, LParam context,
                                  UInt flags) override;
    Bool32 UnhookWinEvent(Hwineventhook hook) override;
    Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) override;
    Hicon ApplicationIcon() override;

  private:
    HINSTANCE instance_;
};

}  // namespace vt::win32
