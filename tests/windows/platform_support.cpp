#include "tests/windows/platform_support.h"

#include <shellapi.h>

#include "app/main_module.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "app/single_instance.h"

namespace vt::test {

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<TestWindow::State*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (state != nullptr) {
        switch (msg) {
            case WM_CLOSE:
                ++state->closeRequests;
                if (state->declinesClose) {
                    return 0;
                }
                break;
            case WM_NCDESTROY:
                state->destroyed = true;
                break;
            default:
                break;
        }
    }
    return ::DefWindowProcA(window, msg, wParam, lParam);
}

void RegisterTestWindowClass() {
    static const ATOM atom = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kTestWindowClass;
        return ::RegisterClassExA(&windowClass);
    }();
    if (atom == 0) {
        throw std::runtime_error("RegisterClassExA failed");
    }
}

// The asking window's process: the event that ends its questions, the requests it got, and
// those its question's box got.
HANDLE gAskingRelease = nullptr;
int gAskingRequests = 0;
int gBoxRequests = 0;
constexpr const char* kQuestionBoxClass = "VintrellPlatformTestQuestionBox";

LRESULT CALLBACK QuestionBoxProc(HWND box, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_CLOSE) {
        ++gBoxRequests;  // closing a question cancels it, as its Cancel button does
    }
    return ::DefWindowProcA(box, msg, wParam, lParam);
}

LRESULT CALLBACK AskingWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg != WM_CLOSE) {
        return ::DefWindowProcA(window, msg, wParam, lParam);
    }
    ++gAskingRequests;
    // The question: a box titled like its owner, as an editor's "Save changes?" box is, and a
    // modal loop that takes every message, the next WM_CLOSE included, until the box goes.
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof(title));
    const HWND box =
        ::CreateWindowExA(0, kQuestionBoxClass, title, WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0,
                          200, 100, window, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    while (::IsWindow(box) && ::MsgWaitForMultipleObjects(1, &gAskingRelease, FALSE, 20,
                                                          QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages();
    }
    if (::IsWindow(box)) {
        ::DestroyWindow(box);
    }
    return 0;
}

HWND CreateTestWindow(const std::string& title, TestWindow::State* state) {
    RegisterTestWindowClass();
    return ::CreateWindowExA(0, kTestWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200,
                             100, nullptr, nullptr, ::GetModuleHandleA(nullptr), state);
}

// Starts this test binary again with `arguments`; its process, empty when it could not start.
win32::KernelHandle StartTestBinary(const std::string& arguments) {
    char executable[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, executable, sizeof(executable));
    if (length == 0 || length >= sizeof(executable)) {
        return {};
    }
    std::string commandLine = "\"";
    commandLine.append(executable).append("\" ").append(arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(executable, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        return {};
    }
    const win32::KernelHandle thread(started.hThread);
    return win32::KernelHandle(started.hProcess);
}

struct MessageBoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<MessageBoxSearch*>(lParam);
    DWORD owner = 0;
    char className[16] = {};
    static_cast<void>(::GetWindowThreadProcessId(window, &owner));
    if (owner == search.processId && ::IsWindowVisible(window) &&
        ::GetClassNameA(window, className, sizeof(className)) > 0 &&
        std::string_view(className) == "#32770") {
        search.box = window;
        return FALSE;
    }
    return TRUE;
}

// A visible message box (class #32770) of the process; null when it shows none.
HWND VisibleMessageBoxOf(DWORD processId) {
    MessageBoxSearch search{processId, nullptr};
    static_cast<void>(::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search)));
    return search.box;
}

// What a message box says: the texts of its static controls (its icon has none).
std::wstring MessageBoxText(HWND box) {
    std::wstring text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        wchar_t childText[512] = {};
        if (::GetClassNameA(child, className, sizeof(className)) > 0 &&
            std::string_view(className) == "Static" &&
            ::GetWindowTextW(child, childText, 512) > 0) {
            text += childText;
        }
    }
    return text;
}

}  // namespace

