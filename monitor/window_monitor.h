#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "keywords/list_view.h"
#include "platform/form_toolkit.h"
#include "platform/text_conversion.h"
#include "platform/window_system.h"

namespace vt {

class KeywordMatcher;

// What the monitor needs of the window that runs it (Form1): the monitor sits below the main
// window and reaches it only through this.
class MonitorHost {
  public:
    // The keyword list as it stands now.
    virtual const ListView& KeywordList() const = 0;
    // The program has ended: a window event that arrives later is not acted on.
    virtual bool Ended() const = 0;
    // Timer1 runs, so monitoring is on.
    virtual bool Timer1Enabled() const = 0;
    // A sweep or a window's check failed: monitoring stops, then the user is told why.
    virtual void AbortMonitoring(std::wstring_view description) = 0;
    // A sweep has ended; whatever waited for it may run.
    virtual void AfterSweep() = 0;

  protected:
    ~MonitorHost() = default;
};

// The window sweep of each tick and the instant check of the windows the system reports while
// monitoring, with what they share: the close requests sent and not yet handled, and the hooks.
// A close request never waits: it is sent, and the window's answer arrives later as a callback
// while the thread takes messages. Form1, which owns the monitor, outlives the message loop
// that delivers those callbacks.
class WindowMonitor {
  public:
    WindowMonitor(WindowSystem& windows, const TextConversion& text, FormToolkit& toolkit,
                  MonitorHost& host)
        : windows_(windows), text_(text), toolkit_(toolkit), host_(host) {}
    ~WindowMonitor() { RemoveWindowEventHooks(); }
    WindowMonitor(const WindowMonitor&) = delete;
    WindowMonitor& operator=(const WindowMonitor&) = delete;

    // A sweep is under way (its closing message pass dispatches whatever waits).
    bool Sweeping() const { return sweeping_; }

    // One tick of Timer1: every window's title against the list, matching ones asked to close;
    // then what the sweep held up. Nothing while a sweep runs.
    void Tick();

    // The window events while monitoring: hooks set with Timer1 enabled, taken down with it.
    void InstallWindowEventHooks();
    void RemoveWindowEventHooks() noexcept;

  private:
    void Sweep();
    // One window's check, the sweep's and the window events': not the main window nor the
    // handle 0, no request of ours still unhandled, its title in the 50-byte buffer against the
    // list as it stands (the matcher is built at the first title); then, for a title that
    // matches, not a window of this program nor of the system, no request of ours unhandled on
    // its thread, and a close request.
    void CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher);
    // The system's windows, never closed whatever their titles: the shell's window, the
    // taskbars, the input-method windows.
    bool IsSystemWindow(Hwnd hWnd);
    // A request of ours to a window of this thread is still unhandled.
    bool AwaitsAnswer(UInt thread) const;
    // Forgets the windows the desktop no longer has: a handle handed out again starts afresh.
    void ForgetClosedWindows(const std::vector<Hwnd>& desktop);
    static void CloseRequestHandled(Hwnd hWnd, UInt msg, std::uintptr_t context, LResult result);
    static void WindowEventProc(LParam context, UInt event, Hwnd hWnd, std::int32_t idObject,
                                std::int32_t idChild);
    void OnWindowEvent(Hwnd hWnd, std::int32_t idObject, std::int32_t idChild);

    WindowSystem& windows_;
    const TextConversion& text_;
    FormToolkit& toolkit_;  // DoEvents, the sweep's closing message pass
    MonitorHost& host_;
    bool sweeping_ = false;  // a tick during a sweep's message pass must not start another
    std::array<Hwineventhook, 3> windowEventHooks_{};
    struct CloseRequest {
        UInt thread = 0;        // the window's thread
        bool unhandled = true;  // a hung window, an open question
    };
    // Windows sent a close request and still on the desktop at the last sweep. A window whose
    // request is unhandled, and every other window of its thread, is not asked until it has
    // answered; one that has answered is asked again by the sweep alone. Kept across Stop
    // Monitoring: a question still open stays the only one.
    std::unordered_map<Hwnd, CloseRequest> closeRequests_;
};

}  // namespace vt
