#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vt {

// Held by the copy of the program that runs in the user's session; the 32- and 64-bit builds
// are one program and share it.
inline constexpr const char* kSessionMutexName = "Local\\Tolvane.Vintrell";
// Posted by a second start to the running copy's main window.
inline constexpr const char* kSecondStartMessageName = "VintrellSecondStart";

// One copy of the program per user session. The first start holds the session's mutex for the
// life of its process; a later start finds the running copy, hands over to it and ends.
class SingleInstance {
  public:
    // Claims the session: before anything is read or written, and before Form1's window exists,
    // which a second start must not find in place of the running copy's.
    explicit SingleInstance(Platform& platform);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // When another copy runs in the session: asks it to show its main window, without waiting
    // for it, and returns true; this start must then end, having written nothing. A copy that
    // cannot be found or reached is left as it is, in silence. False for the first copy.
    bool HandOverToRunningCopy() noexcept;

    // How often and how long a second start looks for the running copy's window: a copy that
    // has only just claimed the session may not have made it yet.
    static constexpr std::int32_t kFindAttempts = 20;
    static constexpr UInt kFindIntervalMs = 50;

  private:
    bool AnotherCopyRuns() const;

    Platform& platform_;
    NamedMutex mutex_;
};

}  // namespace vt
