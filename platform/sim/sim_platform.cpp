#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/error.h"
#include "platform/sim/best_fit_1252.h"

namespace vt::sim {

namespace {

// Messages the window layer uses that the program itself never names.
constexpr UInt kWmQueryEndSession = 0x0011;
constexpr UInt kWmEndSession = 0x0016;
constexpr UInt kWmTimer = 0x0113;
constexpr WParam kTimer1Id = 1;
// WM_COMMAND notification codes in the high word of wParam, as buttons send them.
constexpr WParam kClickNotification = 0;
constexpr WParam kDblClickNotification = 5;

// Read access: KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY, READ_CONTROL, and the
// WOW64 view flags, which choose a view rather than ask for a right.
constexpr UInt kReadAccess = 0x0001 | 0x0008 | 0x0010 | 0x00020000 | 0x0100 | 0x0200;
constexpr std::int32_t kErrorInvalidHandle = 6;
constexpr std::int32_t kErrorInvalidParameter = 87;

// The frame around Form1's client area: fixed single border and a caption bar, in pixels.
constexpr std::int32_t kTwipsPerPixel = 15;
constexpr std::int32_t kFrameWidthPixels = 6;
constexpr std::int32_t kFrameHeightPixels = 25;

// ---- Code page 1252 ----------------------------------------------------------------------

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 controls of equal value.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t DecodeCp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kCp1252High[byte - 0x80];
    }
    return byte;
}

// The byte for a code point; one code page 1252 lacks takes its best fit, else '?'.
char EncodeCp1252(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        return static_cast<char>(code);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == code) {
            return static_cast<char>(0x80 + i);
        }
    }
    const char bestFit = BestFit1252(code);
    return bestFit != '\0' ? bestFit : '?';
}

// ---- Upper case ----------------------------------------------------------------------------

// The user locale's upper-case mapping: code points first..last, taking every `step`-th one
// from `first`, map to code + delta. Everything not listed maps to itself (U+00DF among them,
// and the micro sign U+00B5, which Windows does not upper-case).
struct UpperRule {
    char32_t first;
    char32_t last;
    char32_t step;
    std::int32_t delta;
};

constexpr std::array<UpperRule, 26> kUpperRules{{
    // Basic Latin and Latin-1
    {0x0061, 0x007A, 1, -0x20},
    {0x00E0, 0x00F6, 1, -0x20},
    {0x00F8, 0x00FE, 1, -0x20},
    {0x00FF, 0x00FF, 1, 0x0178 - 0x00FF},
    // Latin Extended-A: pairs; U+0130, U+0131, U+0138, U+0149 and U+017F stay as they are
    {0x0101, 0x012F, 2, -1},
    {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},
    {0x014B, 0x0177, 2, -1},
    {0x017A, 0x017E, 2, -1},
    // Latin Extended-B: the florin of code page 1252
    {0x0192, 0x0192, 1, -1},
    // Greek
    {0x03AC, 0x03AC, 1, 0x0386 - 0x03AC},
    {0x03AD, 0x03AF, 1, 0x0388 - 0x03AD},
    {0x03B1, 0x03C1, 1, -0x20},
    {0x03C2, 0x03C2, 1, 0x03A3 - 0x03C2},  // final sigma
    {0x03C3, 0x03CB, 1, -0x20},
    {0x03CC, 0x03CC, 1, 0x038C - 0x03CC},
    {0x03CD, 0x03CE, 1, 0x038E - 0x03CD},
    // Cyrillic
    {0x0430, 0x044F, 1, -0x20},
    {0x0450, 0x045F, 1, -0x50},
    {0x0461, 0x0481, 2, -1},
    {0x048B, 0x04BF, 2, -1},
    {0x04C2, 0x04CE, 2, -1},
    {0x04CF, 0x04CF, 1, 0x04C0 - 0x04CF},
    {0x04D1, 0x052F, 2, -1},
    // Latin Extended Additional (Vietnamese and Welsh letters)
    {0x1E01, 0x1E95, 2, -1},
    {0x1EA1, 0x1EFF, 2, -1},
}};

char32_t UpperChar(char32_t code) {
    for (const UpperRule& rule : kUpperRules) {
        if (code >= rule.first && code <= rule.last && (code - rule.first) % rule.step == 0) {
            return static_cast<char32_t>(static_cast<std::int32_t>(code) + rule.delta);
        }
    }
    return code;
}

std::wstring UpperWide(std::wstring_view text) {
    std::wstring upper;
    upper.reserve(text.size());
    for (wchar_t c : text) {
        // Surrogates (16-bit wchar_t) fall outside every rule and pass through unchanged.
        upper.push_back(static_cast<wchar_t>(UpperChar(static_cast<char32_t>(c))));
    }
    return upper;
}

