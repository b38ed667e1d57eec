#include "tray/tray_icon.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/error.h"
#include "tray/tray_owner.h"
#include "tray/tray_window_proc.h"

namespace vt::Tray {

namespace {

constexpr std::wstring_view kNotAdded = L"The notification area icon could not be added";
constexpr std::wstring_view kNotRestored =
    L"The notification area icon could not be put back after the taskbar was re-created, so "
    L"monitoring has ended";
constexpr std::wstring_view kNotSubclassed =
    L"The main window could not be set up to receive the notification area icon's messages";

// A busy shell is asked again this often, from the owner's timer.
constexpr std::uint64_t kAddRetryDelayMs = 250;

constexpr std::size_t kTipChars = sizeof(TrayIconData.szTip) - 1;

// Sends the record as it stands with these flags; true when the shell took it.
bool Notify(WindowSystem& shell, UInt message, UInt flags) {
    TrayIconData.uFlags = flags;
    return shell.Shell_NotifyIconA(message, &TrayIconData) != 0;
}

// True once the shell has the icon. An add that timed out (a shell busy at logon answers late)
// may have gone through all the same, and the shell refuses NIM_ADD for an icon it has: a
// NIM_MODIFY that succeeds finds it there.
bool PutInShell(WindowSystem& shell) {
    return Notify(shell, NIM_ADD, NIF_MESSAGE | NIF_ICON) ||
           Notify(shell, NIM_MODIFY, NIF_MESSAGE | NIF_ICON);
}

// From now on the owner's timer asks again, for `patienceMs`.
void WaitForShell(SystemServices& clock, std::uint64_t patienceMs, std::wstring_view failure) {
    const std::uint64_t now = clock.GetTickCount64();
    Pending = {true, now + kAddRetryDelayMs, now + patienceMs, failure};
}

// Sends the tooltip held in the record; a failure only leaves the icon without a tooltip.
void ModifyTip(WindowSystem& shell) {
    static_cast<void>(Notify(shell, NIM_MODIFY, NIF_TIP));
}

// No owner, no held click, no add asked for: the state before the add.
void ForgetIcon() noexcept {
    TrayOwnerForm = nullptr;
    RightClickHeld = false;
    Pending.waiting = false;
}

// Asks the shell once more for the icon; false when the patience is spent and it gave up.
bool TryAgain(TrayOwner& owner, std::uint64_t now) {
    WindowSystem& shell = owner.windows();
    if (PutInShell(shell)) {
        Pending.waiting = false;
        ModifyTip(shell);
        return true;
    }
    // NOTE: the shell's answer is awaited with sent messages dispatched: a "TaskbarCreated" may
    // have taken the icon in, or a close request the window away, meanwhile.
    if (!Pending.waiting || TrayOwnerForm != &owner) {
        return true;
    }
    if (now < Pending.giveUpMs) {
        Pending.nextTryMs = now + kAddRetryDelayMs;
        return true;
    }
    const std::wstring description(Pending.failure);
    // The delete goes too: an add still on its way would bring the icon back without subclass.
    RemoveTrayIcon();
    owner.TrayIconLost(description);
    return false;
}

}  // namespace

void AddTrayIcon(TrayOwner& owner, MenuId menu, std::uint32_t patienceMs) {
    if (TrayOwnerForm != nullptr) {
        // A second subclass would save TrayWindowProc itself as the procedure to call on.
        return;
    }
    WindowSystem& windows = owner.windows();
    TrayPlatform = &windows;
    TaskbarCreatedMessage = windows.RegisterWindowMessageA("TaskbarCreated");
    // Elevated, the message filter would keep Explorer's broadcast out. Not elevated, the call
    // may be refused (at low integrity, a stub under Wine), and the broadcast arrives anyway.
    static_cast<void>(
        windows.ChangeWindowMessageFilterEx(owner.hWnd(), TaskbarCreatedMessage, MSGFLT_ALLOW));

    // The subclass comes first, so that the icon's first message already reaches it.
    TrayOwnerForm = &owner;
    TrayPopupMenu = menu;
    const WndProc previous =
        windows.SetWindowLongA(owner.hWnd(), GWL_WNDPROC, &APIStuff::TrayWindowProc);
    if (previous == nullptr) {
        TrayOwnerForm = nullptr;
        throw AppError(err::kTrayIconNotAdded, "Tray", std::wstring(kNotSubclassed));
    }
    SavedWndProc = previous;

    TrayIconData.uID = 0;
    TrayIconData.hWnd = owner.hWnd();
    TrayIconData.cbSize = sizeof(NotifyIconDataA);
    TrayIconData.hIcon = windows.ApplicationIcon();
    TrayIconData.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    if (!PutInShell(windows)) {
        // Asked again from the owner's timer: waiting here would freeze the window.
        WaitForShell(owner.clock(), patienceMs, kNotAdded);
    }
}

void SetTrayTip(std::wstring_view tip) {
    TrayOwner* owner = TrayOwnerForm;
    if (owner == nullptr) {
        return;  // no icon to carry it
    }
    const TextConversion& text = owner->text();
    // 63 characters, but a multi-byte code page may need more bytes: cut until it fits.
    std::size_t chars = std::min(tip.size(), kTipChars);
    std::string ansi = text.UnicodeToAnsi(tip.substr(0, chars));
    while (ansi.size() > kTipChars) {
        ansi = text.UnicodeToAnsi(tip.substr(0, --chars));
    }
    std::memset(TrayIconData.szTip, ' ', sizeof(TrayIconData.szTip));
    std::memcpy(TrayIconData.szTip, ansi.data(), ansi.size());
    TrayIconData.szTip[ansi.size()] = '\0';
    if (!Pending.waiting) {
        ModifyTip(owner->windows());  // else it goes with the add
    }
}

void RemoveTrayIcon() {
    TrayOwner* owner = TrayOwnerForm;
    if (owner == nullptr) {
        return;  // no icon, and the window's procedure was never replaced
    }
    WindowSystem& windows = owner->windows();
    // The shell may have lost the icon already (a new taskbar); there is nothing more to do.
    static_cast<void>(Notify(windows, NIM_DELETE, 0));
    // Putting back our own window's procedure, on its own thread, does not fail.
    static_cast<void>(windows.SetWindowLongA(owner->hWnd(), GWL_WNDPROC, SavedWndProc));
    ForgetIcon();
}

void RestoreTrayIcon() {
    TrayOwner* owner = TrayOwnerForm;
    if (owner == nullptr) {
        return;
    }
    if (Pending.waiting) {
        // A shell that has just come up: no need to wait for the next try.
        static_cast<void>(TryAgain(*owner, owner->clock().GetTickCount64()));
        return;
    }
    WindowSystem& shell = owner->windows();
    // Any program may send "TaskbarCreated": the icon may still be there, so it is not deleted.
    if (PutInShell(shell)) {
        ModifyTip(shell);
        return;
    }
    WaitForShell(owner->clock(), kAddPatienceMs, kNotRestored);
}

bool RetryTrayIcon() {
    TrayOwner* owner = TrayOwnerForm;
    if (owner == nullptr || !Pending.waiting) {
        return true;
    }
    const std::uint64_t now = owner->clock().GetTickCount64();
    return now < Pending.nextTryMs || TryAgain(*owner, now);
}

void SweepEnded() {
    TrayOwner* owner = TrayOwnerForm;
    if (!std::exchange(RightClickHeld, false) || owner == nullptr || owner->Ended()) {
        return;
    }
    // Replayed as the shell sent it; a failed post only loses that click.
    static_cast<void>(owner->windows().PostMessageA(TrayIconData.hWnd, TRAY_CALLBACK_MESSAGE,
                                                    TrayIconData.uID,
                                                    static_cast<LParam>(WM_RBUTTONUP)));
}

void ForgetOwner(const TrayOwner& owner) noexcept {
    if (TrayOwnerForm == &owner) {
        try {
            RemoveTrayIcon();
        } catch (...) {
            ForgetIcon();  // whatever the shell did, the owner no longer holds the icon
        }
    }
    if (TrayPlatform == &owner.windows()) {
        TrayPlatform = nullptr;
    }
}

}  // namespace vt::Tray
