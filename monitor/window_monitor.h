#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
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
    virtual const ListView& KeywordList() const = 0;
    // The program has ended: a window event that arrives later is not acted on.
    virtual bool Ended() const = 0;
    virtual bool Timer1Enabled() const = 0;  // monitoring is on
    // A sweep or a window's check failed: monitoring stops, then the user is told why.
    virtual void AbortMonitoring(std::wstring_view description) = 0;
    // A sweep has ended; whatever waited for it may run.
    virtual void AfterSweep() = 0;

  protected:
    ~MonitorHost() = default;
};

// The window sweep of each tick and the instant check of the windows the system reports while
// monitoring. A close request never waits: the window's answer arrives later as a callback while
// the thread takes messages (Form1, which owns the monitor, outlives that message loop).
class WindowMonitor {
  public:
    WindowMonitor(WindowSystem& windows, const TextConversion& text, FormToolkit& toolkit,
                  MonitorHost& host)
        : windows_(windows), text_(text), toolkit_(toolkit), host_(host) {}
    ~WindowMonitor() { RemoveWindowEventHooks(); }
    WindowMonitor(const WindowMonitor&) = delete;
    WindowMonitor& operator=(const WindowMonitor&) = delete;

    bool Sweeping() const { return sweeping_; }
    // One tick of Timer1: every window's title against the list, matching ones asked to close.
    void Tick();

    // The window events while monitoring: hooks set with Timer1 enabled, taken down with it.
    void InstallWindowEventHooks();
    void RemoveWindowEventHooks() noexcept;

  private:
    struct KnownWindow {
        UInt thread = 0;
        std::uint64_t seenAt = 0;   // the look that first saw it matching
        std::uint64_t askedAt = 0;  // the look that last asked it; 0: never asked
        bool unanswered = false;    // its request is out: hung, or asking its user
        bool held = false;          // left for its thread's answer
    };

    void Sweep();
    // One window's check, the sweep's, the window events' and an answer's: a close request
    // when its title matches, unless it is left out or held.
    void CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher);
    bool IsSystemWindow(Hwnd hWnd);
    bool HeldByItsThread(const KnownWindow& window) const;
    // A handle handed out again starts afresh.
    void ForgetClosedWindows(const std::vector<Hwnd>& desktop);
    static void CloseRequestHandled(Hwnd hWnd, UInt msg, std::uintptr_t context, LResult result);
    void OnAnswer(Hwnd hWnd);
    static void WindowEventProc(LParam context, UInt event, Hwnd hWnd, std::int32_t idObject,
                                std::int32_t idChild);
    void OnWindowEvent(Hwnd hWnd, std::int32_t idObject, std::int32_t idChild);
    // Checks windows outside a sweep (a window event, an answer); an error ends monitoring.
    void CheckOutsideSweep(std::span<const Hwnd> windows);

    WindowSystem& windows_;
    const TextConversion& text_;
    FormToolkit& toolkit_;  // DoEvents, the sweep's closing message pass
    MonitorHost& host_;
    bool sweeping_ = false;  // a tick during a sweep's message pass must not start another
    std::array<Hwineventhook, 3> windowEventHooks_{};
    // Counts the looks at the desktop (a sweep, a window event): what a look sees was there
    // before any request it makes.
    std::uint64_t look_ = 0;
    // Other programs' windows seen matching and still on the desktop at the last sweep. Kept
    // across Stop Monitoring: a question still open stays the only one.
    std::unordered_map<Hwnd, KnownWindow> known_;
};

}  // namespace vt
