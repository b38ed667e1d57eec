#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace vt {

using Hkernel = std::uintptr_t;  // a kernel object's handle (HANDLE); 0 for none

inline constexpr std::int32_t ERROR_ALREADY_EXISTS = 183;

// CreateMutexA's handle, and GetLastError's answer right after the call.
struct CreateMutexResult {
    Hkernel handle = 0;
    std::int32_t lastError = 0;
};

// The file system, the shell, the DLL search, named kernel objects and the clock (kernel32 and
// shell32), in their Win32 shapes.
class SystemServices {
  public:
    // The running module's full path, as the file system spells it (Unicode, not the ANSI
    // code page's rendering of it).
    virtual std::wstring ExecutablePath() = 0;
    // The path's short (8.3) form; empty when the volume keeps none.
    virtual std::wstring GetShortPathNameW(std::wstring_view longPath) = 0;
    // The path with every short (8.3) name in it replaced by the long one; empty when the path
    // cannot be found.
    virtual std::wstring GetLongPathNameW(std::wstring_view path) = 0;
    // The Windows folder that every user shares; empty when it cannot be read.
    virtual std::wstring GetSystemWindowsDirectoryW() = 0;
    // The folders every later DLL load searches. FALSE where kernel32 lacks the function (an
    // unpatched Windows 7), as well as when it fails.
    virtual Bool32 SetDefaultDllDirectories(UInt directoryFlags) = 0;
    // "" takes the current folder out of the DLL search.
    virtual Bool32 SetDllDirectoryA(const char* pathName) = 0;
    virtual bool GetFileDateTime(std::wstring_view path) = 0;  // false when it cannot be read
    // Starts a command line without waiting for it; AppError when it cannot be started.
    virtual void Shell(std::wstring_view commandLine, std::int32_t showCommand) = 0;
    virtual double SecondsSinceMidnight() = 0;  // local time
    virtual void Sleep(UInt milliseconds) = 0;
    // Milliseconds since the system started; only differences mean anything.
    virtual std::uint64_t GetTickCount64() = 0;
    // The system's description of an error code, for the messages.
    virtual std::wstring FormatMessageW(std::int32_t errorCode) = 0;

    // CreateMutexA(nullptr, FALSE, name): creates the mutex, or opens the one that holds the
    // name already (lastError ERROR_ALREADY_EXISTS). Names are case-sensitive.
    virtual CreateMutexResult CreateMutexA(const char* name) = 0;
    virtual Bool32 CloseHandle(Hkernel handle) = 0;

  protected:
    ~SystemServices() = default;
};

}  // namespace vt