int RunOtherProcessWindow(bool asks, const char* title, const char* readyEvent,
                          const char* releaseEvent) {
    const win32::KernelHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent));
    const win32::KernelHandle release(::OpenEventA(SYNCHRONIZE, FALSE, releaseEvent));
    if (!ready || !release) {
        return 2;
    }
    HWND window = nullptr;
    if (asks) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = AskingWindowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kAskingWindowClass;
        WNDCLASSEXA boxClass = windowClass;
        boxClass.lpfnWndProc = QuestionBoxProc;
        boxClass.lpszClassName = kQuestionBoxClass;
        if (::RegisterClassExA(&windowClass) != 0 && ::RegisterClassExA(&boxClass) != 0) {
            window = ::CreateWindowExA(0, kAskingWindowClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                       100, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        }
    } else {
        window = CreateTestWindow(title, nullptr);
    }
    if (window == nullptr || !::SetEvent(ready.get())) {
        return 3;
    }
    const auto lifetime = static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(HungWindowProcess::lifetime).count());
    if (!asks) {
        // From here the thread pumps nothing: every message sent to the window waits.
        static_cast<void>(::WaitForSingleObject(release.get(), lifetime));
        return 0;
    }
    gAskingRelease = release.get();
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < lifetime &&
           ::MsgWaitForMultipleObjects(1, &gAskingRelease, FALSE, 20, QS_ALLINPUT) !=
               WAIT_OBJECT_0) {
        PumpMessages();
    }
    return kAskedBase + gAskingRequests + kBoxClosedStep * gBoxRequests;
}

int RunClosableWindow(const char* title, const char* waitMs, bool underADecliningOne) {
    std::vector<HWND> closable{CreateTestWindow(title, nullptr)};
    TestWindow::State declines{0, true, false};
    if (underADecliningOne) {
        closable.push_back(CreateTestWindow(title, nullptr));
        const HWND top = CreateTestWindow(title, &declines);
        if (top == nullptr ||
            !::SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
            return 3;
        }
    }
    if (std::find(closable.begin(), closable.end(), nullptr) != closable.end()) {
        return 3;
    }
    const DWORD start = ::GetTickCount();
    const DWORD wait = std::strtoul(waitMs, nullptr, 10);
    while (std::any_of(closable.begin(), closable.end(), ::IsWindow)) {
        if (::GetTickCount() - start >= wait) {
            return 1;
        }
        static_cast<void>(::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT));
        PumpMessages();
    }
    return 0;
}

win32::KernelHandle StartWindowsUnderADecliningOne(const std::string& title, DWORD waitMs) {
    std::string arguments;
    arguments.append(kClosableWindowSwitch).append(" \"").append(title).append("\" ");
    arguments.append(std::to_string(waitMs)).append(" ").append(kUnderADecliningOne);
    win32::KernelHandle process = StartTestBinary(arguments);
    for (int wait = 0; process && wait < 500; ++wait) {
        if (::FindWindowA(kTestWindowClass, title.c_str()) != nullptr) {
            ::Sleep(100);  // the process has made the others too
            return process;
        }
        ::Sleep(20);
    }
    return {};
}