std::wstring DecodeAnsi(std::string_view ansi) {
    std::wstring text;
    text.reserve(ansi.size());
    for (char c : ansi) {
        text.push_back(static_cast<wchar_t>(DecodeCp1252(static_cast<unsigned char>(c))));
    }
    return text;
}

std::string EncodeAnsi(std::wstring_view text) {
    std::string ansi;
    ansi.reserve(text.size());
    for (const wchar_t unit : text) {
        const auto code = static_cast<char32_t>(unit);
        // Windows converts UTF-16 units: a character beyond the BMP is two of them, two '?'.
        if (code > 0xFFFF) {
            ansi += "??";
            continue;
        }
        ansi.push_back(EncodeCp1252(code));
    }
    return ansi;
}

// ---- Form1's handle, and the procedure's way back to its SimPlatform -----------------------

std::mutex gInstancesMutex;
std::map<Hwnd, SimPlatform*>& Instances() {
    static std::map<Hwnd, SimPlatform*> instances;
    return instances;
}

// Form1 handles come from one counter for the whole process, so that two simulated desktops
// alive at once never share one in the map above.
std::atomic<Hwnd> gNextFormHandle{0x00F00010};

SimPlatform* FindInstance(Hwnd hWnd) {
    std::lock_guard lock(gInstancesMutex);
    const auto it = Instances().find(hWnd);
    return it == Instances().end() ? nullptr : it->second;
}

bool IsMenuCommand(std::int32_t id) {
    return id == static_cast<std::int32_t>(MenuId::mnuTray) ||
           id == static_cast<std::int32_t>(MenuId::mnuStopMonitoring);
}

std::wstring SettingPath(std::wstring_view appName, std::wstring_view section,
                         std::wstring_view key) {
    // The store lives in the registry: every part is case-insensitive.
    std::wstring path(appName);
    path += L'\\';
    path += section;
    path += L'\\';
    path += key;
    return UpperWide(path);
}

constexpr std::wstring_view kAppName = L"Tolvane";
constexpr std::wstring_view kSection = L"Vintrell";

}  // namespace

// ---- Construction ----------------------------------------------------------------------------

SimPlatform::SimPlatform() {
    for (const Hkey root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CreateKeyPath(root, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
    }
}

SimPlatform::~SimPlatform() {
    UnregisterForm();
}

void SimPlatform::UnregisterForm() {
    if (!formRegistered_) {
        return;
    }
    formRegistered_ = false;
    {
        std::lock_guard lock(gInstancesMutex);
        Instances().erase(formHandle_);
    }
    RemoveFromZOrder(formHandle_);
}

// ---- Text ------------------------------------------------------------------------------------

std::wstring SimPlatform::AnsiToUnicode(std::string_view ansi) const {
    return DecodeAnsi(ansi);
}

std::string SimPlatform::UnicodeToAnsi(std::wstring_view text) const {
    return EncodeAnsi(text);
}

std::wstring SimPlatform::UpperCase(std::wstring_view text) const {
    return UpperWide(text);
}

std::string SimPlatform::Upper(std::string_view text) {
    return EncodeAnsi(UpperWide(DecodeAnsi(text)));
}

std::wstring SimPlatform::Fold(std::wstring_view text) {
    return UpperWide(text);
}

// ---- The desktop -------------------------------------------------------------------------------

Hwnd SimPlatform::AddWindow(std::wstring_view title, CloseBehaviour behaviour, Hwnd owner) {
    return AddWindowAnsi(UnicodeToAnsi(title), behaviour, owner);
}

Hwnd SimPlatform::AddWindowAnsi(std::string title, CloseBehaviour behaviour, Hwnd owner) {
    // A window's text ends at its first NUL, as SetWindowTextA stores it.
    if (const auto nul = title.find('\0'); nul != std::string::npos) {
        title.resize(nul);
    }
    const Hwnd handle = nextHandle_;
    nextHandle_ += 4;
    SimWindow& window = windows_[handle];
    window.handle = handle;
    window.title = std::move(title);
    window.owner = owner;
    window.behaviour = behaviour;
    window.hungSinceMs = nowMs_;
    AddToZOrder(handle);
    return handle;
}

SimWindow& SimPlatform::Window(Hwnd handle) {
    return windows_.at(handle);
}

bool SimPlatform::WindowExists(Hwnd handle) const {
    return windows_.contains(handle) || (formRegistered_ && handle == formHandle_);
}

void SimPlatform::DestroyWindow(Hwnd handle) {
    if (windows_.erase(handle) == 0) {
        return;
    }
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

Hwnd SimPlatform::AddChildWindow(Hwnd parent, std::wstring_view title) {
    const Hwnd handle = AddWindow(title);
    RemoveFromZOrder(handle);
    windows_[handle].parent = parent;
    windows_[handle].owner = parent;  // goes with its parent
    return handle;
}

void SimPlatform::SetTitle(Hwnd handle, std::wstring_view title) {
    windows_.at(handle).title = UnicodeToAnsi(title);
}

void SimPlatform::RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject,
                                std::int32_t idChild) {
    // Taken first: a callback may take its hook down.
    std::vector<Hook> due;
    for (const auto& [id, hook] : hooks_) {
        const bool own = formRegistered_ && hWnd == formHandle_;
        if (event >= hook.eventMin && event <= hook.eventMax &&
            !(own && (hook.flags & WINEVENT_SKIPOWNPROCESS) != 0)) {
            due.push_back(hook);
        }
    }
    for (const Hook& hook : due) {
        hook.proc(hook.context, event, hWnd, idObject, idChild);
    }
}

Hwnd SimPlatform::GetAncestor(Hwnd hWnd, UInt flags) {
    if (flags != GA_PARENT || !WindowExists(hWnd)) {
        return 0;
    }
    const auto it = windows_.find(hWnd);
    return it != windows_.end() && it->second.parent != 0 ? it->second.parent : kDesktopWindow;
}

Hwineventhook SimPlatform::SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                           LParam context, UInt flags) {
    if (failHooks_ || proc == nullptr || eventMin > eventMax) {
        return 0;
    }
    hooks_[++lastHook_] = {eventMin, eventMax, proc, context, flags};
    return lastHook_;
}

