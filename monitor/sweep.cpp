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

// The taskbars and the input-method windows that every GUI thread has: closing them breaks the
// shell or text input in their programs, whatever their titles say.
constexpr std::array<std::string_view, 4> kSystemClasses{"Shell_TrayWnd", "Shell_SecondaryTrayWnd",
                                                         "IME", "MSCTFIME UI"};

bool SameClassName(std::string_view a, std::string_view b) {
    // Class names are compared ignoring case, as Windows does.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto upper = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        };
        return upper(x) == upper(y);
    });
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

bool WindowMonitor::AwaitsAnswer(UInt thread) const {
    // A thread that has not answered is asking its user (or hung): a request to any of its
    // windows would be taken inside that question, the question's own box among them, whose
    // closing answers Cancel and has the owner asked again.
    return thread != 0 &&
           std::any_of(closeRequests_.begin(), closeRequests_.end(), [thread](const auto& request) {
               return request.second.unhandled && request.second.thread == thread;
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
    if (const auto it = closeRequests_.find(hWnd);
        it != closeRequests_.end() && it->second.unhandled) {
        return;
    }
    std::array<char, kLongestTitle + 1> TitleBuffer{};
    constexpr auto kBufferSize = static_cast<std::int32_t>(TitleBuffer.size());
    const std::int32_t length = std::clamp(
        windows_.GetWindowTextA(hWnd, TitleBuffer.data(), kBufferSize), 0, kBufferSize - 1);
    const std::wstring title =
        text_.AnsiToUnicode(std::string_view(TitleBuffer.data(), static_cast<std::size_t>(length)));
    // Built at the first title examined, so the list as it stands now is what counts and its
    // errors arise where the title test's would.
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
    if (own || IsSystemWindow(hWnd) || AwaitsAnswer(thread)) {
        return;
    }
    // Unhandled until its callback says otherwise; a window of this thread answers within the
    // call, so the entry is made first.
    closeRequests_[hWnd] = {thread, true};
    if (windows_.SendMessageCallbackA(hWnd, WM_CLOSE, 0, 0, &WindowMonitor::CloseRequestHandled,
                                      reinterpret_cast<std::uintptr_t>(this)) == 0) {
        // Refused (a window of an elevated program, say): nothing is waiting for an answer.
        closeRequests_.erase(hWnd);
    }
}

void WindowMonitor::CloseRequestHandled(Hwnd hWnd, UInt /*msg*/, std::uintptr_t context,
                                        LResult /*result*/) {
    // Whether the window closed is not looked at: the next sweep finds it if it stayed.
    auto& monitor = *reinterpret_cast<WindowMonitor*>(context);
    if (const auto it = monitor.closeRequests_.find(hWnd); it != monitor.closeRequests_.end()) {
        it->second.unhandled = false;
    }
}

void WindowMonitor::Sweep() {
    std::wstring description;
    try {
        {
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
    if (closeRequests_.empty()) {
        return;
    }
    const std::unordered_set<Hwnd> present(desktop.begin(), desktop.end());
    std::erase_if(closeRequests_,
                  [&](const auto& request) { return !present.contains(request.first); });
}

}  // namespace vt
