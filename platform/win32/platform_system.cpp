// The real calls of Win32Platform outside the window toolkit: text, window system, tray,
// registry, settings store, files, shell, clock and chance.
#include "platform/win32/win32_platform.h"

#include <shellapi.h>

#include <climits>
#include <cstring>
#include <exception>
#include <map>
#include <string>

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"

namespace vt::win32 {

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == sizeof(NotifyIconDataA));
#endif

namespace {

constexpr int kReadAttempts = 8;  // reads of a registry value that keeps growing
constexpr std::wstring_view kNotConverted = L"The text could not be converted";

int CheckedLength(std::size_t length, const char* source) {
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw AppError(static_cast<std::int32_t>(ERROR_ARITHMETIC_OVERFLOW), source,
                       L"Text too long");
    }
    return static_cast<int>(length);
}

// The thunk between EnumWindows and the program's callback, which has the C calling
// convention and the 32-bit handle; an exception must not unwind through user32.
struct EnumContext {
    EnumWindowsProc proc;
    LParam lParam;
    std::exception_ptr error;
};

BOOL CALLBACK EnumWindowsThunk(HWND window, LPARAM context) noexcept {
    auto& enumeration = *reinterpret_cast<EnumContext*>(context);
    try {
        return enumeration.proc(FromHwnd(window), enumeration.lParam) != 0 ? TRUE : FALSE;
    } catch (...) {
        enumeration.error = std::current_exception();
        return FALSE;
    }
}

// WinEvent callbacks carry no context of their own: each hook's is kept here, by hook. Hooks
// are set and taken down on the window thread, where their callbacks also run.
struct WinEventHook {
    HWINEVENTHOOK handle;
    WinEventProc proc;
    LParam context;
};
std::map<Hwineventhook, WinEventHook> gWinEventHooks;
Hwineventhook gLastWinEventHook = 0;

void CALLBACK WinEventThunk(HWINEVENTHOOK handle, DWORD event, HWND window, LONG idObject,
                            LONG idChild, DWORD /*thread*/, DWORD /*time*/) noexcept {
    for (const auto& [id, hook] : gWinEventHooks) {
        if (hook.handle == handle) {
            hook.proc(hook.context, event, FromHwnd(window), idObject, idChild);
            return;
        }
    }
}

// --- Registry and settings store ---------------------------------------------------------

std::wstring SettingsPath(std::wstring_view appName, std::wstring_view section) {
    std::wstring path = L"Software\\";
    path += appName;
    path += L'\\';
    path += section;
    return path;
}

// The store's errors name the key: The setting "<key>" cannot be <done>: <reason>.
AppError SettingError(std::int32_t number, const char* source, std::wstring_view done,
                      std::wstring_view key, std::wstring_view reason) {
    std::wstring description = L"The setting \"";
    description.append(key).append(L"\" cannot be ").append(done).append(L": ").append(reason);
    return AppError(number, source, std::move(description));
}

AppError SettingUnreadable(std::wstring_view key, std::wstring_view reason) {
    return SettingError(err::kSettingUnreadable, "GetSetting", L"read", key, reason);
}

AppError SettingNotWritten(std::wstring_view key, std::wstring_view reason) {
    return SettingError(err::kSettingNotWritten, "SaveSetting", L"saved", key, reason);
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// The whole value, however long, and its type. A value that grows between the size query and
// the read is read again, a few times at most; then ERROR_MORE_DATA.
LSTATUS QueryWholeValue(HKEY key, const char* name, DWORD* type, std::string* data) {
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (status != ERROR_SUCCESS || data == nullptr) {
            return status;
        }
        std::string bytes(size, '\0');
        status = ::RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()),
                                    &size);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            *data = std::move(bytes);
        }
        return status;
    }
    return ERROR_MORE_DATA;
}

