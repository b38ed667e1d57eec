#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/system_services.h"

namespace vt::win32 {

// The real file system, shell, DLL search, named mutexes and clock (kernel32, shell32).
class Win32SystemServices : public SystemServices {
  public:
    std::wstring ExecutablePath() override;
    std::wstring GetShortPathNameW(std::wstring_view longPath) override;
    std::wstring GetLongPathNameW(std::wstring_view path) override;
    std::wstring GetSystemWindowsDirectoryW() override;
    Bool32 SetDefaultDllDirectories(UInt directoryFlags) override;
    Bool32 SetDllDirectoryA(const char* pathName) override;
    bool GetFileDateTime(std::wstring_view path) override;
    void Shell(std::wstring_view commandLine, std::int32_t showCommand) override;
    double SecondsSinceMidnight() override;
    void Sleep(UInt milliseconds) override;
    std::uint64_t GetTickCount64() override;
    std::wstring FormatMessageW(std::int32_t errorCode) override;
    CreateMutexResult CreateMutexA(const char* name) override;
    Bool32 CloseHandle(Hkernel handle) override;
};

}  // namespace vt::win32
