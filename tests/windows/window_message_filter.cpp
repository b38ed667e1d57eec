// Stands in for user32's ChangeWindowMessageFilterEx in this test binary, so that a test can
// have it refused as Windows refuses it at low integrity. The import's pointer is defined here,
// and the linker takes it before the import library's.
#include "tests/windows/window_message_filter.h"

#include <windows.h>

namespace vt::test {
bool gRefuseMessageFilter = false;
unsigned gLastFilterMessage = 0;
}  // namespace vt::test

namespace {

using FilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

BOOL WINAPI ChangeWindowMessageFilterExStandIn(HWND window, UINT message, DWORD action,
                                               PCHANGEFILTERSTRUCT status) {
    vt::test::gLastFilterMessage = message;
    if (vt::test::gRefuseMessageFilter) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto real = reinterpret_cast<FilterFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
    return real != nullptr ? real(window, message, action, status) : FALSE;
}

}  // namespace

#ifdef _WIN64
extern "C" FilterFunction __imp_ChangeWindowMessageFilterEx;
FilterFunction __imp_ChangeWindowMessageFilterEx = &ChangeWindowMessageFilterExStandIn;
#else
extern "C" FilterFunction ImportedFilter __asm__("__imp__ChangeWindowMessageFilterEx@16");
FilterFunction ImportedFilter = &ChangeWindowMessageFilterExStandIn;
#endif
