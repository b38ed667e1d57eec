// Instant close: the system reports new, shown and renamed windows while monitoring, and a
// matching one is asked to close at once, before the next sweep (which stays the safety net).
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <tuple>

#include "monitor/matching.h"
#include "monitor/window_monitor.h"
#include "platform/error.h"

namespace vt {

constexpr std::array kWindowEvents{EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, EVENT_OBJECT_NAMECHANGE};

void WindowMonitor::InstallWindowEventHooks() {
    static_assert(kWindowEvents.size() == std::tuple_size_v<decltype(windowEventHooks_)>);
    for (std::size_t i = 0; i < kWindowEvents.size(); ++i) {
        if (windowEventHooks_[i] == 0) {
            // A hook the system refuses leaves monitoring to the sweep alone.
            windowEventHooks_[i] = windows_.SetWinEventHook(
                kWindowEvents[i], kWindowEvents[i], &WindowMonitor::WindowEventProc,
                reinterpret_cast<LParam>(this), WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        }
    }
}

void WindowMonitor::RemoveWindowEventHooks() noexcept {
    for (Hwineventhook& hook : windowEventHooks_) {
        if (hook != 0) {
            static_cast<void>(windows_.UnhookWinEvent(hook));  // nothing to do if it fails
            hook = 0;
        }
    }
}

void WindowMonitor::WindowEventProc(LParam context, UInt /*event*/, Hwnd hWnd,
                                    std::int32_t idObject, std::int32_t idChild) {
    try {
        reinterpret_cast<WindowMonitor*>(context)->OnWindowEvent(hWnd, idObject, idChild);
    } catch (...) {
        // Nothing may unwind into the system; the next sweep finds the window all the same.
    }
}

void WindowMonitor::OnWindowEvent(Hwnd hWnd, std::int32_t idObject, std::int32_t idChild) {
    // Only a window itself, not one of its parts, and only a top-level one: the windows a
    // sweep examines. A window asked before is asked again by the sweep alone, at its pace.
    if (idObject != OBJID_WINDOW || idChild != CHILDID_SELF) {
        return;
    }
    if (const auto it = known_.find(hWnd); it != known_.end() && it->second.askedAt != 0) {
        return;
    }
    if (windows_.GetAncestor(hWnd, GA_PARENT) != windows_.GetDesktopWindow()) {
        return;
    }
    ++look_;
    CheckOutsideSweep(std::span(&hWnd, 1));
}

void WindowMonitor::CheckOutsideSweep(std::span<const Hwnd> windows) {
    // NOTE: events and answers arrive whenever this thread takes messages (a sweep's closing
    // pass, the tray menu, a message box); a check sends without waiting, so it runs there.
    if (windows.empty() || host_.Ended() || !host_.Timer1Enabled()) {
        return;
    }
    std::wstring description;
    try {
        std::optional<KeywordMatcher> matcher;
        for (const Hwnd hWnd : windows) {
            CloseIfMatching(hWnd, matcher);
        }
        return;
    } catch (...) {
        description = CurrentErrorDescription(text_);
    }
    host_.AbortMonitoring(description);
}

}  // namespace vt