Bool32 SimPlatform::UnhookWinEvent(Hwineventhook hook) {
    return hooks_.erase(hook) != 0 ? 1 : 0;
}

void SimPlatform::AddRawHandle(Hwnd handle) {
    zOrder_.emplace(nextZ_++, handle);
}

std::int32_t SimPlatform::WindowCount() const {
    return static_cast<std::int32_t>(windows_.size());
}

void SimPlatform::AddToZOrder(Hwnd handle) {
    zIndex_[handle] = nextZ_;
    zOrder_.emplace(nextZ_++, handle);
}

void SimPlatform::RemoveFromZOrder(Hwnd handle) {
    const auto it = zIndex_.find(handle);
    if (it == zIndex_.end()) {
        return;
    }
    zOrder_.erase(it->second);
    zIndex_.erase(it);
}

Bool32 SimPlatform::EnumWindows(EnumWindowsProc proc, LParam lParam) {
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

std::int32_t SimPlatform::GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    std::string title;
    if (formRegistered_ && hWnd == formHandle_) {
        title = UnicodeToAnsi(caption_);
    } else if (const auto it = windows_.find(hWnd); it != windows_.end()) {
        title = it->second.title;
    }
    const auto count = std::min<std::size_t>(title.size(), static_cast<std::size_t>(maxCount - 1));
    std::memcpy(buffer, title.data(), count);
    buffer[count] = '\0';
    return static_cast<std::int32_t>(count);
}

LResult SimPlatform::SendMessageTimeoutA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                         UInt flags, UInt timeoutMs, std::uintptr_t* result) {
    if (result != nullptr) {
        *result = 0;
    }
    if (formRegistered_ && hWnd == formHandle_) {
        if (msg == WM_CLOSE) {
            closeLog_.push_back(hWnd);
        }
        const LResult answer = SendToForm(msg, wParam, lParam);
        if (result != nullptr) {
            *result = static_cast<std::uintptr_t>(answer);
        }
        return 1;
    }
    const auto it = windows_.find(hWnd);
    if (it == windows_.end()) {
        return 0;
    }
    const SimWindow& window = it->second;
    switch (window.behaviour) {
        case CloseBehaviour::Hung: {
            const bool reportedHung =
                nowMs_ >= window.hungSinceMs && nowMs_ - window.hungSinceMs >= kHungAfterMs;
            if (!((flags & SMTO_ABORTIFHUNG) != 0 && reportedHung)) {
                nowMs_ += timeoutMs;
            }
            return 0;
        }
        case CloseBehaviour::Busy:
            if ((flags & SMTO_NOTIMEOUTIFNOTHUNG) == 0 && window.busyMs > timeoutMs) {
                nowMs_ += timeoutMs;
                return 0;
            }
            nowMs_ += window.busyMs;
            break;
        case CloseBehaviour::Closes:
        case CloseBehaviour::Declines:
            break;
    }
    if (msg == WM_CLOSE) {
        DeliverClose(hWnd);
    }
    return 1;
}

