#include "platform/sim/sim_session.h"

#include <utility>

namespace vt::sim {

// ---- Named mutexes -----------------------------------------------------------------------------

std::int32_t SimSession::OpenMutexHandles(std::string_view name) const {
    const auto it = mutexes_.find(std::string(name));
    return it == mutexes_.end() ? 0 : it->second.ownHandles;
}

CreateMutexResult SimSession::CreateMutexA(const char* name) {
    if (nextMutexError_ != 0) {
        return {0, std::exchange(nextMutexError_, 0)};
    }
    if (name == nullptr) {
        name = "";  // an unnamed mutex is always a new one
    }
    Mutex& mutex = mutexes_[name];
    const bool existed = *name != '\0' && (mutex.heldElsewhere || mutex.ownHandles > 0);
    ++mutex.ownHandles;
    const Hkernel handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = name;
    // Windows sets the last error on success too: 0 for a new mutex.
    return {handle, existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS};
}

Bool32 SimSession::CloseHandle(Hkernel handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return 0;
    }
    // The mutex goes with the last handle to it.
    const auto mutex = mutexes_.find(it->second);
    if (--mutex->second.ownHandles == 0 && !mutex->second.heldElsewhere) {
        mutexes_.erase(mutex);
    }
    handles_.erase(it);
    return 1;
}

// ---- Other processes' windows ------------------------------------------------------------------

Hwnd SimSession::FindWindowA(const char* className, const char* windowName) {
    ++findWindowCalls_;
    if (onFindWindow) {
        onFindWindow();
    }
    return className == nullptr ? 0 : desktop_.FindTopLevelWindow(className, windowName);
}

Bool32 SimSession::AllowSetForegroundWindow(UInt processId) {
    foregroundAllowed_.push_back(processId);
    return processId != 0 ? 1 : 0;
}

}  // namespace vt::sim
