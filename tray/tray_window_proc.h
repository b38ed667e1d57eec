#pragma once

#include "platform/types.h"

// The main window's subclass while the tray icon is shown; its state is the Tray module's.
namespace vt::APIStuff {

LResult VT_CALLBACK TrayWindowProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) noexcept;

}  // namespace vt::APIStuff
