#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/session_services.h"
#include "platform/sim/sim_desktop.h"

// The simulated session: named mutexes, some of them held by other processes (a copy of the
// program already running), and finding the desktop's windows by class.
namespace vt::sim {

class SimSession : public SessionServices {
  public:
    explicit SimSession(SimDesktop& desktop) : desktop_(desktop) {}

    // --- Named mutexes -----------------------------------------------------------------------
    // Another process of the session holds a mutex of this name.
    void HoldMutexElsewhere(std::string name) { mutexes_[std::move(name)].heldElsewhere = true; }
    // The next CreateMutexA fails with this error (ERROR_ACCESS_DENIED: the mutex is there but
    // its maker's rights keep this process out).
    void FailNextCreateMutex(std::int32_t error) { nextMutexError_ = error; }
    // Handles of the program's own that are open on the mutex of this name.
    std::int32_t OpenMutexHandles(std::string_view name) const;

    // --- Finding windows -------------------------------------------------------------------------
    // Runs at each FindWindowA before it looks (a program that starts meanwhile).
    std::function<void()> onFindWindow;
    std::int32_t FindWindowCalls() const { return findWindowCalls_; }
    // Every AllowSetForegroundWindow, in order: the process it named.
    const std::vector<UInt>& ForegroundAllowed() const { return foregroundAllowed_; }

    // --- SessionServices -----------------------------------------------------------------------
    CreateMutexResult CreateMutexA(const char* name) override;
    Bool32 CloseHandle(Hkernel handle) override;
    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Bool32 AllowSetForegroundWindow(UInt processId) override;

  private:
    struct Mutex {
        bool heldElsewhere = false;
        std::int32_t ownHandles = 0;
    };

    SimDesktop& desktop_;
    std::map<std::string, Mutex> mutexes_;
    std::map<Hkernel, std::string> handles_;  // the program's open handles: the mutex's name
    Hkernel nextHandle_ = 0x0104;
    std::int32_t nextMutexError_ = 0;
    std::int32_t findWindowCalls_ = 0;
    std::vector<UInt> foregroundAllowed_;
};

}  // namespace vt::sim