void SimPlatform::DeliverClose(Hwnd hWnd) {
    // A copy: the handler may destroy the window that holds it.
    const std::function<void()> onClose = windows_.at(hWnd).onClose;
    if (onClose) {
        onClose();
    }
    closeLog_.push_back(hWnd);
    const auto it = windows_.find(hWnd);
    if (it == windows_.end()) {
        return;
    }
    ++it->second.closeRequests;
    if (it->second.behaviour == CloseBehaviour::Closes) {
        DestroyWindow(hWnd);
    }
}

WndProc SimPlatform::SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) {
    if (index != GWL_WNDPROC || !formRegistered_ || hWnd != formHandle_) {
        return nullptr;
    }
    return std::exchange(formProc_, newProc);
}

LResult SimPlatform::CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                     LParam lParam) {
    return proc == nullptr ? 0 : proc(hWnd, msg, wParam, lParam);
}

Bool32 SimPlatform::SetForegroundWindow(Hwnd hWnd) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    foreground_ = hWnd;
    return 1;
}

Bool32 SimPlatform::PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    if (!WindowExists(hWnd)) {
        return 0;
    }
    posted_.emplace_back(hWnd, msg);
    if (hWnd == formHandle_) {
        pending_.push_back({msg, wParam, lParam});
    }
    return 1;
}

UInt SimPlatform::RegisterWindowMessageA(const char* name) {
    if (name == nullptr || *name == '\0') {
        return 0;
    }
    // Registered names are atoms: case-insensitive.
    const auto [it, added] = registeredMessages_.try_emplace(
        Upper(name), static_cast<UInt>(0xC000 + registeredMessages_.size()));
    return it->second;
}

void SimPlatform::DoEvents() {
    ++doEventsCalls_;
    // Only what is waiting now; what the handlers post waits for the next pass.
    std::deque<PendingMessage> waiting;
    waiting.swap(pending_);
    for (const PendingMessage& message : waiting) {
        SendToForm(message.msg, message.wParam, message.lParam);
    }
    // WM_TIMER is made only when the queue holds nothing else, so it comes last.
    if (std::exchange(tickQueued_, false) && timerEnabled_) {
        DeliverTick();
    }
}

// ---- Clock, chance and timer -------------------------------------------------------------------

bool SimPlatform::Tick() {
    if (!timerEnabled_ || !formRegistered_) {
        return false;
    }
    DeliverTick();
    return true;
}

void SimPlatform::DeliverTick() {
    SendToForm(kWmTimer, kTimer1Id, 0);
}

void SimPlatform::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    if (!enabled) {
        tickQueued_ = false;  // KillTimer removes a WM_TIMER already waiting
    }
}

void SimPlatform::Randomize(double seed) {
    randomizeSeed_ = seed;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seed, sizeof bits);
    rndState_ = static_cast<std::uint32_t>((bits ^ (bits >> 24) ^ (bits >> 48)) & 0xFFFFFF);
}

