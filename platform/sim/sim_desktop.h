#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/window_system.h"
#include "platform/sim/sim_system.h"

// The simulated desktop: other programs' windows and how they answer a close request, Form1's
// window once the toolkit puts it there, WinEvent hooks, posted and registered messages, and
// the notification area. Titles are ANSI, in code page 1252.
namespace vt::sim {

// How a window of another program answers WM_CLOSE.
enum class CloseBehaviour {
    Closes,    // handles it at once: destroys itself, and the windows it owns
    Declines,  // handles it at once and stays open
    Hung,      // its thread has stopped: it handles nothing
    Asks,      // asks its user first ("Save changes?"): handled when the test answers
};

// The program's own process, whose window Form1 is, and the other programs' process.
inline constexpr UInt kOwnProcessId = 0x42;
inline constexpr UInt kOtherProcessId = 0x99;
inline constexpr UInt kOwnThreadId = 0x43;  // the program's one thread

struct SimWindow {
    Hwnd handle = 0;
    std::string title;  // ANSI, code page 1252
    Hwnd owner = 0;
    Hwnd parent = 0;  // 0: a top-level window, whose parent is the desktop
    CloseBehaviour behaviour = CloseBehaviour::Closes;
    std::string className = "SimWindow";
    UInt processId = kOtherProcessId;
    // Its thread: a window of its own, or its owner's (a dialog runs on its owner's thread).
    UInt threadId = 0;
    // Refuses messages from this program (an elevated program's window, on Windows).
    bool refusesMessages = false;
    std::int32_t closeRequests = 0;  // WM_CLOSE sent to it
    std::int32_t questionsOpen = 0;  // Asks: questions shown and not yet answered
    // Runs while the window handles WM_CLOSE, before it closes (to change the desktop or the
    // program from inside a close request).
    std::function<void()> onClose;
};

struct NotifyCall {
    UInt message = 0;
    NotifyIconDataA data;
    bool succeeded = false;
};

// A message posted to Form1, waiting for the toolkit's next DoEvents.
struct PostedMessage {
    UInt msg;
    WParam wParam;
    LParam lParam;
};

class SimDesktop : public WindowSystem {
  public:
    static constexpr Hicon kApplicationIcon = 0x1234;
    static constexpr Hwnd kDesktopWindow = 0x00010008;  // below every window of the desktop

    SimDesktop() = default;

    // --- Other programs' windows ---------------------------------------------------------------
    Hwnd AddWindow(std::wstring_view title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                   Hwnd owner = 0);
    Hwnd AddWindowAnsi(std::string title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                       Hwnd owner = 0);
    // EnumWindows reports the windows newest first (the newest is on top), Form1 and raw
    // handles among them. A title ends at its first NUL.
    // Another program's window; throws std::out_of_range for Form1 or an unknown handle.
    SimWindow& Window(Hwnd handle);
    bool WindowExists(Hwnd handle) const;  // Form1 too, until EndProgram
    void DestroyWindow(Hwnd handle);       // and the windows it owns; no WM_CLOSE
    // Runs at each FindWindowA before it looks (a program that starts meanwhile).
    std::function<void()> onFindWindow;
    std::int32_t FindWindowCalls() const { return findWindowCalls_; }
    // Every AllowSetForegroundWindow, in order: the process it named.
    const std::vector<UInt>& ForegroundAllowed() const { return foregroundAllowed_; }
    // Makes EnumWindows report this handle (for handles that are not positive).
    void AddRawHandle(Hwnd handle);
    // The next window added gets this handle (one the system hands out again).
    void SetNextHandle(Hwnd handle) { nextHandle_ = handle; }
    // The shell's desktop window ("Program Manager" on Windows).
    void SetShellWindow(Hwnd handle) { shellWindow_ = handle; }
    // Every WM_CLOSE sent, in order, to Form1 too. onClose runs when a window handles one,
    // whatever its CloseBehaviour.
    const std::vector<Hwnd>& CloseLog() const { return closeLog_; }
    // The user answers the latest question of an Asks window: it handles that WM_CLOSE and
    // then closes (Yes, No) or stays (Cancel).
    void AnswerQuestion(Hwnd hWnd, bool closes);
    // SendMessageCallbackA's callbacks of messages handled so far, run when the program takes
    // messages: DoEvents, the message loop's next tick, a menu or a message box.
    void RunSendCallbacks();
    // A child window of another program's window: not top-level, so not enumerated.
    Hwnd AddChildWindow(Hwnd parent, std::wstring_view title);
    void SetTitle(Hwnd handle, std::wstring_view title);
    // Delivers a WinEvent to the hooks set for it, as the system does while the program takes
    // messages; skipped for Form1 by hooks that skip their own process.
    void RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject = OBJID_WINDOW,
                       std::int32_t idChild = CHILDID_SELF);
    std::int32_t WinEventHookCount() const { return static_cast<std::int32_t>(hooks_.size()); }
    void FailWinEventHooks(bool fail) { failHooks_ = fail; }
    std::int32_t WindowCount() const;  // the other programs' windows: Form1 is not counted