// Hands an opened key to the program, which closes it through RegCloseKey.
std::int32_t HandOver(LSTATUS status, RegKey& opened, Hkey* result) {
    if (status == ERROR_SUCCESS && result != nullptr) {
        *result = FromHkey(opened.release());
    }
    return status;  // a key nobody asked for closes with `opened`
}

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

// --- Text ----------------------------------------------------------------------------------

std::wstring Win32Platform::AnsiToUnicode(std::string_view ansi) const {
    if (ansi.empty()) {
        return {};
    }
    const int length = CheckedLength(ansi.size(), "AnsiToUnicode");
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "AnsiToUnicode");
    }
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, text.data(), needed) != needed) {
        ThrowLastError(kNotConverted, "AnsiToUnicode");
    }
    return text;
}

std::string Win32Platform::UnicodeToAnsi(std::wstring_view text) const {
    if (text.empty()) {
        return {};
    }
    const int length = CheckedLength(text.size(), "UnicodeToAnsi");
    const int needed =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "UnicodeToAnsi");
    }
    std::string ansi(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(), needed, nullptr,
                              nullptr) != needed) {
        ThrowLastError(kNotConverted, "UnicodeToAnsi");
    }
    return ansi;
}

std::wstring Win32Platform::UpperCase(std::wstring_view text) const {
    if (text.empty()) {
        return {};  // LCMapStringW refuses an empty source
    }
    const int length = CheckedLength(text.size(), "UpperCase");
    const int needed =
        ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "UpperCase");
    }
    std::wstring upper(static_cast<std::size_t>(needed), L'\0');
    if (::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, upper.data(),
                       needed) != needed) {
        ThrowLastError(kNotConverted, "UpperCase");
    }
    return upper;
}

// --- Window system ---------------------------------------------------------------------------

Bool32 Win32Platform::EnumWindows(EnumWindowsProc proc, LParam lParam) {
    if (proc == nullptr) {
        return FALSE;
    }
    EnumContext enumeration{proc, lParam, nullptr};
    const BOOL result = ::EnumWindows(EnumWindowsThunk, reinterpret_cast<LPARAM>(&enumeration));
    if (enumeration.error) {
        std::rethrow_exception(enumeration.error);
    }
    return result;
}

std::int32_t Win32Platform::GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    return ::GetWindowTextA(ToHwnd(hWnd), buffer, maxCount);
}

LResult Win32Platform::SendMessageTimeoutA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                           UInt flags, UInt timeoutMs, std::uintptr_t* result) {
    DWORD_PTR answer = 0;
    const LRESULT sent =
        ::SendMessageTimeoutA(ToHwnd(hWnd), msg, wParam, lParam, flags, timeoutMs, &answer);
    if (result != nullptr) {
        *result = answer;
    }
    return sent;
}

WndProc Win32Platform::SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) {
    // WndProc has WNDPROC's calling convention, so the address itself is what Windows stores
    // in the window's slot: 32 bits wide on 32-bit Windows, pointer-wide on 64-bit.
#ifdef _WIN64
    const LONG_PTR previous =
        ::SetWindowLongPtrA(ToHwnd(hWnd), index, reinterpret_cast<LONG_PTR>(newProc));
#else
    const LONG previous = ::SetWindowLongA(ToHwnd(hWnd), index, reinterpret_cast<LONG>(newProc));
#endif
    return reinterpret_cast<WndProc>(previous);
}

LResult Win32Platform::CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                       LParam lParam) {
    // Through an integer: a saved procedure may be a handle that only CallWindowProcA decodes.
    const auto saved = reinterpret_cast<WNDPROC>(reinterpret_cast<LONG_PTR>(proc));
    return ::CallWindowProcA(saved, ToHwnd(hWnd), msg, wParam, lParam);
}

Bool32 Win32Platform::SetForegroundWindow(Hwnd hWnd) {
    return ::SetForegroundWindow(ToHwnd(hWnd));
}

