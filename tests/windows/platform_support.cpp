#include "tests/windows/platform_support.h"

#include <atomic>
#include <stdexcept>
#include <vector>

namespace vt::test {

void ClickAt(POINT screen) {
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        // Absolute positions run from 0 to 65535 across the primary screen.
        input.mi.dx = MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    static_cast<void>(::SendInput(3, inputs, sizeof(INPUT)));
}

void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

TestWindow::TestWindow(const std::string& title, bool declinesClose)
    : window_(std::make_unique<targets::TargetWindow>()) {
    window_->declines = declinesClose ? targets::kEveryRequest : 0;
    if (!targets::CreateTargetWindow(*window_, title, 0, 0, targets::Show::Hidden)) {
        throw std::runtime_error("CreateWindowExA failed for " + title);
    }
}

TestWindow::~TestWindow() {
    if (!Destroyed()) {
        static_cast<void>(::DestroyWindow(window_->handle));
    }
}

std::int32_t TestPlatform::MessageBox(std::wstring_view text, UInt style,
                                      std::wstring_view caption) {
    messages.push_back({std::wstring(text), style, std::wstring(caption)});
    return (style & MB_YESNO) != 0 ? IDNO : IDOK;
}

std::wstring TestPlatform::ExecutablePath() {
    return executablePath ? *executablePath : Win32Platform::ExecutablePath();
}

UInt TestPlatform::GetCurrentProcessId() {
    return ownWindowsAreOthers ? 0 : Win32Platform::GetCurrentProcessId();  // no window is 0's
}

double TestPlatform::SecondsSinceMidnight() {
    return secondsSinceMidnight ? *secondsSinceMidnight : Win32Platform::SecondsSinceMidnight();
}

std::int32_t TestPlatform::RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                                         Hkey* result) {
    constexpr UInt kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;
    if (refuseMachineWrites && root == win32::FromHkey(HKEY_LOCAL_MACHINE) &&
        (access & kWriteAccess) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    return Win32Platform::RegOpenKeyExA(root, subKey, options, access, result);
}

RegistryBackup::RegistryBackup(std::wstring subKey, std::vector<std::wstring> names)
    : subKey_(std::move(subKey)) {
    win32::UniqueKey key;
    existed_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, subKey_.c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
               ERROR_SUCCESS;
    for (std::wstring& name : names) {
        Saved value{std::move(name), false, 0, {}};
        DWORD size = 0;
        if (existed_ && ::RegQueryValueExW(key.get(), value.name.c_str(), nullptr, &value.type,
                                           nullptr, &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = ::RegQueryValueExW(key.get(), value.name.c_str(), nullptr, &value.type,
                                               value.data.data(), &size) == ERROR_SUCCESS;
            value.data.resize(size);
        }
        saved_.push_back(std::move(value));
    }
}

RegistryBackup::~RegistryBackup() {
    if (!existed_) {
        DeleteKeyTree(HKEY_CURRENT_USER, subKey_);
        return;
    }
    win32::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey_.c_str(), 0, KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    for (const Saved& value : saved_) {
        if (value.present) {
            static_cast<void>(::RegSetValueExW(key.get(), value.name.c_str(), 0, value.type,
                                               value.data.data(),
                                               static_cast<DWORD>(value.data.size())));
        } else {
            static_cast<void>(::RegDeleteValueW(key.get(), value.name.c_str()));
        }
    }
}

void DeleteKeyTree(HKEY root, const std::wstring& subKey) {
    static_cast<void>(::RegDeleteTreeW(root, subKey.c_str()));
}

bool ReadStringValue(HKEY root, const char* subKey, const char* name, std::string* data) {
    win32::UniqueKey key;
    if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    std::string bytes(size, '\0');
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                           &size) != ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    *data = std::move(bytes);
    return true;
}

std::string UniqueName(std::string_view stem) {
    static std::atomic<int> counter{0};
    return std::string(stem) + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount()) + "-" + std::to_string(++counter);
}

}  // namespace vt::test
