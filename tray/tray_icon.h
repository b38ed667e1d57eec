#pragma once

#include <cstdint>
#include <string_view>

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {
class TrayOwner;
class WindowSystem;
}  // namespace vt

// The notification-area icon that stands for the hidden main window while monitoring runs.
namespace vt::Tray {

// The icon's notifications arrive as this message, with the mouse message in lParam.
inline constexpr UInt TRAY_CALLBACK_MESSAGE = 2025;

// How long an icon the shell refuses is asked for again: a click on Start Monitoring hears
// within about a second, but at logon the notification area may take a minute to come up.
inline constexpr std::uint32_t kAddPatienceMs = 1000;
inline constexpr std::uint32_t kLogonAddPatienceMs = 60000;

// The module's state, for the one icon: module-level, as the system calls the main window's
// subclass, APIStuff::TrayWindowProc, without an object.

// The one icon record; every call to the shell passes this same record.
inline NotifyIconDataA TrayIconData;
// The window procedure the main window had before the subclass; never cleared.
inline WndProc SavedWndProc = nullptr;
// The window that owns the icon; nullptr while no icon is shown.
inline TrayOwner* TrayOwnerForm = nullptr;
// The menu a right-button release on the icon pops up; kept after the icon is removed.
inline MenuId TrayPopupMenu = MenuId::mnuTray;
// The registered "TaskbarCreated" message; 0 until the first icon is added.
inline UInt TaskbarCreatedMessage = 0;
// The icon was right-clicked during a sweep: the menu opens when it ends (SweepEnded).
inline bool RightClickHeld = false;
// The window system of the last icon's window: a message that reaches TrayWindowProc after the
// icon was removed still has to go on to SavedWndProc. Emptied when that owner goes.
inline WindowSystem* TrayPlatform = nullptr;
// An icon the shell has not taken yet, asked for again until `giveUpMs`.
struct PendingAdd {
    bool waiting = false;
    std::uint64_t nextTryMs = 0;
    std::uint64_t giveUpMs = 0;
    std::wstring_view failure;  // what the owner is told when the shell never takes it
};
inline PendingAdd Pending;

// Subclasses the owner's window and adds the icon, without a tooltip; nothing while it is shown
// or still asked for. A refused icon is asked for again (RetryTrayIcon, "TaskbarCreated") for
// `patienceMs`, then the owner is told (TrayIconLost). AppError when it cannot subclass.
void AddTrayIcon(TrayOwner& owner, MenuId menu, std::uint32_t patienceMs = kAddPatienceMs);
// Sets the tooltip, the text's first 63 characters: on the shown icon at once, or with the add
// of one the shell has not taken yet.
void SetTrayTip(std::wstring_view tip);
// A tick of the owner's timer: asks the shell again for a refused icon. False when it has just
// given up, and the owner has stopped monitoring.
bool RetryTrayIcon();
// Deletes the icon and gives the window its own procedure back; nothing while no icon is shown.
void RemoveTrayIcon();
// A sweep has ended: a right-click on the icon that arrived during it opens the menu now.
void SweepEnded();
// The owner goes: its icon with it, and nothing of the tray's points at it any more.
void ForgetOwner(const TrayOwner& owner) noexcept;
// "TaskbarCreated": shows the icon again at once, tooltip included, added anew when the shell
// lost it. A new shell that refuses it is asked again as after a refused add.
void RestoreTrayIcon();

}  // namespace vt::Tray
