#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "keywords/list_view.h"
#include "platform/platform.h"
#include "platform/scoped_flag.h"

namespace vt {

class KeywordMatcher;

// What the monitor needs of the window that runs it (Form1): the monitor sits below the main
// window and reaches it only through this.
class MonitorHost {
  public:
    // The keyword list as it stands now.
    virtual const ListView& KeywordList() const = 0;
    // The program has ended: a sweep or a check that resumes after a wait sends nothing more.
    virtual bool Ended() const = 0;
    // Timer1 runs, so monitoring is on.
    virtual bool Timer1Enabled() const = 0;
    // A sweep or a window's check failed: monitoring stops, then the user is told why.
    virtual void AbortMonitoring(std::wstring_view description) = 0;
    // A sweep or a window's check has ended; whatever waited for it may run.
    virtual void AfterSweepOrCheck() = 0;

  protected:
    ~MonitorHost() = default;
};

// The window sweep of each tick and the instant check of the windows the system reports while
// monitoring, with the state they share: which of them runs, the reported windows waiting,
// the windows already asked to close, and the hooks.
class WindowMonitor {
  public:
    WindowMonitor(Platform& platform, MonitorHost& host) : platform_(platform), host_(host) {}
    ~WindowMonitor() { RemoveWindowEventHooks(); }
    WindowMonitor(const WindowMonitor&) = delete;
    WindowMonitor& operator=(const WindowMonitor&) = delete;

    // A sweep or a window's check is under way.
    bool Busy() const { return sweeping_ || checkingWindow_; }

    // One tick of Timer1: every window's title against the list, matching ones asked to close;
    // then what the sweep held up. Nothing while a sweep or a check runs.
    void Tick();

    // Stop Monitoring has begun: a sweep waiting on a close request sends nothing more.
    void NoteStop() { ++stops_; }

    // The window events while monitoring: hooks set with Timer1 enabled, taken down with it.
    void InstallWindowEventHooks();
    void RemoveWindowEventHooks() noexcept;

    // Runs a modal loop (the tray menu) with the reported windows held; they are checked once
    // it has returned.
    template <typename Modal>
    void HoldChecksDuring(Modal&& modal) {
        {
            const ScopedFlag scope(checksHeld_);
            modal();
        }
        CheckQueuedWindows();
    }

  private:
    void Sweep();
    // One window's check, the sweep's and the window events': not the main window, a positive
    // handle, its title in the 50-byte buffer against the list as it stands (the matcher is
    // built at the first title), and a close request when it matches. True when one was sent.
    bool CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher);
    // Forgets the close requests of windows the desktop no longer has.
    void ForgetClosedWindows(const std::vector<Hwnd>& desktop);
    static void WindowEventProc(LParam context, UInt event, Hwnd hWnd, std::int32_t idObject,
                                std::int32_t idChild);
    void OnWindowEvent(Hwnd hWnd, std::int32_t idObject, std::int32_t idChild);
    void CheckQueuedWindows();

    Platform& platform_;
    MonitorHost& host_;
    bool sweeping_ = false;        // a tick during a sweep's message pass must not start another
    bool checkingWindow_ = false;  // a reported window is being checked
    bool checksHeld_ = false;      // a modal loop runs: reported windows wait for its end
    std::array<Hwineventhook, 3> windowEventHooks_{};
    std::deque<Hwnd> queuedWindows_;  // reported while something ran, in the order reported
    // Windows sent a close request and still on the desktop at the last sweep: only the sweep
    // asks them again.
    std::unordered_set<Hwnd> closeRequested_;
    std::uint32_t stops_ = 0;  // Stop Monitoring's runs, so that a sweep sees one under way
};

}  // namespace vt
