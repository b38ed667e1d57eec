#pragma once

#include <cstdint>
#include <string_view>

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {
class TrayOwner;
}  // namespace vt

// The notification-area icon that stands for the hidden main window while monitoring runs.
namespace vt::Tray {

// The icon's notifications arrive as this message, with the mouse message in lParam.
inline constexpr UInt TRAY_CALLBACK_MESSAGE = 2025;

// How long an icon the shell refuses is asked for again: a click on Start Monitoring hears
// within about a second, but at logon the notification area may take a minute to come up.
inline constexpr std::uint32_t kAddPatienceMs = 1000;
inline constexpr std::uint32_t kLogonAddPatienceMs = 60000;

// The one icon record; every call to the shell passes this same record.
extern NotifyIconDataA TrayIconData;

// Subclasses the owner's window and adds the icon, without a tooltip. An icon the shell
// refuses is asked for again by RetryTrayIcon, and at once on "TaskbarCreated", for
// `patienceMs`; then the subclass is undone and the owner told (TrayOwner::TrayIconLost).
// AppError (err::kTrayIconNotAdded) when the window cannot be subclassed. Does nothing while
// the icon is shown or still being asked for.
void AddTrayIcon(TrayOwner& owner, MenuId menu, std::uint32_t patienceMs = kAddPatienceMs);
// Sets the tooltip, the text's first 63 characters: on the shown icon at once, or with the add
// of one the shell has not taken yet.
void SetTrayTip(std::wstring_view tip);
// A tick of the owner's timer: asks the shell again, a few times a second, for an icon it
// refused. Nothing ever waits for the shell on the window thread. False when it has just given
// up on the icon, and the owner has stopped monitoring.
bool RetryTrayIcon();
// Deletes the icon and gives the window its own procedure back; nothing while no icon is shown.
// A right-click held for the end of a sweep is forgotten with it.
void RemoveTrayIcon();
// A sweep has ended: a right-click on the icon that arrived during it opens the menu now, from
// the message loop.
void SweepEnded();
// The owner goes: its icon with it, and nothing of the tray's points at it any more.
void ForgetOwner(const TrayOwner& owner) noexcept;
// "TaskbarCreated": shows the icon again at once, tooltip included, added anew when the shell
// lost it, given its values again when the shell still has it. A new shell that refuses it is
// asked again as after a refused add, with a Start Monitoring's patience unless an add is
// already being retried.
void RestoreTrayIcon();

}  // namespace vt::Tray