    // --- Form1's window ------------------------------------------------------------------------
    // The toolkit puts it on the desktop, on top, with its class's procedure and caption; and
    // takes it off at the end, dropping what was posted to it.
    void PutFormOnDesktop(Hwnd handle, WndProc classProc, std::wstring_view caption);
    void TakeFormOffDesktop();
    bool FormOnDesktop() const { return formOnDesktop_; }
    void SetFormTitle(std::wstring_view caption);
    // What was posted to Form1 since the last call, in order.
    std::deque<PostedMessage> TakePostedToForm();
    // Sends a message to Form1 through its current window procedure.
    LResult SendToForm(UInt msg, WParam wParam, LParam lParam);
    WndProc CurrentWndProc() const { return formProc_; }
    // Every PostMessageA to an existing window; those to Form1 wait for the next DoEvents.
    const std::vector<std::pair<Hwnd, UInt>>& PostedMessages() const { return posted_; }
    Hwnd ForegroundWindow() const { return foreground_; }
    // The program runs elevated: Explorer's broadcasts reach Form1 only once the message
    // filter lets them through.
    void RunElevated(bool elevated) { elevated_ = elevated; }

    // --- The notification area -----------------------------------------------------------------
    bool TrayIconShown() const { return trayIcon_.has_value(); }
    const std::optional<NotifyIconDataA>& TrayIcon() const { return trayIcon_; }
    const std::vector<NotifyCall>& NotifyCalls() const { return notifyCalls_; }
    // The next `count` calls with this message fail (a shell that is not ready). Calls whose
    // cbSize is not 88 fail too.
    void FailNotifyIcon(UInt message, std::int32_t count) { notifyFailures_[message] = count; }
    // The next `count` calls with this message are carried out but reported as failed: a shell
    // too busy to answer within the caller's wait (at logon) handles them late.
    void TimeOutNotifyIcon(UInt message, std::int32_t count) { notifyTimeouts_[message] = count; }
    // The mouse over the icon: sends its callback message to the icon's window procedure.
    LResult MouseOnTrayIcon(UInt mouseMessage);
    // Explorer restarted: every icon is gone and "TaskbarCreated" is sent to every window.
    void RecreateTaskbar();

    // --- WindowSystem --------------------------------------------------------------------------
    Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) override;
    std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    Bool32 SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                SendAsyncProc callback, std::uintptr_t data) override;
    WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) override;
    LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                            LParam lParam) override;
    Bool32 SetForegroundWindow(Hwnd hWnd) override;
    // The newest top-level window that hWnd owns (every simulated window is enabled), else hWnd.
    Hwnd GetLastActivePopup(Hwnd hWnd) override;
    Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) override;
    UInt RegisterWindowMessageA(const char* name) override;
    // Only MSGFLT_ALLOW is modelled.
    Bool32 ChangeWindowMessageFilterEx(Hwnd hWnd, UInt message, UInt action) override;
    Hwnd GetAncestor(Hwnd hWnd, UInt flags) override;
    Hwnd GetDesktopWindow() override { return kDesktopWindow; }
    Hwnd GetShellWindow() override { return shellWindow_; }
    std::int32_t GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    UInt GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) override;
    UInt GetCurrentProcessId() override { return kOwnProcessId; }
    // The first top-level window from the top whose class and title (unless null) are these,
    // ignoring case. Form1's class is kForm1ClassName.
    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Bool32 AllowSetForegroundWindow(UInt processId) override;
    Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc, LParam context,
                                  UInt flags) override;
    Bool32 UnhookWinEvent(Hwineventhook hook) override;
    Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) override;
    Hicon ApplicationIcon() override { return kApplicationIcon; }

  private:
    struct Hook {
        UInt eventMin;
        UInt eventMax;
        WinEventProc proc;
        LParam context;
        UInt flags;
    };

    struct SendCallback {
        SendAsyncProc proc;
        Hwnd hWnd;
        UInt msg;
        std::uintptr_t data;
    };

    bool IsForm(Hwnd hWnd) const { return formOnDesktop_ && hWnd == formHandle_; }
    void HandleClose(Hwnd hWnd, bool closes);
    void AddToZOrder(Hwnd handle);
    void RemoveFromZOrder(Hwnd handle);
    bool ApplyNotifyIcon(UInt message, const NotifyIconDataA& data);
    static void UpdateIcon(NotifyIconDataA& icon, const NotifyIconDataA& data);

    std::map<Hwnd, SimWindow> windows_;
    // per Asks window, the callbacks of its open questions, the latest last
    std::map<Hwnd, std::vector<SendCallback>> questions_;
    std::deque<SendCallback> sendCallbacks_;
    std::map<Hwineventhook, Hook> hooks_;
    Hwineventhook lastHook_ = 0;
    bool failHooks_ = false;
    std::map<std::uint64_t, Hwnd> zOrder_;  // by age: EnumWindows walks it from the newest
    std::map<Hwnd, std::uint64_t> zIndex_;  // where each window sits in zOrder_
    std::uint64_t nextZ_ = 0;
    std::vector<Hwnd> closeLog_;
    Hwnd nextHandle_ = 0x10010;
    UInt nextThread_ = 0x1000;
    std::vector<std::pair<Hwnd, UInt>> posted_;
    std::map<std::string, UInt> registeredMessages_;
    Hwnd foreground_ = 0;
    Hwnd shellWindow_ = 0;
    std::int32_t findWindowCalls_ = 0;
    std::vector<UInt> foregroundAllowed_;
    // Form1's window
    Hwnd formHandle_ = 0;
    bool formOnDesktop_ = false;
    WndProc formProc_ = nullptr;
    std::string formTitle_;
    std::deque<PostedMessage> postedToForm_;
    std::set<UInt> formFilterAllows_;
    bool elevated_ = false;
    // the notification area
    std::optional<NotifyIconDataA> trayIcon_;
    std::vector<NotifyCall> notifyCalls_;
    std::map<UInt, std::int32_t> notifyFailures_;
    std::map<UInt, std::int32_t> notifyTimeouts_;
};

}  // namespace vt::sim
