// First: it includes the seam before <windows.h>, whose macros carry the seam's names.
#include "platform/win32/win32_platform.h"

#include <exception>

#include "app/main_window.h"
#include "platform/error.h"

namespace {

constexpr int kFailed = 1;

// Start-up and the message loop; a failure that nothing trapped is shown, and ends the program.
int Run(vt::win32::Win32Platform& platform) {
    vt::Form1 form(platform);
    try {
        form.Start();
        return platform.RunMessageLoop();
    } catch (const vt::AppError& error) {
        platform.MessageBox(error.Description(), MB_OK, vt::kAppTitle);
    } catch (const std::exception&) {
        platform.MessageBox(L"Unexpected error", MB_OK, vt::kAppTitle);
    }
    // The window goes while the form it reports to still exists.
    platform.EndProgram();
    return kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        vt::win32::Win32Platform platform(instance);
        try {
            return Run(platform);
        } catch (const vt::AppError& error) {
            // The window could not be created.
            platform.MessageBox(error.Description(), MB_OK, vt::kAppTitle);
        }
    } catch (...) {
        // Nothing is left that could report it.
    }
    return kFailed;
}
