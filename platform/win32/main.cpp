// First: it includes the seam before <windows.h>, whose macros carry the seam's names.
#include "platform/win32/win32_platform.h"

#include "app/main_module.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "platform/error.h"

namespace {

constexpr int kFailed = 1;

// Start-up and the message loop. A failure that nothing trapped is shown, as the program shows
// every error, and ends the program.
int Run(vt::win32::Win32Platform& platform, vt::Form1& form) noexcept {
    try {
        form.Start();
        return platform.RunMessageLoop();
    } catch (...) {
        try {
            form.ShowMessage(vt::CurrentErrorDescription(platform));
        } catch (...) {
            // Describing it failed as well (no memory left): nothing is left to report with.
        }
    }
    try {
        // The window goes while the form it reports to still exists.
        platform.EndProgram();
    } catch (...) {
        // The platform then destroys the window as it goes, telling the form nothing.
    }
    return kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    {
        // First of all: the platform's common controls and windows load DLLs by name. (Wine
        // loads its own DLLs its own way; on Windows this keeps planted ones out.)
        vt::win32::Win32SystemServices system;
        vt::Main::RestrictDllSearch(system);
    }
    try {
        vt::win32::Win32Platform platform(instance);
        // Held to the end: while it exists, every other start in the session hands over to
        // this one and ends at once.
        vt::SingleInstance session(platform);
        if (session.HandOverToRunningCopy()) {
            return 0;
        }
        try {
            vt::Form1 form(platform);
            return Run(platform, form);
        } catch (...) {
            // The window could not be created: no form owns the box.
            platform.MessageBox(vt::CurrentErrorDescription(platform), MB_OK, vt::kAppTitle);
        }
    } catch (...) {
        // Before the form exists, with nothing left to describe the failure: a fixed text.
        static_cast<void>(::MessageBoxA(nullptr, "Unexpected error", "Vintrell", MB_OK));
    }
    return kFailed;
}
