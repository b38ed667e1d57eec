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
    const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::wstring shortPath(needed, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed) {
        return {};
    }
    shortPath.resize(length);
    return shortPath;
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

}  // namespace vt::win32
