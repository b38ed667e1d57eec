// Instant close: the system reports new, shown and renamed windows while monitoring, and a
// matching one is asked to close at once, before the next sweep (which stays the safety net).
#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <tuple>

#include "monitor/matching.h"
#include "monitor/window_monitor.h"
#include "platform/error.h"
#include "platform/scoped_flag.h"

namespace vt {

namespace {

constexpr std::array kWindowEvents{EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, EVENT_OBJECT_NAMECHANGE};

}  // namespace

void WindowMonitor::InstallWindowEventHooks() {
    static_assert(kWindowEvents.size() == std::tuple_size_v<decltype(windowEventHooks_)>);
    for (std::size_t i = 0; i < kWindowEvents.size(); ++i) {
        if (windowEventHooks_[i] == 0) {
            // A hook the system refuses leaves monitoring to the sweep alone.
            windowEventHooks_[i] = platform_.SetWinEventHook(
                kWindowEvents[i], kWindowEvents[i], &WindowMonitor::WindowEventProc,
                reinterpret_cast<LParam>(this), WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        }
    }
}

void WindowMonitor::RemoveWindowEventHooks() noexcept {
    for (Hwineventhook& hook : windowEventHooks_) {
        if (hook != 0) {
            static_cast<void>(platform_.UnhookWinEvent(hook));  // nothing to do if it fails
            hook = 0;
        }
    }
    queuedWindows_.clear();
}

void WindowMonitor::WindowEventProc(LParam context, UInt /*event*/, Hwnd hWnd,
                                    std::int32_t idObject, std::int32_t idChild) {
    auto& monitor = *reinterpret_cast<WindowMonitor*>(context);
    try {
        monitor.OnWindowEvent(hWnd, idObject, idChild);
    } catch (...) {
        // Out of memory for the queue: the next sweep finds the window all the same.
    }
}

void WindowMonitor::OnWindowEvent(Hwnd hWnd, std::int32_t idObject, std::int32_t idChild) {
    // Only a window itself, not one of its parts, and only a top-level one: the windows a
    // sweep examines.
    if (idObject != OBJID_WINDOW || idChild != CHILDID_SELF || host_.Ended() ||
        !host_.Timer1Enabled() ||
        platform_.GetAncestor(hWnd, GA_PARENT) != platform_.GetDesktopWindow()) {
        return;
    }
    if (std::find(queuedWindows_.begin(), queuedWindows_.end(), hWnd) == queuedWindows_.end()) {
        queuedWindows_.push_back(hWnd);
    }
    CheckQueuedWindows();
}

void WindowMonitor::CheckQueuedWindows() {
    // NOTE: the events arrive whenever this thread takes messages: inside a sweep's or a
    // check's wait, inside the tray menu. They wait there until nothing runs.
    if (Busy() || checksHeld_) {
        return;
    }
    std::wstring description;
    bool failed = false;
    try {
        const ScopedFlag scope(checkingWindow_);
        // One list read for the whole queue, as for a whole sweep.
        std::optional<KeywordMatcher> matcher;
        while (!queuedWindows_.empty() && !host_.Ended() && host_.Timer1Enabled()) {
            const Hwnd hWnd = queuedWindows_.front();
            queuedWindows_.pop_front();
            // A window asked once is asked again by the sweep alone, at its own pace.
            if (closeRequested_.contains(hWnd)) {
                continue;
            }
            static_cast<void>(CloseIfMatching(hWnd, matcher));
        }
    } catch (...) {
        description = CurrentErrorDescription(platform_);
        failed = true;
    }
    if (failed) {
        host_.AbortMonitoring(description);
    }
    // What waited for the check (a right-click on the icon) runs now, not after the next tick's
    // sweep, which may wait on the same window again.
    host_.AfterSweepOrCheck();
}

}  // namespace vt
