#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace vt {

// The file system, the shell, the DLL search and the clock.
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

  protected:
    ~SystemServices() = default;
};

}  // namespace vt
