#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "monitor/main_window_handle.h"
#include "monitor/matching.h"
#include "monitor/window_collection.h"
#include "monitor/window_monitor.h"
#include "platform/error.h"
#include "platform/scoped_flag.h"

namespace vt {

namespace {

// Never closed, whatever their titles: the taskbars, the input-method windows every GUI thread
// has (closing them breaks text input), the shell's desktop (by its class too, as a restarted
// shell's window event comes before SetShellWindow), and the ghost standing in for a hung
// window, whose closing offers to end that program.
constexpr std::array<std::string_view, 6> kSystemClasses{
    "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "IME", "MSCTFIME UI", "Progman", "Ghost"};

// Class names are compared ignoring case, as Windows does.
bool SameClassName(std::string_view a, std::string_view b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace

bool WindowMonitor::IsSystemWindow(Hwnd hWnd) {
    // The shell's desktop window: on Windows its WM_CLOSE opens the Shut Down dialog.
    if (hWnd == windows_.GetShellWindow()) {
        return true;
    }
    std::array<char, 64> className{};
    const std::int32_t length = std::clamp(
        windows_.GetClassNameA(hWnd, className.data(), static_cast<std::int32_t>(className.size())),
        0, static_cast<std::int32_t>(className.size()) - 1);
    const std::string_view name(className.data(), static_cast<std::size_t>(length));
    return std::any_of(kSystemClasses.begin(), kSystemClasses.end(),
                       [&](std::string_view system) { return SameClassName(name, system); });
}

bool WindowMonitor::HeldByItsThread(const KnownWindow& window) const {
    // A window that appeared while its thread had our request may be that request's question
    // (its "Save changes?" box, titled like its window): closing it would answer Cancel.
    return window.thread != 0 &&
           std::any_of(known_.begin(), known_.end(), [&window](const auto& other) {
               return other.second.unanswered && other.second.thread == window.thread &&
                      other.second.askedAt < window.seenAt;
           });
}

void WindowMonitor::Tick() {
    // The sweep's closing message pass may dispatch a tick: sweeps never nest.
    if (sweeping_) {
        return;
    }
    {
        const ScopedFlag scope(sweeping_);
        Sweep();
    }
    // What waited for the sweep runs now, from the message loop: run inside the sweep, a modal
    // loop (the tray menu) would hold the sweep and every tick with it.
    host_.AfterSweep();
}

void WindowMonitor::CloseIfMatching(Hwnd hWnd, std::optional<KeywordMatcher>& matcher) {
    // Only 0 is no window: handles read as negative are real (Windows sign-extends them, and a
    // slot's reuse count can set the top bit).
    if (hWnd == 0 || hWnd == Globals::MainWindowHandle) {
        return;
    }
    // A window that has not answered our last request (hung, or asking its user a question)
    // is not asked again: a second request would stack a second question on the first.
    if (const auto it = known_.find(hWnd); it != known_.end() && it->second.unanswered) {
        return;
    }
    std::array<char, kLongestTitle + 1> TitleBuffer{};
    constexpr auto kBufferSize = static_cast<std::int32_t>(TitleBuffer.size());
    const std::int32_t length = std::clamp(
        windows_.GetWindowTextA(hWnd, TitleBuffer.data(), kBufferSize), 0, kBufferSize - 1);
    const std::wstring title =
        text_.AnsiToUnicode(std::string_view(TitleBuffer.data(), static_cast<std::size_t>(length)));
    // Built at the first title, so the list as it stands now counts, its errors raised here.
    if (!matcher) {
        matcher.emplace(text_, host_.KeywordList());
    }
    // What is left out is told apart only for a title that matches: a sweep costs no more.
    if (!matcher->Matches(title)) {
        return;
    }
    UInt processId = 0;
    const UInt thread = windows_.GetWindowThreadProcessId(hWnd, &processId);
    // Vintrell's own windows (its input-method window, tooltips, its message boxes).
    const bool own = thread != 0 && processId == windows_.GetCurrentProcessId();
    if (own || IsSystemWindow(hWnd)) {
        return;
    }
    KnownWindow& window = known_.try_emplace(hWnd, KnownWindow{thread, look_}).first->second;
    window.held = HeldByItsThread(window);
    if (window.held) {
        return;
    }
    // A window of this thread answers within the call, so the record is made first.
    window.askedAt = look_;
    window.unanswered = true;
    if (windows_.SendMessageCallbackA(hWnd, WM_CLOSE, 0, 0, &WindowMonitor::CloseRequestHandled,
                                      reinterpret_cast<std::uintptr_t>(this)) == 0) {
        // Refused (a window of an elevated program, say): nothing is waiting for an answer.
        known_.at(hWnd).unanswered = false;
    }
}

void WindowMonitor::CloseRequestHandled(Hwnd hWnd, UInt /*msg*/, std::uintptr_t context,
                                        LResult /*result*/) {
    try {
        reinterpret_cast<WindowMonitor*>(context)->OnAnswer(hWnd);
    } catch (...) {
        // Nothing may unwind into the system; the next sweep asks what was held.
    }
}

void WindowMonitor::OnAnswer(Hwnd hWnd) {
    // Whether the window closed is not looked at: the next sweep finds it if it stayed.
    const auto it = known_.find(hWnd);
    if (it == known_.end() || !it->second.unanswered) {
        return;
    }
    it->second.unanswered = false;
    // The windows its thread held are asked now, their titles read anew; each is held again
    // while another request to the thread is out.
    std::vector<Hwnd> held;
    for (const auto& [handle, window] : known_) {
        if (window.held && window.thread == it->second.thread) {
            held.push_back(handle);
        }
    }
    CheckOutsideSweep(held);
}

void WindowMonitor::Sweep() {
    std::wstring description;
    try {
        {
            ++look_;
            Enum::HandleCollection WindowHandles;
            windows_.EnumWindows(&Enum::EnumChildProc, reinterpret_cast<LParam>(&WindowHandles));
            if (WindowHandles.outOfMemory) {
                throw AppError(err::kOutOfMemory, "Timer1_Timer", L"Out of memory");
            }
            ForgetClosedWindows(WindowHandles.handles);
            std::optional<KeywordMatcher> matcher;
            for (const Hwnd hWnd : WindowHandles.handles) {
                CloseIfMatching(hWnd, matcher);
            }
        }
        toolkit_.DoEvents();
        return;
    } catch (...) {
        description = CurrentErrorDescription(text_);
    }
    host_.AbortMonitoring(description);
}

void WindowMonitor::ForgetClosedWindows(const std::vector<Hwnd>& desktop) {
    if (known_.empty()) {
        return;
    }
    const std::unordered_set<Hwnd> present(desktop.begin(), desktop.end());
    std::erase_if(known_, [&](const auto& window) { return !present.contains(window.first); });
}

}  // namespace vt
