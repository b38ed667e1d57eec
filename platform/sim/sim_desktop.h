#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_text.h"
#include "platform/window_system.h"

// The simulated desktop: its windows (the program's own, with their window procedures, and
// other programs', which answer a close request as the test says), WinEvent hooks, posted and
// registered messages, and the notification area. Titles are ANSI, in code page 1252.
namespace vt::sim {

// How a window of another program answers WM_CLOSE.
enum class CloseBehaviour {
    Closes,    // handles it at once: destroys itself, and the windows it owns
    Declines,  // handles it at once and stays open
    Hung,      // its thread has stopped: it handles nothing
    Asks,      // asks its user first ("Save changes?"): handled when the test answers
};

// The program's own process and its one thread, and the other programs' process.
inline constexpr UInt kOwnProcessId = 0x42;
inline constexpr UInt kOtherProcessId = 0x99;
inline constexpr UInt kOwnThreadId = 0x43;

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
    // The program's own windows have one: messages sent or posted to them go through it.
    WndProc proc = nullptr;
    bool visible = true;
    // Refuses messages from this program (an elevated program's window, on Windows).
    bool refusesMessages = false;
    // Messages ChangeWindowMessageFilterEx lets through from programs of lower integrity.
    std::set<UInt> allowedMessages{};
    std::int32_t closeRequests = 0;  // WM_CLOSE sent to it
    std::int32_t questionsOpen = 0;  // Asks: questions shown and not yet answered
    // Runs while it handles WM_CLOSE, before it closes: a close request that changes things.
    std::function<void()> onClose{};
};

struct NotifyCall {
    UInt message = 0;
    NotifyIconDataA data;
    bool succeeded = false;
};

class SimDesktop : public WindowSystem {
  public:
    static constexpr Hicon kApplicationIcon = 0x1234;
    static constexpr Hwnd kDesktopWindow = 0x00010008;  // below every window of the desktop

    // Another program's top-level window, on top. EnumWindows reports the windows newest first
    // (the newest is on top), raw handles among them.
    Hwnd AddWindow(std::wstring_view title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                   Hwnd owner = 0) {
        return AddWindowAnsi(EncodeAnsi(title), behaviour, owner);
    }
    Hwnd AddWindowAnsi(std::string title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                       Hwnd owner = 0) {
        return PutWindow({.title = std::move(title), .owner = owner, .behaviour = behaviour});
    }
    // Any window, on top unless it is a child; without a handle it gets the next one, without
    // a thread its owner's or a new one.
    Hwnd PutWindow(SimWindow window);
    // A child of another program's window: not top-level, not enumerated; goes with its parent.
    Hwnd AddChildWindow(Hwnd parent, std::wstring_view title) {
        return PutWindow({.title = EncodeAnsi(title), .owner = parent, .parent = parent});
    }
    SimWindow& Window(Hwnd handle) { return windows_.at(handle); }  // std::out_of_range if none
    bool WindowExists(Hwnd handle) const { return windows_.contains(handle); }
    void DestroyWindow(Hwnd handle);  // and the windows it owns; no WM_CLOSE
    void SetTitle(Hwnd handle, std::wstring_view title) {
        windows_.at(handle).title = EncodeAnsi(title);
    }
    std::int32_t WindowCount() const;  // the other programs' windows
    // Makes EnumWindows report this handle (for handles that are not positive).
    void AddRawHandle(Hwnd handle) { zOrder_.push_back(handle); }
    // The next window added gets this handle (one the system hands out again).
    void SetNextHandle(Hwnd handle) { nextHandle_ = handle; }
    // The shell's desktop window ("Program Manager" on Windows).
    void SetShellWindow(Hwnd handle) { shellWindow_ = handle; }
    // Runs at each FindWindowA before it looks (a program that starts meanwhile).
    std::function<void()> onFindWindow;
    // Every AllowSetForegroundWindow, in order: the process it named.
    const std::vector<UInt>& ForegroundAllowed() const { return foregroundAllowed_; }
    Hwnd ForegroundWindow() const { return foreground_; }

