#include "platform/win32/win32_session_services.h"

#include "platform/win32/handles.h"

namespace vt::win32 {

CreateMutexResult Win32SessionServices::CreateMutexA(const char* name) {
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
    // Read at once: it tells whether the mutex existed, even when the call succeeded.
    const DWORD lastError = ::GetLastError();
    return {reinterpret_cast<Hkernel>(mutex), static_cast<std::int32_t>(lastError)};
}

Bool32 Win32SessionServices::CloseHandle(Hkernel handle) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

Hwnd Win32SessionServices::FindWindowA(const char* className, const char* windowName) {
    return FromHwnd(::FindWindowA(className, windowName));
}

Bool32 Win32SessionServices::AllowSetForegroundWindow(UInt processId) {
    return ::AllowSetForegroundWindow(processId);
}

}  // namespace vt::win32