Bool32 Win32Platform::PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    return ::PostMessageA(ToHwnd(hWnd), msg, wParam, lParam);
}

UInt Win32Platform::RegisterWindowMessageA(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    return ::RegisterWindowMessageA(name);
}

Hwnd Win32Platform::GetAncestor(Hwnd hWnd, UInt flags) {
    return FromHwnd(::GetAncestor(ToHwnd(hWnd), flags));
}

Hwnd Win32Platform::GetDesktopWindow() {
    return FromHwnd(::GetDesktopWindow());
}

Hwineventhook Win32Platform::SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                             LParam context, UInt flags) {
    if (proc == nullptr) {
        return 0;
    }
    const HWINEVENTHOOK handle =
        ::SetWinEventHook(eventMin, eventMax, nullptr, WinEventThunk, 0, 0, flags);
    if (handle == nullptr) {
        return 0;
    }
    const Hwineventhook id = ++gLastWinEventHook;
    gWinEventHooks[id] = {handle, proc, context};
    return id;
}

Bool32 Win32Platform::UnhookWinEvent(Hwineventhook hook) {
    const auto it = gWinEventHooks.find(hook);
    if (it == gWinEventHooks.end()) {
        return FALSE;
    }
    const BOOL removed = ::UnhookWinEvent(it->second.handle);
    gWinEventHooks.erase(it);
    return removed;
}

void Win32Platform::Sleep(UInt milliseconds) {
    ::Sleep(milliseconds);
}

// --- Notification area ---------------------------------------------------------------------

Bool32 Win32Platform::Shell_NotifyIconA(UInt message, NotifyIconDataA* data) {
    if (data == nullptr) {
        return FALSE;
    }
    // The program keeps the 88-byte first form; this build's own first form has
    // pointer-wide handles.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = ToHwnd(data->hWnd);
    record.uID = data->uID;
    record.uFlags = data->uFlags;
    record.uCallbackMessage = data->uCallbackMessage;
    record.hIcon = ToHicon(data->hIcon);
    static_assert(sizeof(record.szTip) >= sizeof(data->szTip));
    std::memcpy(record.szTip, data->szTip, sizeof(data->szTip));
    return ::Shell_NotifyIconA(message, &record);
}

// --- Registry ----------------------------------------------------------------------------------

std::int32_t Win32Platform::RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                                          Hkey* result) {
    RegKey opened;
    return HandOver(::RegOpenKeyExA(ToHkey(root), subKey, options, access, opened.put()), opened,
                    result);
}

std::int32_t Win32Platform::RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                            Hkey* result) {
    RegKey created;
    return HandOver(::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, created.put(), nullptr),
                    created, result);
}

std::int32_t Win32Platform::RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                             std::string* data) {
    DWORD valueType = REG_NONE;
    const LSTATUS status = QueryWholeValue(ToHkey(key), valueName, &valueType, data);
    if (status == ERROR_SUCCESS && type != nullptr) {
        *type = valueType;
    }
    return status;
}

std::int32_t Win32Platform::RegSetValueExA(Hkey key, const char* valueName, UInt reserved,
                                           UInt type, const std::uint8_t* data, UInt size) {
    return ::RegSetValueExA(ToHkey(key), valueName, reserved, type, data, size);
}

std::int32_t Win32Platform::RegDeleteValueA(Hkey key, const char* valueName) {
    return ::RegDeleteValueA(ToHkey(key), valueName);
}

std::int32_t Win32Platform::RegCloseKey(Hkey key) {
    return ::RegCloseKey(ToHkey(key));
}

// --- Settings store: HKEY_CURRENT_USER\Software\<appName>\<section>, one REG_SZ per key ----

