#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "monitor/enum.h"
#include "monitor/globals.h"
#include "monitor/matching.h"
#include "monitor/window_monitor.h"
#include "platform/error.h"
#include "platform/scoped_flag.h"

namespace vt {

namespace {

// A window that keeps answering messages is waited for; one whose thread has stopped costs at
// most this long, and nothing once the system has flagged it as hung.
constexpr UInt kCloseTimeoutMs = 1000;
constexpr UInt kCloseFlags = SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG;

constexpr std::int32_t kOutOfMemory = 7;

}  // namespace

void WindowMonitor::Tick() {
    // A tick dispatched while a sweep or a window's check waits or passes pending messages
    // must not nest a sweep.
    if (Busy()) {
        return;
    }
    {
        const ScopedFlag scope(sweeping_);
        Sweep();
    }
    // What waited for the sweep runs now, from the message loop: run inside the sweep, a modal
    // loop (the tray menu) would hold the sweep and every tick with it.
    host_.AfterSweepOrCheck();
    CheckQueuedWindows();
}

bool WindowMonitor::CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher) {
    if (hWnd <= 0 || hWnd == Globals::MainWindowHandle) {
        return false;
    }
    std::array<char, kLongestTitle + 1> TitleBuffer{};
    constexpr auto kBufferSize = static_cast<std::int32_t>(TitleBuffer.size());
    const std::int32_t length = std::clamp(
        platform_.GetWindowTextA(hWnd, TitleBuffer.data(), kBufferSize), 0, kBufferSize - 1);
    const std::wstring title = platform_.AnsiToUnicode(
        std::string_view(TitleBuffer.data(), static_cast<std::size_t>(length)));
    // Built at the first title examined, so the list as it stands now is what counts and its
    // errors arise where the title test's would.
    if (!matcher) {
        matcher.emplace(platform_, host_.KeywordList());
    }
    if (!matcher->Matches(title)) {
        return false;
    }
    closeRequested_.insert(hWnd);
    std::uintptr_t result = 0;  // whether the window closed is not looked at
    static_cast<void>(
        platform_.SendMessageTimeoutA(hWnd, WM_CLOSE, 0, 0, kCloseFlags, kCloseTimeoutMs, &result));
    return true;
}

void WindowMonitor::Sweep() {
    // Stop Monitoring may run while a close request waits; the rest of the sweep then sends
    // nothing more.
    const std::uint32_t stopsAtStart = stops_;
    std::wstring description;
    try {
        {
            Enum::HandleCollection WindowHandles;
            platform_.EnumWindows(&Enum::EnumChildProc, reinterpret_cast<LParam>(&WindowHandles));
            if (WindowHandles.outOfMemory) {
                throw AppError(kOutOfMemory, "Timer1_Timer", L"Out of memory");
            }
            ForgetClosedWindows(WindowHandles.handles);
            // Every window reported so far is in the enumeration or gone: the sweep examines it,
            // so a tray menu held open does not pile up reports to go through when it closes.
            queuedWindows_.clear();

            std::optional<KeywordMatcher> matcher;
            for (const Hwnd hWnd : WindowHandles.handles) {
                if (!CloseIfMatching(hWnd, matcher)) {
                    continue;
                }
                // NOTE: the wait dispatches messages sent to this thread; a close request among
                // them may have ended the program, the tray menu may have stopped monitoring.
                if (host_.Ended() || stops_ != stopsAtStart) {
                    return;
                }
            }
        }
        platform_.DoEvents();
        return;
    } catch (...) {
        description = CurrentErrorDescription(platform_);
    }
    host_.AbortMonitoring(description);
}

void WindowMonitor::ForgetClosedWindows(const std::vector<Hwnd>& desktop) {
    if (closeRequested_.empty()) {
        return;
    }
    const std::unordered_set<Hwnd> present(desktop.begin(), desktop.end());
    std::erase_if(closeRequested_, [&](Hwnd hWnd) { return !present.contains(hWnd); });
}

}  // namespace vt
