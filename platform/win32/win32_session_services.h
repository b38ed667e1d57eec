#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/session_services.h"

namespace vt::win32 {

// The real session: kernel32's named mutexes, user32's windows of other processes.
class Win32SessionServices : public SessionServices {
  public:
    CreateMutexResult CreateMutexA(const char* name) override;
    Bool32 CloseHandle(Hkernel handle) override;
    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Bool32 AllowSetForegroundWindow(UInt processId) override;
};

}  // namespace vt::win32
