#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace vt {

// Held by the copy of the program that runs in the user's session; the 32- and 64-bit builds
// are one program and share it.
inline constexpr const char* kSessionMutexName = "Local\\Tolvane.Vintrell";
// Posted by a second start to the running copy's main window.
inline constexpr const char* kSecondStartMessageName = "VintrellSecondStart";
// Shown by a second start that found the session's mutex but no window of the running copy.
inline constexpr std::wstring_view kNotRespondingMessage =
    L"Vintrell is already running but does not respond.";

// One copy of the program per user session. The first start holds the session's mutex for the
// life of its process; a later start finds the running copy, hands over to it and ends.
class SingleInstance {
  public:
    // Claims the session before anything is read or written, and before Form1's window exists,
    // which a second start must not take for the running copy's.
    explicit SingleInstance(Platform& platform);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();  // lets go of the session's mutex

    // When another copy runs in the session: asks it to show its main window, without waiting,
    // and returns true; this start must then end, having written nothing. A copy whose window
    // does not show within kFindTimeoutMs is reported in a message box. False for the first copy.
    bool HandOverToRunningCopy() noexcept;

    // How long and how often a second start looks for the running copy's window, which a copy
    // that has just claimed the session (at logon) may not have made yet.
    static constexpr UInt kFindTimeoutMs = 10000;
    static constexpr UInt kFindIntervalMs = 50;

  private:
    bool AnotherCopyRuns() const;

    Platform& platform_;
    const CreateMutexResult mutex_;  // its handle, and whether it was made by another copy
};

}  // namespace vt
