#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/sim_text.h"

namespace vt::sim {

namespace {

// Copies as much of `text` as fits into a caller's buffer of `maxCount` characters, with its
// terminating NUL, as GetWindowTextA and GetClassNameA do; the count copied.
std::int32_t CopyOut(std::string_view text, char* buffer, std::int32_t maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    const auto count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxCount - 1));
    text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<std::int32_t>(count);
}

}  // namespace

Hwnd SimDesktop::PutWindow(SimWindow window) {
    if (window.handle == 0) {
        window.handle = nextHandle_;
        nextHandle_ = static_cast<Hwnd>(static_cast<std::uint32_t>(nextHandle_) + 4u);
    }
    if (window.threadId == 0) {
        const SimWindow* owner = Find(window.owner);
        window.threadId = owner != nullptr ? owner->threadId : nextThread_++;
    }
    if (window.parent == 0) {
        zOrder_.push_back(window.handle);
    }
    const Hwnd handle = window.handle;
    windows_[handle] = std::move(window);
    return handle;
}

void SimDesktop::DestroyWindow(Hwnd handle) {
    if (windows_.erase(handle) == 0) {
        return;
    }
    questions_.erase(handle);  // their requests are never answered
    std::erase(zOrder_, handle);
    std::vector<Hwnd> owned;
    for (const auto& [other, window] : windows_) {
        if (window.owner == handle) {
            owned.push_back(other);
        }
    }
    for (const Hwnd other : owned) {
        DestroyWindow(other);
    }
}

std::int32_t SimDesktop::WindowCount() const {
    return static_cast<std::int32_t>(
        std::count_if(windows_.begin(), windows_.end(),
                      [](const auto& entry) { return entry.second.processId != kOwnProcessId; }));
}

Bool32 SimDesktop::SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                        SendAsyncProc callback, std::uintptr_t data) {
    const auto it = windows_.find(hWnd);
    if (it == windows_.end() || it->second.refusesMessages) {
        return 0;
    }
    if (msg == WM_CLOSE) {
        closeLog_.push_back(hWnd);
        ++it->second.closeRequests;
    }
    const SendCallback done{callback, hWnd, msg, data};
    if (it->second.proc != nullptr) {
        // A window of the caller's thread: handled within the call, the callback right after.
        const LResult result = SendMessageA(hWnd, msg, wParam, lParam);
        if (callback != nullptr) {
            callback(hWnd, msg, data, result);
        }
        return 1;
    }
    if (msg != WM_CLOSE) {
        sendCallbacks_.push_back(done);
        return 1;
    }
    switch (it->second.behaviour) {
        case CloseBehaviour::Hung:
            break;
        case CloseBehaviour::Asks:
            // Its window procedure shows a modal question, whose loop takes the next WM_CLOSE
            // and asks again on top of the first.
            ++it->second.questionsOpen;
            questions_[hWnd].push_back(done);
            break;
        case CloseBehaviour::Closes:
        case CloseBehaviour::Declines:
            HandleClose(hWnd, it->second.behaviour == CloseBehaviour::Closes);
            sendCallbacks_.push_back(done);
            break;
    }
    return 1;
}

void SimDesktop::AnswerQuestion(Hwnd hWnd, bool closes) {
    auto& open = questions_.at(hWnd);
    const SendCallback done = open.back();
    open.pop_back();
    --windows_.at(hWnd).questionsOpen;
    sendCallbacks_.push_back(done);
    HandleClose(hWnd, closes);
}

void SimDesktop::RunSendCallbacks() {
    // Only those waiting now; a callback may send again.
    for (const SendCallback& done : std::exchange(sendCallbacks_, {})) {
        if (done.proc != nullptr) {
            done.proc(done.hWnd, done.msg, done.data, 0);
        }
    }
}

void SimDesktop::HandleClose(Hwnd hWnd, bool closes) {
    // A copy: the handler may destroy the window that holds it.
    const std::function<void()> onClose = windows_.at(hWnd).onClose;
    if (onClose) {
        onClose();
    }
    if (closes) {
        DestroyWindow(hWnd);
    }
}

