#pragma once

#include <cstdint>

#include "platform/types.h"

namespace vt {

// The window system (user32) and the notification area (shell32), in their Win32 shapes.
class WindowSystem {
  public:
    // Every top-level window of the desktop, hidden ones and those of every process.
    virtual Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) = 0;
    virtual std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) = 0;
    // Returns at once; `callback` runs on this thread, while it takes messages, once the
    // window has handled the message (at once for a window of this thread). 0 when the system
    // refuses the message.
    virtual Bool32 SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                        SendAsyncProc callback, std::uintptr_t data) = 0;
    virtual WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) = 0;
    virtual LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                    LParam lParam) = 0;
    virtual Bool32 SetForegroundWindow(Hwnd hWnd) = 0;
    // The pop-up the window owns that was active last (its open message box), or the window
    // itself when it has none.
    virtual Hwnd GetLastActivePopup(Hwnd hWnd) = 0;
    virtual Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) = 0;
    virtual UInt RegisterWindowMessageA(const char* name) = 0;
    // Lets a message from processes of lower integrity reach the window (MSGFLT_ALLOW).
    virtual Bool32 ChangeWindowMessageFilterEx(Hwnd hWnd, UInt message, UInt action) = 0;
    virtual Hwnd GetAncestor(Hwnd hWnd, UInt flags) = 0;
    virtual Hwnd GetDesktopWindow() = 0;
    // The shell's desktop window ("Program Manager"); 0 when there is none.
    virtual Hwnd GetShellWindow() = 0;
    virtual std::int32_t GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) = 0;
    // The window's thread, 0 when the window is gone; its process in `processId`.
    virtual UInt GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) = 0;
    virtual UInt GetCurrentProcessId() = 0;
    // The first top-level window of the class, hidden ones included, whose title is
    // windowName (any title for nullptr); 0 when there is none.
    virtual Hwnd FindWindowA(const char* className, const char* windowName) = 0;
    virtual Bool32 AllowSetForegroundWindow(UInt processId) = 0;
    // Out of context: `proc` runs on this thread whenever it takes messages, with `context`.
    // 0 when the hook cannot be set.
    virtual Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                          LParam context, UInt flags) = 0;
    virtual Bool32 UnhookWinEvent(Hwineventhook hook) = 0;

    virtual Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) = 0;
    virtual Hicon ApplicationIcon() = 0;  // the executable's own icon, owned by the platform

  protected:
    ~WindowSystem() = default;
};

}  // namespace vt
