#pragma once

// The one way a failed Win32 call becomes the program's AppError.
#include "platform/win32/handles.h"

#include <string>
#include <string_view>

#include "platform/error.h"

namespace vt::win32 {

// Where the platform's own errors come from, unless a call names itself.
inline constexpr const char* kPlatformSource = "Win32Platform";

// The system's one-line description of a Win32 error code; "Windows error N" where it has none.
std::wstring SystemMessage(DWORD code);

// Raises AppError for a call that failed and left its reason in the thread's last error: the
// code is its number, and the description is `what` followed by the system's description
// (`what` alone when the call left no code).
[[noreturn]] void ThrowLastError(std::wstring_view what, const char* source = kPlatformSource);

// Raises AppError for a call that failed without a reason from the system: one the window
// toolkit cannot make (no such control, no window), or a message a control refused.
[[noreturn]] void ThrowInvalidCall(std::wstring_view description);

}  // namespace vt::win32