double SimPlatform::Rnd() {
    if (!forcedRnd_.empty()) {
        const double value = forcedRnd_.front();
        forcedRnd_.pop_front();
        return value;
    }
    // A 24-bit linear congruential generator: deterministic, always in [0, 1).
    rndState_ = (rndState_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<double>(rndState_) / 16777216.0;
}

// ---- Message boxes
// -------------------------------------------------------------------------------

std::int32_t SimPlatform::MessageBox(std::wstring_view text, UInt style,
                                     std::wstring_view caption) {
    ShownMessage shown;
    shown.text = text;
    shown.style = style;
    shown.caption = caption;
    shown.formVisible = formVisible_;
    shown.trayIconShown = trayIcon_.has_value();
    shown.timerEnabled = timerEnabled_;
    messages_.push_back(shown);
    if (onMessageBox) {
        onMessageBox(shown);
    }
    if (!answers_.empty()) {
        const std::int32_t answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return (style & 0x000F) == MB_YESNO ? IDNO : IDOK;
}

// ---- The tray ----------------------------------------------------------------------------------

Bool32 SimPlatform::Shell_NotifyIconA(UInt message, NotifyIconDataA* data) {
    if (data == nullptr) {
        return 0;
    }
    NotifyCall call{message, *data, false};
    call.succeeded = ApplyNotifyIcon(message, *data);
    notifyCalls_.push_back(call);
    return call.succeeded ? 1 : 0;
}

bool SimPlatform::ApplyNotifyIcon(UInt message, const NotifyIconDataA& data) {
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

void SimPlatform::UpdateIcon(NotifyIconDataA& icon, const NotifyIconDataA& data) {
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

LResult SimPlatform::MouseOnTrayIcon(UInt mouseMessage) {
    if (!trayIcon_ || (trayIcon_->uFlags & NIF_MESSAGE) == 0 || !formRegistered_ ||
        trayIcon_->hWnd != formHandle_) {
        return 0;
    }
    return SendToForm(trayIcon_->uCallbackMessage, trayIcon_->uID,
                      static_cast<LParam>(mouseMessage));
}

void SimPlatform::PopupMenu(MenuId /*menu*/) {
    ++menusShown_;
    if (onMenuOpen) {
        onMenuOpen();
    }
    std::optional<MenuId> choice;
    if (!menuChoices_.empty()) {
        choice = menuChoices_.front();
        menuChoices_.pop_front();
    }
    // The chosen item's command is handled before the menu call returns.
    if (choice) {
        SendToForm(WM_COMMAND, static_cast<WParam>(*choice), 0);
    }
}

void SimPlatform::RecreateTaskbar() {
    trayIcon_.reset();
    SendToForm(RegisterWindowMessageA("TaskbarCreated"), 0, 0);
}

// ---- Registry ----------------------------------------------------------------------------------

std::string SimPlatform::KeyName(std::string_view subKey) {
    std::string name = Upper(subKey);
    while (!name.empty() && name.back() == '\\') {
        name.pop_back();
    }
    return name;
}

void SimPlatform::CreateKeyPath(Hkey root, const std::string& name) {
    // Creating a key creates the keys above it.
    for (std::size_t slash = name.find('\\'); slash != std::string::npos;
         slash = name.find('\\', slash + 1)) {
        registry_.try_emplace({root, name.substr(0, slash)});
    }
    registry_.try_emplace({root, name});
}

bool SimPlatform::WriteDenied(Hkey root, const std::string& name) const {
    return std::any_of(deniedKeys_.begin(), deniedKeys_.end(), [&](const auto& denied) {
        return denied.first == root &&
               (name == denied.second ||
                (name.size() > denied.second.size() && name.starts_with(denied.second) &&
                 name[denied.second.size()] == '\\'));
    });
}

std::optional<std::pair<Hkey, std::string>> SimPlatform::ResolveKey(Hkey root,
                                                                    const char* subKey) const {
    std::string name = KeyName(subKey == nullptr ? "" : subKey);
    if (root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER) {
        return std::pair{root, name};
    }
    const auto open = openKeys_.find(root);
    if (open == openKeys_.end()) {
        return std::nullopt;
    }
    if (name.empty()) {
        return std::pair{open->second.root, open->second.subKey};
    }
    std::string path = open->second.subKey.empty() ? name : open->second.subKey + "\\" + name;
    return std::pair{open->second.root, std::move(path)};
}

bool SimPlatform::KeyPresent(Hkey root, const std::string& name) const {
    return name.empty() || registry_.contains({root, name});
}

Hkey SimPlatform::OpenHandle(Hkey root, std::string name, UInt access) {
    const Hkey handle = nextKey_;
    nextKey_ += 4;
    openKeys_[handle] = OpenKey{root, std::move(name), access};
    return handle;
}

std::int32_t SimPlatform::RegOpenKeyExA(Hkey root, const char* subKey, UInt /*options*/,
                                        UInt access, Hkey* result) {
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    *result = 0;
    const auto key = ResolveKey(root, subKey);
    if (!key) {
        return kErrorInvalidHandle;
    }
    if (!KeyPresent(key->first, key->second)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((access & ~kReadAccess) != 0 && WriteDenied(key->first, key->second)) {
        return ERROR_ACCESS_DENIED;
    }
    *result = OpenHandle(key->first, key->second, access);
    return ERROR_SUCCESS;
}

std::int32_t SimPlatform::RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                          Hkey* result) {
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    *result = 0;
    const auto key = ResolveKey(root, subKey);
    if (!key) {
        return kErrorInvalidHandle;
    }
    const bool present = KeyPresent(key->first, key->second);
    if ((!present || (access & ~kReadAccess) != 0) && WriteDenied(key->first, key->second)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!present) {
        CreateKeyPath(key->first, key->second);
    }
    *result = OpenHandle(key->first, key->second, access);
    return ERROR_SUCCESS;
}

std::int32_t SimPlatform::RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                           std::string* data) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto value =
        RegValue(open->second.root, open->second.subKey, valueName == nullptr ? "" : valueName);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (data != nullptr) {
        *data = value->data;
    }
    return ERROR_SUCCESS;
}

std::int32_t SimPlatform::RegSetValueExA(Hkey key, const char* valueName, UInt /*reserved*/,
                                         UInt type, const std::uint8_t* data, UInt size) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (data == nullptr && size != 0) {
        return kErrorInvalidParameter;
    }
    RegistryValue value;
    value.type = type;
    if (size != 0) {
        value.data.assign(reinterpret_cast<const char*>(data), size);
    }
    SetRegValue(open->second.root, open->second.subKey, valueName == nullptr ? "" : valueName,
                std::move(value));
    return ERROR_SUCCESS;
}

std::int32_t SimPlatform::RegDeleteValueA(Hkey key, const char* valueName) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto values = registry_.find({open->second.root, open->second.subKey});
    if (values == registry_.end() ||
        values->second.erase(Upper(valueName == nullptr ? "" : valueName)) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

std::int32_t SimPlatform::RegCloseKey(Hkey key) {
    return openKeys_.erase(key) == 0 ? kErrorInvalidHandle : ERROR_SUCCESS;
}

std::optional<RegistryValue> SimPlatform::RegValue(Hkey root, std::string_view subKey,
                                                   std::string_view name) const {
    const auto values = registry_.find({root, KeyName(subKey)});
    if (values == registry_.end()) {
        return std::nullopt;
    }
    const auto value = values->second.find(Upper(name));
    if (value == values->second.end()) {
        return std::nullopt;
    }
    return value->second.value;
}

std::vector<std::string> SimPlatform::RegValueNames(Hkey root, std::string_view subKey) const {
    std::vector<std::string> names;
    if (const auto values = registry_.find({root, KeyName(subKey)}); values != registry_.end()) {
        for (const auto& [upper, stored] : values->second) {
            names.push_back(stored.name);
        }
    }
    return names;
}

void SimPlatform::SetRegValue(Hkey root, std::string_view subKey, std::string_view name,
                              RegistryValue value) {
    const std::string key = KeyName(subKey);
    CreateKeyPath(root, key);
    auto& stored = registry_[{root, key}][Upper(name)];
    // An existing value keeps the spelling of its name, as the registry does.
    if (stored.name.empty()) {
        stored.name = name;
    }
    stored.value = std::move(value);
}

bool SimPlatform::RegKeyExists(Hkey root, std::string_view subKey) const {
    return KeyPresent(root, KeyName(subKey));
}

void SimPlatform::DenyWrite(Hkey root, std::string_view subKey) {
    deniedKeys_.emplace_back(root, KeyName(subKey));
}

// ---- Settings store ----------------------------------------------------------------------------

std::optional<std::wstring> SimPlatform::GetSetting(std::wstring_view appName,
                                                    std::wstring_view section,
                                                    std::wstring_view key) {
    const std::wstring path = SettingPath(appName, section, key);
    if (std::find(unreadable_.begin(), unreadable_.end(), path) != unreadable_.end()) {
        throw AppError(err::kSettingUnreadable, "GetSetting",
                       L"The setting \"" + std::wstring(key) + L"\" cannot be read as text");
    }
    const auto it = store_.find(path);
    if (it == store_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SimPlatform::SaveSetting(std::wstring_view appName, std::wstring_view section,
                              std::wstring_view key, std::wstring_view value) {
    if (failWrites_) {
        throw AppError(err::kSettingNotWritten, "SaveSetting",
                       L"The setting \"" + std::wstring(key) + L"\" cannot be written");
    }
    const std::wstring path = SettingPath(appName, section, key);
    store_[path] = value;
    // Writing replaces whatever made the old value unreadable.
    std::erase(unreadable_, path);
    settingWrites_.emplace_back(key, value);
}

std::optional<std::wstring> SimPlatform::StoredSetting(std::wstring_view key) const {
    const auto it = store_.find(SettingPath(kAppName, kSection, key));
    if (it == store_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SimPlatform::StoreSetting(std::wstring_view key, std::wstring_view value) {
    store_[SettingPath(kAppName, kSection, key)] = value;
}

void SimPlatform::MakeSettingUnreadable(std::wstring_view key) {
    unreadable_.push_back(SettingPath(kAppName, kSection, key));
}

// ---- Files and the shell
// -------------------------------------------------------------------------

void SimPlatform::AddFile(std::wstring path, bool isCursor) {
    files_[Fold(path)] = isCursor;
}

void SimPlatform::SetShortPath(std::wstring longPath, std::wstring shortPath) {
    shortPaths_[Fold(longPath)] = std::move(shortPath);
}

std::wstring SimPlatform::GetShortPathNameW(std::wstring_view longPath) {
    const auto it = shortPaths_.find(Fold(longPath));
    return it != shortPaths_.end() ? it->second : std::wstring();
}

bool SimPlatform::GetFileDateTime(std::wstring_view path) {
    return !path.empty() && files_.contains(Fold(path));
}

void SimPlatform::Shell(std::wstring_view commandLine, std::int32_t showCommand) {
    if (failLaunch_) {
        throw AppError(err::kFileNotFound, "Shell", L"File not found");
    }
    launched_.emplace_back(commandLine, showCommand);
}

bool SimPlatform::LoadMouseIcon(std::wstring_view path) {
    const auto it = files_.find(Fold(path));
    if (path.empty() || it == files_.end() || !it->second) {
        return false;
    }
    mouseIcon_ = path;
    return true;
}

// ---- Form1
// -----------------------------------------------------------------------------------------

Hwnd SimPlatform::CreateForm(FormEvents& events) {
    UnregisterForm();
    events_ = &events;
    formHandle_ = gNextFormHandle.fetch_add(0x10);
    {
        std::lock_guard lock(gInstancesMutex);
        Instances()[formHandle_] = this;
    }
    formRegistered_ = true;
    ended_ = false;
    AddToZOrder(formHandle_);
    formProc_ = &SimPlatform::FormClassWndProc;
    caption_ = kFormInitialCaption;
    formVisible_ = false;
    timerEnabled_ = false;
    tickQueued_ = false;
    controls_.clear();
    for (const ControlLayout& layout : kForm1Controls) {
        ControlState& state = controls_[layout.id];
        state.visible = layout.visible;
        state.text = layout.caption;
    }
    listItems_.clear();
    selected_ = -1;
    columns_.clear();
    mousePointer_ = 0;
    mouseIcon_.clear();
    return formHandle_;
}

WndProc SimPlatform::FormClassProc() const {
    return &SimPlatform::FormClassWndProc;
}

// Exceptions are let through on purpose: a handler that fails to trap its own error then fails
// the test that drove it, where on Windows it would have crossed into the system.
LResult VT_CALLBACK SimPlatform::FormClassWndProc(Hwnd hWnd, UInt msg, WParam wParam,
                                                  LParam /*lParam*/) {
    SimPlatform* sim = FindInstance(hWnd);
    if (sim == nullptr || sim->events_ == nullptr) {
        return 0;
    }
    switch (msg) {
        case WM_COMMAND:
            return sim->OnFormCommand(wParam);
        case kWmTimer:
            sim->events_->OnTimer();
            return 0;
        case WM_CLOSE:
            sim->events_->OnQueryUnload();
            return 0;
        case kWmQueryEndSession:
            return 1;  // the session may end
        case kWmEndSession:
            return sim->OnFormEndSession(wParam);
        case WM_MOUSEMOVE:
            sim->events_->OnMouseMove(static_cast<ControlId>(wParam & 0xFFFF));
            return 0;
        default:
            return 0;
    }
}

LResult SimPlatform::OnFormCommand(WParam wParam) {
    const auto id = static_cast<std::int32_t>(wParam & 0xFFFF);
    const WParam notification = (wParam >> 16) & 0xFFFF;
    if (IsMenuCommand(id)) {
        events_->OnMenuCommand(static_cast<MenuId>(id));
    } else if (FindControl(static_cast<ControlId>(id)) != nullptr) {
        if (notification == kClickNotification) {
            events_->OnClick(static_cast<ControlId>(id));
        } else if (notification == kDblClickNotification) {
            events_->OnDblClick(static_cast<ControlId>(id));
        }
    }
    return 0;
}

LResult SimPlatform::OnFormEndSession(WParam ending) {
    if (ending != 0) {
        events_->OnEndSession();
    }
    return 0;
}

LResult SimPlatform::SendToForm(UInt msg, WParam wParam, LParam lParam) {
    if (!formRegistered_ || formProc_ == nullptr) {
        return 0;
    }
    return formProc_(formHandle_, msg, wParam, lParam);
}

void SimPlatform::MoveForm(std::int32_t leftTwips, std::int32_t topTwips) {
    formLeft_ = leftTwips;
    formTop_ = topTwips;
}

std::int32_t SimPlatform::FormWidthTwips() {
    return kFormClientWidth + kFrameWidthPixels * kTwipsPerPixel;
}

std::int32_t SimPlatform::FormHeightTwips() {
    return kFormClientHeight + kFrameHeightPixels * kTwipsPerPixel;
}

void SimPlatform::SetScreenSizeTwips(std::int32_t width, std::int32_t height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

SimPlatform::ControlState& SimPlatform::Control(ControlId control) {
    const auto it = controls_.find(control);
    if (it == controls_.end()) {
        throw std::out_of_range("Form1 has no such control (or was not created)");
    }
    return it->second;
}

const SimPlatform::ControlState& SimPlatform::Control(ControlId control) const {
    const auto it = controls_.find(control);
    if (it == controls_.end()) {
        throw std::out_of_range("Form1 has no such control (or was not created)");
    }
    return it->second;
}

std::int32_t SimPlatform::CheckValueShown(ControlId control) const {
    return Control(control).value;
}

bool SimPlatform::ControlVisible(ControlId control) const {
    return Control(control).visible;
}

std::wstring SimPlatform::ControlText(ControlId control) const {
    return Control(control).text;
}

void SimPlatform::SetCheckValue(ControlId control, std::int32_t value) {
    Control(control).value = value;
}

void SimPlatform::SetControlVisible(ControlId control, bool visible) {
    Control(control).visible = visible;
}

std::wstring SimPlatform::GetControlText(ControlId control) {
    return Control(control).text;
}

void SimPlatform::SetControlText(ControlId control, std::wstring_view text) {
    Control(control).text = text;
}

// ---- ListView1
// -----------------------------------------------------------------------------------

void SimPlatform::CheckListReadable() const {
    if (failListReads_) {
        throw AppError(kListReadError, "ListView1", L"Control has been deleted");
    }
}

void SimPlatform::CheckListIndex(std::int32_t index) const {
    if (index < 0 || index >= static_cast<std::int32_t>(listItems_.size())) {
        throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
    }
}

std::int32_t SimPlatform::ListCount() {
    CheckListReadable();
    return static_cast<std::int32_t>(listItems_.size());
}

void SimPlatform::ListAdd(std::wstring_view text) {
    listItems_.emplace_back(text);
}

std::wstring SimPlatform::ListText(std::int32_t index) {
    CheckListReadable();
    CheckListIndex(index);
    const std::wstring& text = listItems_[static_cast<std::size_t>(index)];
    listCharactersRead_ += text.size();
    return text;
}

std::wstring SimPlatform::ListTextStart(std::int32_t index, std::size_t maxLength) {
    CheckListReadable();
    CheckListIndex(index);
    std::wstring start = listItems_[static_cast<std::size_t>(index)].substr(0, maxLength);
    listCharactersRead_ += start.size();
    return start;
}

void SimPlatform::ListRemove(std::int32_t index) {
    CheckListIndex(index);
    listItems_.erase(listItems_.begin() + index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
}

void SimPlatform::ListClear() {
    listItems_.clear();
    selected_ = -1;
}

void SimPlatform::ListAddColumn(std::wstring_view header) {
    columns_.emplace_back(header, 0);
}

void SimPlatform::ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) {
    if (column < 0 || column >= static_cast<std::int32_t>(columns_.size())) {
        throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
    }
    columns_[static_cast<std::size_t>(column)].second = widthTwips;
}

// ---- User actions
// --------------------------------------------------------------------------------

void SimPlatform::TypeText(ControlId control, std::wstring_view text) {
    Control(control).text = text;
}

void SimPlatform::PressEnter(ControlId /*control*/) {}

void SimPlatform::Click(ControlId control) {
    if (FindControl(control) == nullptr || !Control(control).visible) {
        return;
    }
    SendToForm(WM_COMMAND, static_cast<WParam>(control) | (kClickNotification << 16), 0);
}

void SimPlatform::SelectListItem(std::int32_t index) {
    selected_ = index >= 0 && index < static_cast<std::int32_t>(listItems_.size()) ? index : -1;
}

void SimPlatform::ClickListItem(std::int32_t index) {
    SelectListItem(index);
    SendToForm(WM_COMMAND, static_cast<WParam>(ControlId::ListView1) | (kClickNotification << 16),
               0);
}

void SimPlatform::DblClickListItem(std::int32_t index) {
    SelectListItem(index);
    SendToForm(WM_COMMAND,
               static_cast<WParam>(ControlId::ListView1) | (kDblClickNotification << 16), 0);
}

void SimPlatform::MouseMove(ControlId control) {
    // Over an invisible control the pointer is over the window's background.
    if (control != ControlId::Form && !Control(control).visible) {
        control = ControlId::Form;
    }
    SendToForm(WM_MOUSEMOVE, static_cast<WParam>(control), 0);
}

void SimPlatform::CloseForm() {
    SendToForm(WM_CLOSE, 0, 0);
}

void SimPlatform::EndSession() {
    const LResult mayEnd = SendToForm(kWmQueryEndSession, 0, 0);
    SendToForm(kWmEndSession, mayEnd != 0 ? 1 : 0, 0);
}

void SimPlatform::EndProgram() {
    ended_ = true;
    formVisible_ = false;
    SetTimerEnabled(false);
    pending_.clear();
    SendToForm(WM_NCDESTROY, 0, 0);
    UnregisterForm();
}

}  // namespace vt::sim
