#pragma once

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {
class TrayOwner;
class WindowSystem;
}  // namespace vt

// The main window's subclass while the tray icon is shown. Module-level by necessity: the
// system calls the window procedure without an object.
namespace vt::APIStuff {

// The window procedure the main window had before the subclass; never cleared.
extern WndProc SavedWndProc;
// The window that owns the icon; nullptr while no icon is shown.
extern TrayOwner* TrayOwnerForm;
// The menu a right-button release on the icon pops up; kept after the icon is removed.
extern MenuId TrayPopupMenu;
// The registered "TaskbarCreated" message; 0 until the first icon is added.
extern UInt TaskbarCreatedMessage;
// The icon was right-clicked during a sweep: the menu opens when it ends (Tray::SweepEnded).
extern bool RightClickHeld;
// The window system of the last icon's window: a message that reaches TrayWindowProc after the
// icon was removed still has to go on to SavedWndProc. Emptied when that form goes.
extern WindowSystem* TrayPlatform;

LResult VT_CALLBACK TrayWindowProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) noexcept;

}  // namespace vt::APIStuff
