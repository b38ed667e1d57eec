#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/errors.h"
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
    // A tick dispatched while a sweep waits or passes pending messages must not nest a sweep.
    if (sweeping_) {
        return;
    }
    {
        const ScopedFlag scope(sweeping_);
        Sweep();
    }
    // A right-click on the icon during the sweep opens the menu now, from the message loop:
    // opened inside the sweep, its modal loop would hold the sweep and every tick with it.
    if (std::exchange(trayMenuPending_, false) && !ended_ && Timer1.Enabled()) {
        static_cast<void>(platform_.PostMessageA(hWnd_, Tray::TRAY_CALLBACK_MESSAGE,
                                                 Tray::TrayIconData.uID,
                                                 static_cast<LParam>(WM_RBUTTONUP)));
    }
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

            // Built at the first title examined, so the list as it stands now is what counts
            // and its errors arise where the title test's would.
            std::optional<KeywordMatcher> matcher;
            std::array<char, kLongestTitle + 1> TitleBuffer{};
            constexpr auto kBufferSize = static_cast<std::int32_t>(TitleBuffer.size());
            for (const Hwnd hWnd : WindowHandles.handles) {
                if (hWnd <= 0) {
                    continue;
                }
                const std::int32_t length =
                    std::clamp(platform_.GetWindowTextA(hWnd, TitleBuffer.data(), kBufferSize), 0,
                               kBufferSize - 1);
                const std::wstring title = platform_.AnsiToUnicode(
                    std::string_view(TitleBuffer.data(), static_cast<std::size_t>(length)));
                if (!matcher) {
                    matcher.emplace(platform_, ListView1);
                }
                if (!matcher->Matches(title)) {
                    continue;
                }
                std::uintptr_t result = 0;  // whether the window closed is not looked at
                static_cast<void>(platform_.SendMessageTimeoutA(hWnd, WM_CLOSE, 0, 0, kCloseFlags,
                                                                kCloseTimeoutMs, &result));
                // NOTE: the wait dispatches messages sent to this thread; a close request among
                // them may have ended the program.
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

    // Stop Monitoring reports its own failures; then this sweep's error is told.
    mnuStopMonitoring_Click();
    ShowMessage(std::wstring(kSweepFailed) + description);
}

}  // namespace vt