Bool32 SimDesktop::PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    posted_.push_back({hWnd, msg, wParam, lParam});
    return 1;
}

std::vector<std::pair<Hwnd, UInt>> SimDesktop::PostedMessages() const {
    std::vector<std::pair<Hwnd, UInt>> log;
    for (const PostedMessage& posted : posted_) {
        log.emplace_back(posted.hWnd, posted.msg);
    }
    return log;
}

void SimDesktop::DeliverPosted() {
    const std::vector<PostedMessage> waiting(
        posted_.begin() + static_cast<std::ptrdiff_t>(delivered_), posted_.end());
    delivered_ = posted_.size();
    // A window destroyed meanwhile takes nothing more.
    for (const PostedMessage& posted : waiting) {
        SendMessageA(posted.hWnd, posted.msg, posted.wParam, posted.lParam);
    }
}

UInt SimDesktop::RegisterWindowMessageA(const char* name) {
    if (name == nullptr || *name == '\0') {
        return 0;
    }
    // Registered names are atoms: case-insensitive.
    const auto [it, added] = registeredMessages_.try_emplace(
        UpperAnsi(name), static_cast<UInt>(0xC000 + registeredMessages_.size()));
    return it->second;
}

Bool32 SimDesktop::ChangeWindowMessageFilterEx(Hwnd hWnd, UInt message, UInt action) {
    if (!WindowExists(hWnd) || action != MSGFLT_ALLOW) {
        return 0;
    }
    windows_.at(hWnd).allowedMessages.insert(message);
    return 1;
}

void SimDesktop::RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject, std::int32_t idChild) {
    const SimWindow* window = Find(hWnd);
    const bool own = window != nullptr && window->threadId == kOwnThreadId;
    // Taken first: a callback may take its hook down.
    std::vector<Hook> due;
    for (const auto& [id, hook] : hooks_) {
        if (event >= hook.eventMin && event <= hook.eventMax &&
            !(own && (hook.flags & WINEVENT_SKIPOWNPROCESS) != 0)) {
            due.push_back(hook);
        }
    }
    for (const Hook& hook : due) {
        hook.proc(hook.context, event, hWnd, idObject, idChild);
    }
}

Bool32 SimDesktop::EnumWindows(EnumWindowsProc proc, LParam lParam) {
    if (proc == nullptr) {
        return 0;
    }
    // The list is taken before the first call, as Windows does: the callback may change the
    // desktop without disturbing the enumeration.
    const std::vector<Hwnd> handles(zOrder_.rbegin(), zOrder_.rend());
    for (const Hwnd handle : handles) {
        if (proc(handle, lParam) == 0) {
            break;
        }
    }
    return 1;
}

Hwnd SimDesktop::FindWindowA(const char* className, const char* windowName) {
    if (onFindWindow) {
        onFindWindow();
    }
    if (className == nullptr) {
        return 0;
    }
    const auto same = [](std::string_view a, std::string_view b) {
        return UpperAnsi(a) == UpperAnsi(b);
    };
    for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
        const SimWindow* window = Find(*it);
        if (window != nullptr && same(window->className, className) &&
            (windowName == nullptr || same(window->title, windowName))) {
            return *it;
        }
    }
    return 0;
}

std::int32_t SimDesktop::GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    const SimWindow* window = Find(hWnd);
    return CopyOut(window != nullptr ? window->title : "", buffer, maxCount);
}

WndProc SimDesktop::SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) {
    const auto it = windows_.find(hWnd);
    // Another process's window cannot be subclassed.
    if (index != GWL_WNDPROC || it == windows_.end() || it->second.proc == nullptr) {
        return nullptr;
    }
    return std::exchange(it->second.proc, newProc);
}

Bool32 SimDesktop::SetForegroundWindow(Hwnd hWnd) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    foreground_ = hWnd;
    return 1;
}

