#pragma once

#include <cstdint>

// The Win32 types and constants the program uses, declared without <windows.h> so that the
// logic builds and runs on the simulated platform too.
namespace vt {

using Hwnd = std::int32_t;  // window handles are signed 32-bit integers
using Hkey = std::uint32_t;
using Hicon = std::uint32_t;
using UInt = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;
using Bool32 = std::int32_t;

#if defined(_WIN32)
#define VT_CALLBACK __stdcall
#else
#define VT_CALLBACK
#endif

// WNDPROC's shape and calling convention: installed with SetWindowLongA(GWL_WNDPROC).
using WndProc = LResult(VT_CALLBACK*)(Hwnd, UInt, WParam, LParam);
// noexcept: nothing may unwind through the system's enumeration.
using EnumWindowsProc = Bool32 (*)(Hwnd, LParam) noexcept;
using Hwineventhook = std::uint32_t;
// The program's WinEvent callback: the hook's context, the event, and the object it is about.
using WinEventProc = void (*)(LParam context, UInt event, Hwnd hWnd, std::int32_t idObject,
                              std::int32_t idChild);
// SendMessageCallbackA's callback: the window, the message, the caller's data, the answer.
using SendAsyncProc = void (*)(Hwnd hWnd, UInt msg, std::uintptr_t data, LResult result);

inline constexpr UInt WM_NULL = 0x0000;
inline constexpr UInt WM_CLOSE = 0x0010;
inline constexpr UInt WM_COMMAND = 0x0111;
inline constexpr UInt WM_TIMER = 0x0113;
inline constexpr UInt WM_NCDESTROY = 0x0082;
inline constexpr UInt WM_MOUSEMOVE = 0x0200;
inline constexpr UInt WM_LBUTTONDOWN = 0x0201;
inline constexpr UInt WM_LBUTTONUP = 0x0202;
inline constexpr UInt WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UInt WM_RBUTTONDOWN = 0x0204;
inline constexpr UInt WM_RBUTTONUP = 0x0205;

inline constexpr std::int32_t GWL_WNDPROC = -4;
inline constexpr UInt MSGFLT_ALLOW = 1;
inline constexpr UInt GA_PARENT = 1;

inline constexpr UInt EVENT_OBJECT_CREATE = 0x8000;
inline constexpr UInt EVENT_OBJECT_SHOW = 0x8002;
inline constexpr UInt EVENT_OBJECT_NAMECHANGE = 0x800C;
inline constexpr UInt WINEVENT_OUTOFCONTEXT = 0x0000;
inline constexpr UInt WINEVENT_SKIPOWNPROCESS = 0x0002;
inline constexpr std::int32_t OBJID_WINDOW = 0;
inline constexpr std::int32_t CHILDID_SELF = 0;

inline constexpr UInt NIM_ADD = 0;
inline constexpr UInt NIM_MODIFY = 1;
inline constexpr UInt NIM_DELETE = 2;
inline constexpr UInt NIF_MESSAGE = 1;
inline constexpr UInt NIF_ICON = 2;
inline constexpr UInt NIF_TIP = 4;

inline constexpr Hkey HKEY_CURRENT_USER = 0x80000001u;
inline constexpr Hkey HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr UInt REG_SZ = 1;
inline constexpr UInt REG_EXPAND_SZ = 2;
inline constexpr UInt KEY_QUERY_VALUE = 0x0001;
inline constexpr UInt KEY_SET_VALUE = 0x0002;
// The registry's 64- and 32-bit views, whichever build asks; ignored on 32-bit Windows.
inline constexpr UInt KEY_WOW64_64KEY = 0x0100;
inline constexpr UInt KEY_WOW64_32KEY = 0x0200;
inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_NOT_ENOUGH_MEMORY = 8;

inline constexpr UInt MB_OK = 0x0000;
inline constexpr UInt MB_YESNO = 0x0004;
inline constexpr UInt MB_ICONQUESTION = 0x0020;
inline constexpr UInt MB_APPLMODAL = 0x0000;
inline constexpr std::int32_t IDOK = 1;
inline constexpr std::int32_t IDYES = 6;
inline constexpr std::int32_t IDNO = 7;

inline constexpr std::int32_t SW_SHOWMINIMIZED = 2;

// SetDefaultDllDirectories: the system folder alone.
inline constexpr UInt LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x0800;

// The first, 88-byte form of NOTIFYICONDATAA, as the tray icon record is kept.
struct NotifyIconDataA {
    std::uint32_t cbSize = 0;
    Hwnd hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    Hicon hIcon = 0;
    char szTip[64] = {};
};
static_assert(sizeof(NotifyIconDataA) == 88);

}  // namespace vt
