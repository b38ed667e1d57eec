#include "platform/win32/win32_window_system.h"

#include <shellapi.h>

#include <cstring>
#include <map>
#include <memory>

#include "resources/resource.h"

namespace vt::win32 {

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == sizeof(NotifyIconDataA));
#endif

namespace {

// The thunk between EnumWindows and the program's callback, which has the C calling
// convention and the 32-bit handle.
struct EnumContext {
    EnumWindowsProc proc;
    LParam lParam;
};

BOOL CALLBACK EnumWindowsThunk(HWND window, LPARAM context) noexcept {
    const auto& enumeration = *reinterpret_cast<const EnumContext*>(context);
    return enumeration.proc(FromHwnd(window), enumeration.lParam) != 0 ? TRUE : FALSE;
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

// The program's callback and data for one message sent with SendMessageCallbackA, handed to the
// system and taken back by the thunk. A window that never handles the message keeps it.
struct SendCallback {
    SendAsyncProc proc;
    std::uintptr_t data;
};

void CALLBACK SendAsyncThunk(HWND window, UINT msg, ULONG_PTR context, LRESULT result) noexcept {
    const std::unique_ptr<SendCallback> callback(reinterpret_cast<SendCallback*>(context));
    try {
        callback->proc(FromHwnd(window), msg, callback->data, result);
    } catch (...) {
        // Nothing may unwind into the system's message retrieval.
    }
}

}  // namespace

// --- Window system ---------------------------------------------------------------------------

Bool32 Win32WindowSystem::EnumWindows(EnumWindowsProc proc, LParam lParam) {
    EnumContext enumeration{proc, lParam};
    return ::EnumWindows(EnumWindowsThunk, reinterpret_cast<LPARAM>(&enumeration));
}

std::int32_t Win32WindowSystem::GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    return ::GetWindowTextA(ToHwnd(hWnd), buffer, maxCount);
}

Bool32 Win32WindowSystem::SendMessageCallbackA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                               SendAsyncProc callback, std::uintptr_t data) {
    auto context = std::make_unique<SendCallback>(SendCallback{callback, data});
    if (!::SendMessageCallbackA(ToHwnd(hWnd), msg, wParam, lParam, SendAsyncThunk,
                                reinterpret_cast<ULONG_PTR>(context.get()))) {
        return FALSE;
    }
    static_cast<void>(context.release());  // SendAsyncThunk owns it now
    return TRUE;
}

WndProc Win32WindowSystem::SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) {
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

LResult Win32WindowSystem::CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                           LParam lParam) {
    // Through an integer: a saved procedure may be a handle that only CallWindowProcA decodes.
    const auto saved = reinterpret_cast<WNDPROC>(reinterpret_cast<LONG_PTR>(proc));
    return ::CallWindowProcA(saved, ToHwnd(hWnd), msg, wParam, lParam);
}

Bool32 Win32WindowSystem::SetForegroundWindow(Hwnd hWnd) {
    return ::SetForegroundWindow(ToHwnd(hWnd));
}

Hwnd Win32WindowSystem::GetLastActivePopup(Hwnd hWnd) {
    return FromHwnd(::GetLastActivePopup(ToHwnd(hWnd)));
}

Bool32 Win32WindowSystem::PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    return ::PostMessageA(ToHwnd(hWnd), msg, wParam, lParam);
}

UInt Win32WindowSystem::RegisterWindowMessageA(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    return ::RegisterWindowMessageA(name);
}

Bool32 Win32WindowSystem::ChangeWindowMessageFilterEx(Hwnd hWnd, UInt message, UInt action) {
    return ::ChangeWindowMessageFilterEx(ToHwnd(hWnd), message, action, nullptr);
}

Hwnd Win32WindowSystem::GetAncestor(Hwnd hWnd, UInt flags) {
    return FromHwnd(::GetAncestor(ToHwnd(hWnd), flags));
}

Hwnd Win32WindowSystem::GetDesktopWindow() {
    return FromHwnd(::GetDesktopWindow());
}

Hwnd Win32WindowSystem::GetShellWindow() {
    return FromHwnd(::GetShellWindow());
}

std::int32_t Win32WindowSystem::GetClassNameA(Hwnd hWnd, char* buffer, std::int32_t maxCount) {
    return ::GetClassNameA(ToHwnd(hWnd), buffer, maxCount);
}

UInt Win32WindowSystem::GetWindowThreadProcessId(Hwnd hWnd, UInt* processId) {
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(ToHwnd(hWnd), &process);
    if (processId != nullptr) {
        *processId = process;
    }
    return thread;
}

UInt Win32WindowSystem::GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

Hwnd Win32WindowSystem::FindWindowA(const char* className, const char* windowName) {
    return FromHwnd(::FindWindowA(className, windowName));
}

Bool32 Win32WindowSystem::AllowSetForegroundWindow(UInt processId) {
    return ::AllowSetForegroundWindow(processId);
}

Hwineventhook Win32WindowSystem::SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
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

Bool32 Win32WindowSystem::UnhookWinEvent(Hwineventhook hook) {
    const auto it = gWinEventHooks.find(hook);
    if (it == gWinEventHooks.end()) {
        return FALSE;
    }
    const BOOL removed = ::UnhookWinEvent(it->second.handle);
    gWinEventHooks.erase(it);
    return removed;
}

// --- Notification area ---------------------------------------------------------------------

Bool32 Win32WindowSystem::Shell_NotifyIconA(UInt message, NotifyIconDataA* data) {
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

Hicon Win32WindowSystem::ApplicationIcon() {
    // A shared icon: the system keeps it as long as the module is loaded.
    return FromHicon(::LoadIconA(instance_, MAKEINTRESOURCEA(VT_IDI_APPLICATION)));
}

}  // namespace vt::win32
