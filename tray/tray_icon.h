#pragma once

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

// The one icon record; every call to the shell passes this same record.
extern NotifyIconDataA TrayIconData;

// Subclasses the owner's window and adds the icon, without a tooltip. AppError
// (err::kTrayIconNotAdded) when the icon cannot be added; the subclass is then undone.
// Does nothing while the icon is already shown.
void AddTrayIcon(TrayOwner& owner, MenuId menu);
// Sets the tooltip of the shown icon: the text's first 63 characters.
void SetTrayTip(std::wstring_view tip);
// Deletes the icon and gives the window its own procedure back; nothing while no icon is shown.
// A right-click held for the end of a sweep is forgotten with it.
void RemoveTrayIcon();
// A sweep has ended: a right-click on the icon that arrived during it opens the menu now, from
// the message loop.
void SweepEnded();
// The owner goes: its icon with it, and nothing of the tray's points at it any more.
void ForgetOwner(const TrayOwner& owner) noexcept;
// Shows the icon again, tooltip included, after "TaskbarCreated": added anew when the shell
// lost it, given its values again when the shell still has it. AppError
// (err::kTrayIconNotAdded) when the shell takes neither.
void RestoreTrayIcon();

}  // namespace vt::Tray
