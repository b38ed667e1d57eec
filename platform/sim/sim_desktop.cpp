#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/sim_text.h"
#include "resources/layout.h"

namespace vt::sim {

namespace {

// Copies as much of `text` as fits into a caller's buffer of `maxCount` characters, with its
// terminating NUL, as GetWindowTextA and GetClassNameA do; the count copied.
std::int32_t CopyOut(std::string_view text, char* buffer, std::int32_t maxCount) {
    const auto count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxCount - 1));
    text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<std::int32_t>(count);
}

}  // namespace

// ---- Other programs' windows -------------------------------------------------------------------

Hwnd SimDesktop::AddWindow(std::wstring_view title, CloseBehaviour behaviour, Hwnd owner) {
    return AddWindowAnsi(EncodeAnsi(title), behaviour, owner);
}

Hwnd SimDesktop::AddWindowAnsi(std::string title, CloseBehaviour behaviour, Hwnd owner) {
    // A window's text ends at its first NUL, as SetWindowTextA stores it.
    if (const auto nul = title.find('\0'); nul != std::string::npos) {
        title.resize(nul);
    }
    const Hwnd handle = nextHandle_;
    nextHandle_ = static_cast<Hwnd>(static_cast<std::uint32_t>(nextHandle_) + 4u);
    SimWindow& window = windows_[handle];
    window.handle = handle;
    window.title = std::move(title);
    window.owner = owner;
    window.behaviour = behaviour;
    const auto ownerWindow = windows_.find(owner);
    window.threadId = ownerWindow != windows_.end() ? ownerWindow->second.threadId : nextThread_++;
    AddToZOrder(handle);
    return handle;
}

SimWindow& SimDesktop::Window(Hwnd handle) {
    return windows_.at(handle);
}

bool SimDesktop::WindowExists(Hwnd handle) const {
    return windows_.contains(handle) || IsForm(handle);
}

void SimDesktop::DestroyWindow(Hwnd handle) {
    if (windows_.erase(handle) == 0) {
        return;
    }
    questions_.erase(handle);  // their requests are never answered
    RemoveFromZOrder(handle);
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

Hwnd SimDesktop::AddChildWindow(Hwnd parent, std::wstring_view title) {
    const Hwnd handle = AddWindow(title);
    RemoveFromZOrder(handle);
    windows_[handle].parent = parent;
    windows_[handle].owner = parent;  // goes with its parent
    if (const auto it = windows_.find(parent); it != windows_.end()) {
        windows_[handle].threadId = it->second.threadId;
    }
    return handle;
}

void SimDesktop::SetTitle(Hwnd handle, std::wstring_view title) {
    windows_.at(handle).title = EncodeAnsi(title);
}

void SimDesktop::RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject, std::int32_t idChild) {
    // Taken first: a callback may take its hook down.
    std::vector<Hook> due;
    for (const auto& [id, hook] : hooks_) {
        if (event >= hook.eventMin && event <= hook.eventMax &&
            !(IsForm(hWnd) && (hook.flags & WINEVENT_SKIPOWNPROCESS) != 0)) {
            due.push_back(hook);
        }
    }
    for (const Hook& hook : due) {
        hook.proc(hook.context, event, hWnd, idObject, idChild);
    }
}

void SimDesktop::AddRawHandle(Hwnd handle) {
    zOrder_.emplace(nextZ_++, handle);
}

std::int32_t SimDesktop::WindowCount() const {
    return static_cast<std::int32_t>(windows_.size());
}

void SimDesktop::AddToZOrder(Hwnd handle) {
    zIndex_[handle] = nextZ_;
    zOrder_.emplace(nextZ_++, handle);
}

void SimDesktop::RemoveFromZOrder(Hwnd handle) {
    const auto it = zIndex_.find(handle);
    if (it == zIndex_.end()) {
        return;
    }
    zOrder_.erase(it->second);
    zIndex_.erase(it);
}

// ---- Form1's window
// ------------------------------------------------------------------------------

void SimDesktop::PutFormOnDesktop(Hwnd handle, WndProc classProc, std::wstring_view caption) {
    TakeFormOffDesktop();
    formHandle_ = handle;
    formOnDesktop_ = true;
    formProc_ = classProc;
    formTitle_ = EncodeAnsi(caption);
    formFilterAllows_.clear();
    AddToZOrder(handle);
}

