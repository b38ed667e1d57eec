#include "app/single_instance.h"

#include "app/main_window.h"
#include "resources/layout.h"

namespace vt {

SingleInstance::SingleInstance(Platform& platform)
    : platform_(platform), mutex_(platform.system.CreateMutexA(kSessionMutexName)) {}

SingleInstance::~SingleInstance() {
    if (mutex_.handle != 0) {
        // Nothing can be done about a handle that fails to close.
        static_cast<void>(platform_.system.CloseHandle(mutex_.handle));
    }
}

bool SingleInstance::AnotherCopyRuns() const {
    if (mutex_.handle != 0) {
        return mutex_.lastError == ERROR_ALREADY_EXISTS;
    }
    // A copy started with higher rights (elevated) made it, and this one may not open it. Any
    // other failure leaves nothing to tell by: this start runs.
    return mutex_.lastError == ERROR_ACCESS_DENIED;
}

bool SingleInstance::HandOverToRunningCopy() noexcept {
    if (!AnotherCopyRuns()) {
        return false;
    }
    try {
        const UInt message = platform_.windows.RegisterWindowMessageA(kSecondStartMessageName);
        if (message == 0) {
            return true;  // nothing to ask with: this start ends all the same
        }
        for (UInt waited = 0;; waited += kFindIntervalMs) {
            const Hwnd running = platform_.windows.FindWindowA(kForm1ClassName, nullptr);
            if (running != 0) {
                UInt processId = 0;
                if (platform_.windows.GetWindowThreadProcessId(running, &processId) != 0) {
                    // Refused, the running copy shows without coming to the front.
                    static_cast<void>(platform_.windows.AllowSetForegroundWindow(processId));
                }
                // Posted, never sent: a copy that has stopped answering cannot hold this start.
                static_cast<void>(platform_.windows.PostMessageA(running, message, 0, 0));
                return true;
            }
            if (waited >= kFindTimeoutMs) {
                break;
            }
            platform_.system.Sleep(kFindIntervalMs);
        }
        // OK is its only answer.
        static_cast<void>(platform_.form.MessageBox(kNotRespondingMessage, MB_OK, kAppTitle));
        return true;
    } catch (...) {
        return true;  // a second start ends in silence, whatever failed
    }
}

}  // namespace vt
