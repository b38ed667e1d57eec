#pragma once

#include <string_view>

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {
class TrayOwner;

// The message's prefix when monitoring cannot start, or cannot go on once the icon is lost.
inline constexpr std::wstring_view kStartMonitoringError = L"ERROR while starting monitoring - ";

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
void RemoveTrayIcon();
// Shows the icon again, tooltip included, after "TaskbarCreated": added anew when the shell
// lost it, given its values again when the shell still has it. AppError
// (err::kTrayIconNotAdded) when the shell takes neither.
void RestoreTrayIcon();

}  // namespace vt::Tray