void SimDesktop::TakeFormOffDesktop() {
    if (!formOnDesktop_) {
        return;
    }
    formOnDesktop_ = false;
    postedToForm_.clear();
    RemoveFromZOrder(formHandle_);
}

void SimDesktop::SetFormTitle(std::wstring_view caption) {
    formTitle_ = EncodeAnsi(caption);
}

std::deque<PostedMessage> SimDesktop::TakePostedToForm() {
    return std::exchange(postedToForm_, {});
}

LResult SimDesktop::SendToForm(UInt msg, WParam wParam, LParam lParam) {
    if (!formOnDesktop_ || formProc_ == nullptr) {
        return 0;
    }
    return formProc_(formHandle_, msg, wParam, lParam);
}

// ---- WindowSystem
// --------------------------------------------------------------------------------

Bool32 SimDesktop::EnumWindows(EnumWindowsProc proc, LParam lParam) {
    if (proc == nullptr) {
        return 0;
    }
    // The list is taken before the first call, as Windows does: the callback may change the
    // desktop without disturbing the enumeration.
    std::vector<Hwnd> handles;
    handles.reserve(zOrder_.size());
    for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
        handles.push_back(it->second);
    }
    for (const Hwnd handle : handles) {
        if (proc(handle, lParam) == 0) {
            break;
        }
    }
    return 1;
}

Hwnd SimDesktop::FindWindowA(const char* className, const char* windowName) {
    ++findWindowCalls_;
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
        const Hwnd hWnd = it->second;
        std::string_view windowClass = kForm1ClassName;
        std::string_view title = formTitle_;
        if (!IsForm(hWnd)) {
            const auto window = windows_.find(hWnd);
            if (window == windows_.end()) {
                continue;  // a raw handle
            }
            windowClass = window->second.className;
            title = window->second.title;
        }
        if (same(windowClass, className) && (windowName == nullptr || same(title, windowName))) {
            return hWnd;
        }
    }
    return 0;
}

Bool32 SimDesktop::AllowSetForegroundWindow(UInt processId) {
    foregroundAllowed_.push_back(processId);
    return processId != 0 ? 1 : 0;
}

std::int32_t SimDesktop::GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    std::string_view title;
    if (IsForm(hWnd)) {
        title = formTitle_;
    } else if (const auto it = windows_.find(hWnd); it != windows_.end()) {
        title = it->second.title;
    }
    return CopyOut(title, buffer, maxCount);
}

Bool32 SimDesktop::SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                        SendAsyncProc callback, std::uintptr_t data) {
    const SendCallback done{callback, hWnd, msg, data};
    if (IsForm(hWnd)) {
        // A window of the caller's thread: handled within the call, the callback right after.
        if (msg == WM_CLOSE) {
            closeLog_.push_back(hWnd);
        }
        const LResult result = SendToForm(msg, wParam, lParam);
        if (callback != nullptr) {
            callback(hWnd, msg, data, result);
        }
        return 1;
    }
    const auto it = windows_.find(hWnd);
    if (it == windows_.end() || it->second.refusesMessages) {
        return 0;
    }
    if (msg != WM_CLOSE) {
        sendCallbacks_.push_back(done);
        return 1;
    }
    closeLog_.push_back(hWnd);
    ++it->second.closeRequests;
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

WndProc SimDesktop::SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) {
    if (index != GWL_WNDPROC || !IsForm(hWnd)) {
        return nullptr;
    }
    return std::exchange(formProc_, newProc);
}

LResult SimDesktop::CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                    LParam lParam) {
    return proc == nullptr ? 0 : proc(hWnd, msg, wParam, lParam);
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
        const auto window = windows_.find(it->second);
        if (window != windows_.end() && window->second.owner == hWnd &&
            window->second.parent == 0) {
            return window->first;
        }
    }
    return hWnd;
}

Bool32 SimDesktop::PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    posted_.emplace_back(hWnd, msg);
    if (IsForm(hWnd)) {
        postedToForm_.push_back({msg, wParam, lParam});
    }
    return 1;
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
    if (IsForm(hWnd)) {
        formFilterAllows_.insert(message);
    }
    return 1;
}

