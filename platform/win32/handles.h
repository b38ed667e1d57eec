#pragma once

// Our types first: <windows.h> defines macros with the names of their constants.
#include "platform/types.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace vt::win32 {

// One owner for one Win32 handle: move-only, closed once by `Close`, when the owner goes. A
// failed close is ignored: nothing useful can be done about a handle that will not close.
template <typename Native, auto Close>
class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Native handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Native get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // For a call that returns the handle through an out-parameter.
    Native* put() noexcept {
        reset();
        return &handle_;
    }
    Native release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Native handle = nullptr) noexcept {
        // Cleared before the close, so that a window destroyed here finds its owner empty.
        const Native old = std::exchange(handle_, handle);
        if (old != nullptr) {
            static_cast<void>(Close(old));
        }
    }

  private:
    Native handle_ = nullptr;
};

using RegKey = UniqueHandle<HKEY, &::RegCloseKey>;
using KernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;  // processes, threads, events
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, &::DeleteObject>;
// A menu bar: destroying it destroys the pop-up menus it holds.
using UniqueMenu = UniqueHandle<HMENU, &::DestroyMenu>;
using UniqueIcon = UniqueHandle<HICON, &::DestroyIcon>;
using UniqueCursor = UniqueHandle<HCURSOR, &::DestroyCursor>;

// The program keeps registry keys as 32-bit integers; the predefined roots are sign-extended
// values (0x80000001 is HKEY_CURRENT_USER), so widen through a signed 32-bit integer.
inline HKEY ToHkey(Hkey key) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
}
inline Hkey FromHkey(HKEY key) {
    return static_cast<Hkey>(reinterpret_cast<std::uintptr_t>(key));
}

}  // namespace vt::win32
