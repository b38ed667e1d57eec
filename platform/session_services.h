#pragma once

#include <cstdint>
#include <utility>

#include "platform/types.h"

namespace vt {

using Hkernel = std::uintptr_t;  // a kernel object's handle (HANDLE); 0 for none

inline constexpr std::int32_t ERROR_ALREADY_EXISTS = 183;

// CreateMutexA's handle, and GetLastError's answer right after the call.
struct CreateMutexResult {
    Hkernel handle = 0;
    std::int32_t lastError = 0;
};

// The user's session as the program meets another copy of itself there: named kernel objects
// (kernel32) and the windows of other processes (user32), in their Win32 shapes. A window's
// process is the window system's GetWindowThreadProcessId.
class SessionServices {
  public:
    // CreateMutexA(nullptr, FALSE, name): creates the mutex, or opens the one that holds the
    // name already (lastError ERROR_ALREADY_EXISTS). Names are case-sensitive.
    virtual CreateMutexResult CreateMutexA(const char* name) = 0;
    virtual Bool32 CloseHandle(Hkernel handle) = 0;
    // The first top-level window of the class, hidden ones included, whose title is
    // windowName (any title for nullptr); 0 when there is none.
    virtual Hwnd FindWindowA(const char* className, const char* windowName) = 0;
    virtual Bool32 AllowSetForegroundWindow(UInt processId) = 0;

  protected:
    ~SessionServices() = default;
};

// A named mutex created or opened through SessionServices, closed with CloseHandle when its
// owner goes. It keeps CreateMutexA's last error, so its owner can tell who made it.
class NamedMutex {
  public:
    NamedMutex(SessionServices& session, const char* name)
        : session_(session), created_(session.CreateMutexA(name)) {}
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex() {
        if (created_.handle != 0) {
            // Nothing can be done about a handle that fails to close.
            static_cast<void>(session_.CloseHandle(std::exchange(created_.handle, 0)));
        }
    }

    bool IsOpen() const { return created_.handle != 0; }
    std::int32_t LastError() const { return created_.lastError; }

  private:
    SessionServices& session_;
    CreateMutexResult created_;
};

}  // namespace vt