std::int32_t SimDesktop::GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    std::string_view name;
    if (IsForm(hWnd)) {
        name = kForm1ClassName;
    } else if (const auto it = windows_.find(hWnd); it != windows_.end()) {
        name = it->second.className;
    } else {
        return 0;
    }
    return CopyOut(name, buffer, maxCount);
}

UInt SimDesktop::GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) {
    UInt process = 0;
    UInt thread = 0;
    if (IsForm(hWnd)) {
        process = kOwnProcessId;
        thread = kOwnThreadId;
    } else if (const auto it = windows_.find(hWnd); it != windows_.end()) {
        process = it->second.processId;
        thread = it->second.threadId;
    }
    if (processId != nullptr) {
        *processId = process;
    }
    return thread;
}

Hwnd SimDesktop::GetAncestor(Hwnd hWnd, UInt flags) {
    if (flags != GA_PARENT || !WindowExists(hWnd)) {
        return 0;
    }
    const auto it = windows_.find(hWnd);
    return it != windows_.end() && it->second.parent != 0 ? it->second.parent : kDesktopWindow;
}

Hwineventhook SimDesktop::SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                          LParam context, UInt flags) {
    if (failHooks_ || proc == nullptr || eventMin > eventMax) {
        return 0;
    }
    hooks_[++lastHook_] = {eventMin, eventMax, proc, context, flags};
    return lastHook_;
}

Bool32 SimDesktop::UnhookWinEvent(Hwineventhook hook) {
    return hooks_.erase(hook) != 0 ? 1 : 0;
}

// ---- The notification area
// -----------------------------------------------------------------------

Bool32 SimDesktop::Shell_NotifyIconA(UInt message, NotifyIconDataA* data) {
    if (data == nullptr) {
        return 0;
    }
    NotifyCall call{message, *data, false};
    call.succeeded = ApplyNotifyIcon(message, *data);
    if (auto timeout = notifyTimeouts_.find(message);
        timeout != notifyTimeouts_.end() && timeout->second > 0) {
        --timeout->second;
        call.succeeded = false;
    }
    notifyCalls_.push_back(call);
    return call.succeeded ? 1 : 0;
}

bool SimDesktop::ApplyNotifyIcon(UInt message, const NotifyIconDataA& data) {
    if (auto failure = notifyFailures_.find(message);
        failure != notifyFailures_.end() && failure->second > 0) {
        --failure->second;
        return false;
    }
    if (data.cbSize != sizeof(NotifyIconDataA)) {
        return false;
    }
    const bool exists =
        trayIcon_.has_value() && trayIcon_->hWnd == data.hWnd && trayIcon_->uID == data.uID;
    switch (message) {
        case NIM_ADD:
            if (exists) {
                return false;
            }
            trayIcon_ = NotifyIconDataA{};
            trayIcon_->cbSize = data.cbSize;
            trayIcon_->hWnd = data.hWnd;
            trayIcon_->uID = data.uID;
            UpdateIcon(*trayIcon_, data);
            return true;
        case NIM_MODIFY:
            if (!exists) {
                return false;
            }
            UpdateIcon(*trayIcon_, data);
            return true;
        case NIM_DELETE:
            if (!exists) {
                return false;
            }
            trayIcon_.reset();
            return true;
        default:
            return false;
    }
}

void SimDesktop::UpdateIcon(NotifyIconDataA& icon, const NotifyIconDataA& data) {
    // The shell takes only the members that uFlags names.
    icon.uFlags |= data.uFlags;
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.uCallbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0) {
        icon.hIcon = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        std::memcpy(icon.szTip, data.szTip, sizeof icon.szTip);
    }
}

LResult SimDesktop::MouseOnTrayIcon(UInt mouseMessage) {
    if (!trayIcon_ || (trayIcon_->uFlags & NIF_MESSAGE) == 0 || !IsForm(trayIcon_->hWnd)) {
        return 0;
    }
    return SendToForm(trayIcon_->uCallbackMessage, trayIcon_->uID,
                      static_cast<LParam>(mouseMessage));
}

void SimDesktop::RecreateTaskbar() {
    trayIcon_.reset();
    const UInt taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    // From Explorer, of lower integrity than an elevated program.
    if (elevated_ && !formFilterAllows_.contains(taskbarCreated)) {
        return;
    }
    SendToForm(taskbarCreated, 0, 0);
}

}  // namespace vt::sim