Hwnd SimDesktop::GetLastActivePopup(Hwnd hWnd) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
        const SimWindow* window = Find(*it);
        if (window != nullptr && window->owner == hWnd) {
            return *it;
        }
    }
    return hWnd;
}

std::int32_t SimDesktop::GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    const SimWindow* window = Find(hWnd);
    return window != nullptr ? CopyOut(window->className, buffer, maxCount) : 0;
}

UInt SimDesktop::GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) {
    const SimWindow* window = Find(hWnd);
    if (processId != nullptr) {
        *processId = window != nullptr ? window->processId : 0;
    }
    return window != nullptr ? window->threadId : 0;
}

Hwnd SimDesktop::GetAncestor(Hwnd hWnd, UInt flags) {
    const SimWindow* window = Find(hWnd);
    if (flags != GA_PARENT || window == nullptr) {
        return 0;
    }
    return window->parent != 0 ? window->parent : kDesktopWindow;
}

Hwineventhook SimDesktop::SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                          LParam context, UInt flags) {
    if (failHooks_ || proc == nullptr || eventMin > eventMax) {
        return 0;
    }
    hooks_[++lastHook_] = {eventMin, eventMax, proc, context, flags};
    return lastHook_;
}

Bool32 SimDesktop::Shell_NotifyIconA(UInt message, NotifyIconDataA* data) {
    if (data == nullptr) {
        return 0;
    }
    bool succeeded = ApplyNotifyIcon(message, *data);
    if (std::int32_t& timeouts = notifyTimeouts_[message]; timeouts > 0) {
        --timeouts;
        succeeded = false;
    }
    notifyCalls_.push_back({message, *data, succeeded});
    return succeeded ? 1 : 0;
}

bool SimDesktop::ApplyNotifyIcon(UInt message, const NotifyIconDataA& data) {
    if (std::int32_t& failures = notifyFailures_[message]; failures > 0) {
        --failures;
        return false;
    }
    const bool exists =
        trayIcon_.has_value() && trayIcon_->hWnd == data.hWnd && trayIcon_->uID == data.uID;
    // NIM_ADD wants an icon that is not there yet, NIM_MODIFY and NIM_DELETE one that is.
    if (data.cbSize != sizeof(NotifyIconDataA) || (message == NIM_ADD ? exists : !exists)) {
        return false;
    }
    if (message == NIM_DELETE) {
        trayIcon_.reset();
        return true;
    }
    if (message == NIM_ADD) {
        trayIcon_ = NotifyIconDataA{};
        trayIcon_->cbSize = data.cbSize;
        trayIcon_->hWnd = data.hWnd;
        trayIcon_->uID = data.uID;
    }
    // The shell takes only the members that uFlags names.
    trayIcon_->uFlags |= data.uFlags;
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        trayIcon_->uCallbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0) {
        trayIcon_->hIcon = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        std::memcpy(trayIcon_->szTip, data.szTip, sizeof trayIcon_->szTip);
    }
    return true;
}

LResult SimDesktop::MouseOnTrayIcon(UInt mouseMessage) {
    if (!trayIcon_ || (trayIcon_->uFlags & NIF_MESSAGE) == 0) {
        return 0;
    }
    return SendMessageA(trayIcon_->hWnd, trayIcon_->uCallbackMessage, trayIcon_->uID,
                        static_cast<LParam>(mouseMessage));
}

void SimDesktop::RecreateTaskbar() {
    trayIcon_.reset();
    const UInt taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    std::vector<Hwnd> reached;
    for (const auto& [handle, window] : windows_) {
        // From Explorer, of lower integrity than an elevated program.
        if (!elevated_ || window.allowedMessages.contains(taskbarCreated)) {
            reached.push_back(handle);
        }
    }
    for (const Hwnd handle : reached) {
        SendMessageA(handle, taskbarCreated, 0, 0);
    }
}

}  // namespace vt::sim