    // Through the current procedure of one of the program's windows; 0 for any other window.
    LResult SendMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
        const SimWindow* window = Find(hWnd);
        return window != nullptr && window->proc != nullptr
                   ? window->proc(hWnd, msg, wParam, lParam)
                   : 0;
    }
    // Every WM_CLOSE sent, in order.
    const std::vector<Hwnd>& CloseLog() const { return closeLog_; }
    // The user answers the latest question of an Asks window: it handles that WM_CLOSE and
    // then closes (Yes, No) or stays (Cancel).
    void AnswerQuestion(Hwnd hWnd, bool closes);
    // SendMessageCallbackA's callbacks of messages handled so far, run when the program takes
    // messages: DoEvents, the message loop's next tick, a menu or a message box.
    void RunSendCallbacks();
    // Every PostMessageA to an existing window, in order.
    std::vector<std::pair<Hwnd, UInt>> PostedMessages() const;
    // Hands what was posted so far to the program's windows; what they post meanwhile waits.
    void DeliverPosted();
    // The program runs elevated: Explorer's broadcasts reach its windows only once the message
    // filter lets them through.
    void RunElevated(bool elevated) { elevated_ = elevated; }
    // Delivers a WinEvent to the hooks set for it, as the system does while the program takes
    // messages; skipped for the program's own windows by hooks that skip their own process.
    void RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject = OBJID_WINDOW,
                       std::int32_t idChild = CHILDID_SELF);
    std::int32_t WinEventHookCount() const { return static_cast<std::int32_t>(hooks_.size()); }
    void FailWinEventHooks(bool fail) { failHooks_ = fail; }

    bool TrayIconShown() const { return trayIcon_.has_value(); }
    const std::optional<NotifyIconDataA>& TrayIcon() const { return trayIcon_; }
    const std::vector<NotifyCall>& NotifyCalls() const { return notifyCalls_; }
    // The next `count` calls with this message fail (a shell that is not ready). Calls whose
    // cbSize is not 88 fail too.
    void FailNotifyIcon(UInt message, std::int32_t count) { notifyFailures_[message] = count; }
    // The next `count` calls with this message are carried out but reported as failed: a shell
    // too busy to answer within the caller's wait (at logon) handles them late.
    void TimeOutNotifyIcon(UInt message, std::int32_t count) { notifyTimeouts_[message] = count; }
    // The mouse over the icon: sends its callback message to the icon's window.
    LResult MouseOnTrayIcon(UInt mouseMessage);
    // Explorer restarted: every icon is gone and "TaskbarCreated" is sent to every window.
    void RecreateTaskbar();

    Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) override;
    std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    Bool32 SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                SendAsyncProc callback, std::uintptr_t data) override;
    WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) override;
    LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                            LParam lParam) override {
        return proc == nullptr ? 0 : proc(hWnd, msg, wParam, lParam);
    }
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
    // ignoring case.
    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Bool32 AllowSetForegroundWindow(UInt processId) override {
        foregroundAllowed_.push_back(processId);
        return processId != 0 ? 1 : 0;
    }
    Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc, LParam context,
                                  UInt flags) override;
    Bool32 UnhookWinEvent(Hwineventhook hook) override { return hooks_.erase(hook) != 0 ? 1 : 0; }
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

    struct PostedMessage {
        Hwnd hWnd;
        UInt msg;
        WParam wParam;
        LParam lParam;
    };

    const SimWindow* Find(Hwnd hWnd) const {
        const auto it = windows_.find(hWnd);
        return it == windows_.end() ? nullptr : &it->second;
    }
    void HandleClose(Hwnd hWnd, bool closes);
    bool ApplyNotifyIcon(UInt message, const NotifyIconDataA& data);

    std::map<Hwnd, SimWindow> windows_;
    std::vector<Hwnd> zOrder_;  // the top-level windows and raw handles, the newest last
    // per Asks window, the callbacks of its open questions, the latest last
    std::map<Hwnd, std::vector<SendCallback>> questions_;
    std::vector<SendCallback> sendCallbacks_;
    std::vector<PostedMessage> posted_;
    std::size_t delivered_ = 0;  // how many of posted_ DeliverPosted has handed on
    std::map<Hwineventhook, Hook> hooks_;
    Hwineventhook lastHook_ = 0;
    bool failHooks_ = false;
    std::vector<Hwnd> closeLog_;
    Hwnd nextHandle_ = 0x10010;
    UInt nextThread_ = 0x1000;
    std::map<std::string, UInt> registeredMessages_;
    Hwnd foreground_ = 0;
    Hwnd shellWindow_ = 0;
    std::vector<UInt> foregroundAllowed_;
    bool elevated_ = false;
    // the notification area
    std::optional<NotifyIconDataA> trayIcon_;
    std::vector<NotifyCall> notifyCalls_;
    std::map<UInt, std::int32_t> notifyFailures_;
    std::map<UInt, std::int32_t> notifyTimeouts_;
};

}  // namespace vt::sim
