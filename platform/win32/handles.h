#pragma once

// Our types first: <windows.h> defines macros with the names of their constants.
#include "platform/types.h"

#include <windows.h>
#undef MessageBox  // FormToolkit::MessageBox, not the A/W macro

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

    // Stands for the out-parameter of a call that returns the handle through one, and takes
    // the handle the call left there.
    class Out {
      public:
        explicit Out(UniqueHandle& owner) noexcept : owner_(owner) {}
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
        operator Native*() const noexcept { return &owner_.handle_; }

      private:
        UniqueHandle& owner_;
    };
    Out put() noexcept {
        reset();
        return Out(*this);
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

using UniqueKey = UniqueHandle<HKEY, &::RegCloseKey>;
using KernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;  // processes, threads, events
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, &::DeleteObject>;
// A menu bar: destroying it destroys the pop-up menus it holds.
using UniqueMenu = UniqueHandle<HMENU, &::DestroyMenu>;
using UniqueIcon = UniqueHandle<HICON, &::DestroyIcon>;
using UniqueCursor = UniqueHandle<HCURSOR, &::DestroyCursor>;

// The program keeps window, icon and registry key handles as 32-bit integers. 64-bit Windows
// keeps window and icon handles 32-bit significant so that 32-bit programs can share them, and
// widens them by sign extension, as the conversions back do here; the predefined registry
// roots are sign-extended values too (0x80000001 is HKEY_CURRENT_USER).
inline HWND ToHwnd(Hwnd handle) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
}
inline Hwnd FromHwnd(HWND handle) {
    return static_cast<Hwnd>(reinterpret_cast<std::intptr_t>(handle));
}
inline HICON ToHicon(Hicon icon) {
    return reinterpret_cast<HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}
inline Hicon FromHicon(HICON icon) {
    return static_cast<Hicon>(reinterpret_cast<std::uintptr_t>(icon));
}
inline HKEY ToHkey(Hkey key) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
}
inline Hkey FromHkey(HKEY key) {
    return static_cast<Hkey>(reinterpret_cast<std::uintptr_t>(key));
}

}  // namespace vt::win32
