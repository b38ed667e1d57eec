#include "platform/win32/win32_system_services.h"

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

// Keeps the process's critical-error boxes ("insert a disk") off while a path is probed.
class QuietFileErrors {
  public:
    QuietFileErrors() {
        if (!::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_)) {
            restore_ = false;
        }
    }
    QuietFileErrors(const QuietFileErrors&) = delete;
    QuietFileErrors& operator=(const QuietFileErrors&) = delete;
    ~QuietFileErrors() {
        if (restore_) {
            static_cast<void>(::SetThreadErrorMode(previous_, nullptr));
        }
    }

  private:
    DWORD previous_ = 0;
    bool restore_ = true;
};

// The text a call of the GetShortPathNameW shape writes: asked for its size first, then read;
// empty when either call fails. `call(buffer, size)` returns the length written, or the size
// needed (terminating NUL included) when the buffer is too small.
template <typename Call>
std::wstring ReadSizedText(Call call) {
    for (int attempt = 0; attempt < 4; ++attempt) {  // the text may grow between the calls
        const DWORD needed = call(nullptr, 0);
        if (needed == 0) {
            return {};
        }
        std::wstring text(needed, L'\0');
        const DWORD length = call(text.data(), needed);
        if (length == 0) {
            return {};
        }
        if (length < needed) {
            text.resize(length);
            return text;
        }
    }
    return {};
}

}  // namespace

std::wstring Win32SystemServices::ExecutablePath() {
    // The wide form: the ANSI one gives '?' or look-alike letters for a path outside the code
    // page, naming a file that does not exist. A path longer than MAX_PATH is cut to the
    // buffer without an error on older systems, so grow the buffer until it fits with room.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            ThrowLastError(L"The program's path could not be read", "ExecutablePath");
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 0x10000) {
            throw AppError(static_cast<std::int32_t>(ERROR_INSUFFICIENT_BUFFER), "ExecutablePath",
                           L"The program's path is too long");
        }
        path.resize(path.size() * 2);
    }
}

std::wstring Win32SystemServices::GetShortPathNameW(std::wstring_view longPath) {
    const std::wstring path(longPath);  // NUL-terminated
    return ReadSizedText([&](wchar_t* buffer, DWORD size) {
        return ::GetShortPathNameW(path.c_str(), buffer, size);
    });
}

std::wstring Win32SystemServices::GetLongPathNameW(std::wstring_view path) {
    const std::wstring shortPath(path);  // NUL-terminated
    const QuietFileErrors quiet;
    return ReadSizedText([&](wchar_t* buffer, DWORD size) {
        return ::GetLongPathNameW(shortPath.c_str(), buffer, size);
    });
}

std::wstring Win32SystemServices::GetSystemWindowsDirectoryW() {
    // Not GetWindowsDirectoryW: on a terminal server that can name a private copy per user.
    return ReadSizedText(
        [](wchar_t* buffer, DWORD size) { return ::GetSystemWindowsDirectoryW(buffer, size); });
}

Bool32 Win32SystemServices::SetDefaultDllDirectories(UInt directoryFlags) {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    // Looked up, not imported: Windows 7 without update KB2533623 lacks it, and an import would
    // stop the program from starting there.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC found =
        kernel32 != nullptr ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (found == nullptr) {
        return FALSE;
    }
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(found));
    return setDefault(directoryFlags);
}

Bool32 Win32SystemServices::SetDllDirectoryA(const char* pathName) {
    return ::SetDllDirectoryA(pathName);
}

bool Win32SystemServices::GetFileDateTime(std::wstring_view path) {
    // A NUL would cut the name short and test another file; a wildcard would match one.
    if (path.empty() || path.find_first_of(std::wstring_view(L"\0*?", 3)) != path.npos) {
        return false;
    }
    const std::wstring name(path);
    const QuietFileErrors quiet;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    return ::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &attributes) != FALSE;
}

void Win32SystemServices::Shell(std::wstring_view commandLine, std::int32_t showCommand) {
    const auto notFound = [] { return AppError(err::kFileNotFound, "Shell", L"File not found"); };
    if (commandLine.empty()) {
        throw notFound();
    }
    std::string command = ToAnsi(commandLine);  // CreateProcessA may write into it
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
        throw notFound();
    }
    // Not waited for: the handles only go.
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
}

double Win32SystemServices::SecondsSinceMidnight() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

void Win32SystemServices::Sleep(UInt milliseconds) {
    ::Sleep(milliseconds);
}

std::uint64_t Win32SystemServices::GetTickCount64() {
    return ::GetTickCount64();
}

std::wstring Win32SystemServices::FormatMessageW(std::int32_t errorCode) {
    return SystemMessage(static_cast<DWORD>(errorCode));
}

CreateMutexResult Win32SystemServices::CreateMutexA(const char* name) {
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
    // Read at once: it tells whether the mutex existed, even when the call succeeded.
    const DWORD lastError = ::GetLastError();
    return {reinterpret_cast<Hkernel>(mutex), static_cast<std::int32_t>(lastError)};
}

Bool32 Win32SystemServices::CloseHandle(Hkernel handle) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace vt::win32
