#pragma once

#include <vector>

#include "platform/types.h"

namespace vt::Enum {

// One sweep's window handles, in the order the platform reported them.
struct HandleCollection {
    std::vector<Hwnd> handles;
    bool outOfMemory = false;  // an append failed: the collection is incomplete
};

// Appends the window to the HandleCollection at lParam, unless it is the main window; returns 1.
Bool32 EnumChildProc(Hwnd hWnd, LParam lParam) noexcept;

}  // namespace vt::Enum
