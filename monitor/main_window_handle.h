#pragma once

#include "platform/types.h"

namespace vt::Globals {

// The main window's handle, written once by start-up; the sweep leaves that window out.
inline Hwnd MainWindowHandle = 0;

}  // namespace vt::Globals