DWORD RunClosableWindowProcess(const std::string& title, DWORD waitMs) {
    std::string arguments;
    arguments.append(kClosableWindowSwitch);
    arguments.append(" \"").append(title).append("\" ").append(std::to_string(waitMs));
    const win32::KernelHandle process = StartTestBinary(arguments);
    if (!process) {
        return 101;
    }
    const HANDLE waitFor = process.get();
    const DWORD start = ::GetTickCount();
    while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, 10, QS_ALLINPUT & ~QS_TIMER) !=
           WAIT_OBJECT_0) {
        if (::GetTickCount() - start > waitMs + 30000) {
            static_cast<void>(::TerminateProcess(process.get(), 102));
            break;
        }
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
               ::PeekMessageA(&message, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

int LoadPlantedDll(std::string_view mode) {
    if (mode == "restricted") {
        win32::Win32SystemServices system;
        Main::RestrictDllSearch(system);
    } else if (mode != "open") {
        return 2;
    }
    const HMODULE planted = ::LoadLibraryW(kPlantedDll);
    if (planted == nullptr) {
        return 1;
    }
    static_cast<void>(::FreeLibrary(planted));
    return 0;
}

DWORD RunLoadPlantedDllProcess(std::string_view mode) {
    std::string arguments;
    arguments.append(kLoadPlantedDllSwitch).append(" ");
    arguments.append(mode);
    const win32::KernelHandle process = StartTestBinary(arguments);
    if (!process) {
        return 101;
    }
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        static_cast<void>(::TerminateProcess(process.get(), 102));
        return 102;
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

int ReportExecutablePath() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        return 2;
    }
    const std::wstring out = argv[2];
    ::LocalFree(argv);
    const std::wstring path = win32::Win32Platform(::GetModuleHandleW(nullptr)).ExecutablePath();
    HANDLE created =
        ::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const win32::KernelHandle file(created);
    DWORD written = 0;
    const auto bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    return ::WriteFile(file.get(), path.data(), bytes, &written, nullptr) && written == bytes ? 0
                                                                                              : 4;
}

int RunSecondStart() {
    win32::Win32Platform platform(::GetModuleHandleA(nullptr));
    SingleInstance session(platform);
    return session.HandOverToRunningCopy() ? 0 : static_cast<int>(kSecondStartWouldRun);
}

DWORD RunSecondStartProcess(DWORD waitMs, std::wstring* shownText) {
    std::string arguments;
    arguments.append(kSecondStartSwitch);
    const win32::KernelHandle process = StartTestBinary(arguments);
    if (!process) {
        return 101;
    }
    const DWORD start = ::GetTickCount();
    while (::WaitForSingleObject(process.get(), 50) != WAIT_OBJECT_0) {
        if (::GetTickCount() - start > waitMs) {
            static_cast<void>(::TerminateProcess(process.get(), 102));
            static_cast<void>(::WaitForSingleObject(process.get(), 5000));
            return STILL_ACTIVE;
        }
        if (shownText == nullptr || !shownText->empty()) {
            continue;
        }
        if (const HWND box = VisibleMessageBoxOf(::GetProcessId(process.get()))) {
            *shownText = MessageBoxText(box);
            static_cast<void>(::PostMessageW(box, WM_COMMAND, IDOK, 0));
        }
    }
    DWORD exitCode = 103;
    static_cast<void>(::GetExitCodeProcess(process.get(), &exitCode));
    return exitCode;
}

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
    : state_(std::make_unique<State>()) {
    state_->declinesClose = declinesClose;
    handle_ = CreateTestWindow(title, state_.get());
    if (handle_ == nullptr) {
        throw std::runtime_error("CreateWindowExA failed for " + title);
    }
}

TestWindow::~TestWindow() {
    if (!state_->destroyed) {
        static_cast<void>(::DestroyWindow(handle_));
    }
}

HungWindowProcess::HungWindowProcess(const std::string& title, bool asks) {
    const std::string stem = UniqueName("VintrellHungWindow");
    const std::string readyName = stem + "-ready";
    const std::string releaseName = stem + "-release";
    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!ready_ || !release_) {
        return;
    }
    std::string arguments;

    arguments.append(asks ? kAskingWindowSwitch : kHungWindowSwitch);
    arguments.append(" \"").append(title).append("\" ");
    arguments.append(readyName).append(" ").append(releaseName);
    process_ = StartTestBinary(arguments);
    if (!process_) {
        return;
    }
    if (::WaitForSingleObject(ready_.get(), 30000) != WAIT_OBJECT_0) {
        return;
    }
    window_ = ::FindWindowA(asks ? kAskingWindowClass : kTestWindowClass, title.c_str());
}

HungWindowProcess::CloseRequests HungWindowProcess::ReleaseAndCountCloseRequests() {
    if (!release_ || !process_ || !::SetEvent(release_.get()) ||
        ::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
        return {};
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process_.get(), &exitCode) || exitCode < kAskedBase) {
        return {};
    }
    const int counts = static_cast<int>(exitCode) - kAskedBase;
    return {counts % kBoxClosedStep, counts / kBoxClosedStep};
}

HungWindowProcess::~HungWindowProcess() {
    if (release_) {
        static_cast<void>(::SetEvent(release_.get()));
    }
    if (process_ && ::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
        static_cast<void>(::TerminateProcess(process_.get(), 1));
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
