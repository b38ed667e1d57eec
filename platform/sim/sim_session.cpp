#include "platform/sim/sim_session.h"

#include <utility>

#include "platform/sim/sim_text.h"
#include "resources/layout.h"

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

void SimSession::SetWindowClass(Hwnd hWnd, std::string className, UInt processId) {
    SimWindow& window = desktop_.Window(hWnd);
    window.className = className;
    window.processId = processId;
    classes_[hWnd] = {std::move(className), processId};
}

Hwnd SimSession::FindWindowA(const char* className, const char* windowName) {
    ++findWindowCalls_;
    if (onFindWindow) {
        onFindWindow();
    }
    // Class names and titles are compared ignoring case.
    const auto matches = [&](std::string_view windowClass, std::string_view title) {
        return className != nullptr && UpperAnsi(windowClass) == UpperAnsi(className) &&
               (windowName == nullptr || UpperAnsi(title) == UpperAnsi(windowName));
    };
    if (form_.FormCreated() && desktop_.FormOnDesktop() &&
        matches(kForm1ClassName, EncodeAnsi(form_.Caption()))) {
        return form_.FormHandle();
    }
    for (const auto& [hWnd, windowClass] : classes_) {
        if (desktop_.WindowExists(hWnd) && hWnd != form_.FormHandle() &&
            matches(windowClass.className, desktop_.Window(hWnd).title)) {
            return hWnd;
        }
    }
    return 0;
}

Bool32 SimSession::AllowSetForegroundWindow(UInt processId) {
    foregroundAllowed_.push_back(processId);
    return processId != 0 ? 1 : 0;
}

}  // namespace vt::sim
