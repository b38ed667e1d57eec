#include <algorithm>
#include <vector>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "app/errors.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/scoped_flag.h"
#include "monitor/enum.h"
#include "monitor/matching.h"
#include "platform/error.h"
#include "tray/tray.h"

namespace vt {

namespace {

// A window that keeps answering messages is waited for; one whose thread has stopped costs at
// most this long, and nothing once the system has flagged it as hung.
constexpr UInt kCloseTimeoutMs = 1000;
constexpr UInt kCloseFlags = SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG;

constexpr std::int32_t kOutOfMemory = 7;
constexpr std::wstring_view kSweepFailed =
    L"ERROR while monitoring windows - monitoring has been aborted - ";

}  // namespace

void Form1::Timer1_Timer() {
    // A tick dispatched while a sweep or a window's check waits or passes pending messages
    // must not nest a sweep.
    if (Busy()) {
        return;
    }
    {
        const ScopedFlag scope(sweeping_);
        Sweep();
    }
    AfterBusy();
}

void Form1::AfterBusy() {
    // A right-click on the icon meanwhile opens the menu now, from the message loop: opened
    // inside the sweep, its modal loop would hold the sweep and every tick with it.
    PostPendingTrayMenu();
    CheckQueuedWindows();
}

void Form1::PostPendingTrayMenu() {
    if (std::exchange(trayMenuPending_, false) && !ended_ && Timer1.Enabled()) {
        static_cast<void>(platform_.PostMessageA(hWnd_, Tray::TRAY_CALLBACK_MESSAGE,
                                                 Tray::TrayIconData.uID,
                                                 static_cast<LParam>(WM_RBUTTONUP)));
    }
}

bool Form1::CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher) {
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
        matcher.emplace(platform_, ListView1);
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

void Form1::Sweep() {
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

            std::optional<KeywordMatcher> matcher;
            for (const Hwnd hWnd : WindowHandles.handles) {
                if (!CloseIfMatching(hWnd, matcher)) {
                    continue;
                }
                // NOTE: the wait dispatches messages sent to this thread; a close request among
                // them may have ended the program, the tray menu may have stopped monitoring.
                if (ended_ || stops_ != stopsAtStart) {
                    return;
                }
            }
        }
        platform_.DoEvents();
        return;
    } catch (...) {
        description = CurrentErrorDescription(platform_);
    }
    AbortMonitoring(description);
}

void Form1::ForgetClosedWindows(const std::vector<Hwnd>& desktop) {
    if (closeRequested_.empty()) {
        return;
    }
    const std::unordered_set<Hwnd> present(desktop.begin(), desktop.end());
    std::erase_if(closeRequested_, [&](Hwnd hWnd) { return !present.contains(hWnd); });
}

void Form1::AbortMonitoring(std::wstring_view description) {
    // Stop Monitoring reports its own failures; then this error is told.
    mnuStopMonitoring_Click();
    ShowMessage(std::wstring(kSweepFailed) + std::wstring(description));
}

}  // namespace vt
