#pragma once

// Our types first: <windows.h> defines macros with the names of their constants.
#include "platform/types.h"

#include <windows.h>

#include <cstdint>
#include <utility>

#ifdef VINTRELL_COUNT_HANDLES
#include <atomic>
#endif

namespace vt::win32 {

// One owner for one Win32 handle: move-only, closed once by `Close`, when the owner goes. A
// failed close is ignored: nothing useful can be done about a handle that will not close.
// A build with VINTRELL_COUNT_HANDLES keeps, per kind of handle, how many the owners hold: a
// handle counts from when an owner takes it until the owner closes it or hands it on.
template <typename Native, auto Close>
class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Native handle) noexcept : handle_(handle) { Took(handle); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) { Took(handle_); }
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

#ifdef VINTRELL_COUNT_HANDLES
    // Stands for the out-parameter during the call and counts the handle the call left.
    class Out {
      public:
        explicit Out(UniqueHandle& owner) noexcept : owner_(owner) {}
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
        ~Out() { Took(owner_.handle_); }
        operator Native*() const noexcept { return &owner_.handle_; }

      private:
        UniqueHandle& owner_;
    };
    Out put() noexcept {
        reset();
        return Out(*this);
    }
    static long Live() noexcept {
        return live_.load();
    }
#else
    // For a call that returns the handle through an out-parameter.
    Native* put() noexcept {
        reset();
        return &handle_;
    }
#endif

    Native release() noexcept {
        LetGo(handle_);
        return std::exchange(handle_, nullptr);
    }
    void reset(Native handle = nullptr) noexcept {
        // Cleared before the close, so that a window destroyed here finds its owner empty.
        const Native old = std::exchange(handle_, handle);
        Took(handle);
        if (old != nullptr) {
            LetGo(old);
            static_cast<void>(Close(old));
        }
    }

  private:
#ifdef VINTRELL_COUNT_HANDLES
    static void Took(Native handle) noexcept {
        live_ += handle != nullptr ? 1 : 0;
    }
    static void LetGo(Native handle) noexcept {
        live_ -= handle != nullptr ? 1 : 0;
    }
    static inline std::atomic<long> live_{0};
#else
    static void Took(Native) noexcept {}
    static void LetGo(Native) noexcept {}
#endif

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

#ifdef VINTRELL_COUNT_HANDLES
// The kinds a counting build reports, by number (the wParam of the form's "VintrellLiveHandles"
// message).
enum class HandleKind : unsigned {
    Window,
    Menu,
    Icon,
    Cursor,
    Font,
    Region,
    RegistryKey,
    Kernel,
};

// How many handles of the kind the owners hold now; -1 for an unknown kind.
inline long LiveHandles(HandleKind kind) noexcept {
    switch (kind) {
        case HandleKind::Window:
            return UniqueWindow::Live();
        case HandleKind::Menu:
            return UniqueMenu::Live();
        case HandleKind::Icon:
            return UniqueIcon::Live();
        case HandleKind::Cursor:
            return UniqueCursor::Live();
        case HandleKind::Font:
            return UniqueFont::Live();
        case HandleKind::Region:
            return UniqueRegion::Live();
        case HandleKind::RegistryKey:
            return RegKey::Live();
        case HandleKind::Kernel:
            return KernelHandle::Live();
    }
    return -1;
}
#endif

// The program keeps registry keys as 32-bit integers; the predefined roots are sign-extended
// values (0x80000001 is HKEY_CURRENT_USER), so widen through a signed 32-bit integer.
inline HKEY ToHkey(Hkey key) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
}
inline Hkey FromHkey(HKEY key) {
    return static_cast<Hkey>(reinterpret_cast<std::uintptr_t>(key));
}

}  // namespace vt::win32