std::optional<std::wstring> Win32Platform::GetSetting(std::wstring_view appName,
                                                      std::wstring_view section,
                                                      std::wstring_view key) {
    RegKey opened;
    LSTATUS status =
        ::RegOpenKeyExA(HKEY_CURRENT_USER, UnicodeToAnsi(SettingsPath(appName, section)).c_str(), 0,
                        KEY_QUERY_VALUE, opened.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status != ERROR_SUCCESS) {
        throw SettingUnreadable(key, SystemMessage(static_cast<DWORD>(status)));
    }
    DWORD type = REG_NONE;
    std::string bytes;
    status = QueryWholeValue(opened.get(), UnicodeToAnsi(key).c_str(), &type, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status == ERROR_MORE_DATA) {
        throw SettingUnreadable(key, L"it keeps changing while it is read");
    }
    if (status != ERROR_SUCCESS) {
        throw SettingUnreadable(key, SystemMessage(static_cast<DWORD>(status)));
    }
    if (!IsString(type)) {
        throw SettingUnreadable(key, L"it is not a string");
    }
    // Another program may have stored the terminating NUL more than once, or not at all.
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    try {
        return AnsiToUnicode(bytes);
    } catch (const AppError& error) {
        throw SettingUnreadable(key, error.Description());
    }
}

void Win32Platform::SaveSetting(std::wstring_view appName, std::wstring_view section,
                                std::wstring_view key, std::wstring_view value) {
    RegKey opened;
    LSTATUS status = ::RegCreateKeyExA(
        HKEY_CURRENT_USER, UnicodeToAnsi(SettingsPath(appName, section)).c_str(), 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, opened.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        throw SettingNotWritten(key, SystemMessage(static_cast<DWORD>(status)));
    }
    const std::string text = UnicodeToAnsi(value);
    // With its terminating NUL; on this 32-bit program no string is longer than a DWORD counts.
    status = ::RegSetValueExA(opened.get(), UnicodeToAnsi(key).c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    if (status != ERROR_SUCCESS) {
        throw SettingNotWritten(key, SystemMessage(static_cast<DWORD>(status)));
    }
}

// --- File system, shell, clock and chance ----------------------------------------------------

std::wstring Win32Platform::ExecutablePath() {
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

std::wstring Win32Platform::GetShortPathNameW(std::wstring_view longPath) {
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

bool Win32Platform::GetFileDateTime(std::wstring_view path) {
    // A NUL would cut the name short and test another file; a wildcard would match one.
    if (path.empty() || path.find_first_of(std::wstring_view(L"\0*?", 3)) != path.npos) {
        return false;
    }
    const std::wstring name(path);
    const QuietFileErrors quiet;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    return ::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &attributes) != FALSE;
}

void Win32Platform::Shell(std::wstring_view commandLine, std::int32_t showCommand) {
    const auto notFound = [] { return AppError(err::kFileNotFound, "Shell", L"File not found"); };
    if (commandLine.empty()) {
        throw notFound();
    }
    std::string command = UnicodeToAnsi(commandLine);  // CreateProcessA may write into it
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

double Win32Platform::SecondsSinceMidnight() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

// A 24-bit linear congruential generator. Randomize folds the seed's upper 32 bits into the
// state's middle 16 bits and clears the rest, so a seed always gives the same draws.
void Win32Platform::Randomize(double seed) {
    std::uint64_t bits = 0;
    static_assert(sizeof(bits) == sizeof(seed));
    std::memcpy(&bits, &seed, sizeof(bits));
    const auto upper = static_cast<std::uint32_t>(bits >> 32);
    rndState_ = (((upper & 0xFFFFu) ^ (upper >> 16)) << 8) & 0x00FFFF00u;
}

double Win32Platform::Rnd() {
    constexpr std::uint32_t kMultiplier = 0x43FD43FDu;
    constexpr std::uint32_t kIncrement = 0x00C39EC3u;
    constexpr std::uint32_t kMask = 0x00FFFFFFu;
    rndState_ = (rndState_ * kMultiplier + kIncrement) & kMask;
    return rndState_ / 16777216.0;
}

}  // namespace vt::win32
