#pragma once

// Our types first: <windows.h> defines macros with the names of their constants.
#include "platform/types.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace vt::win32 {

// One owner for one Win32 handle: move-only, closed once, when the owner goes.
template <typename Traits>
class UniqueHandle {
  public:
    using Native = typename Traits::Native;

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
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    // For a call that returns the handle through an out-parameter.
    Native* put() noexcept {
        reset();
        return &handle_;
    }
    Native release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Native handle = Traits::Invalid()) noexcept {
        const Native old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

  private:
    Native handle_ = Traits::Invalid();
};

struct RegKeyTraits {
    using Native = HKEY;
    static HKEY Invalid() noexcept { return nullptr; }
    // Nothing useful can be done about a key that fails to close.
    static void Close(HKEY key) noexcept { static_cast<void>(::RegCloseKey(key)); }
};

// Process, thread, event and file handles (CloseHandle).
struct KernelHandleTraits {
    using Native = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE handle) noexcept { static_cast<void>(::CloseHandle(handle)); }
};

using RegKey = UniqueHandle<RegKeyTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// The program keeps registry keys as 32-bit integers; the predefined roots are sign-extended
// values (0x80000001 is HKEY_CURRENT_USER), so widen through a signed 32-bit integer.
inline HKEY ToHkey(Hkey key) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
}
inline Hkey FromHkey(HKEY key) {
    return static_cast<Hkey>(reinterpret_cast<std::uintptr_t>(key));
}

}  // namespace vt::win32
