#include "monitor/window_collection.h"

#include <new>

#include "monitor/main_window_handle.h"

namespace vt::Enum {

Bool32 EnumChildProc(Hwnd hWnd, LParam lParam) noexcept {
    auto& collection = *reinterpret_cast<HandleCollection*>(lParam);
    // No exception may unwind through the platform's enumeration; the sweep reports it after.
    try {
        if (hWnd != Globals::MainWindowHandle) {
            collection.handles.push_back(hWnd);
        }
    } catch (const std::bad_alloc&) {
        collection.outOfMemory = true;
    }
    return 1;
}

}  // namespace vt::Enum
