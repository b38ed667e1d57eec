#pragma once

#include <string>
#include <string_view>

#include "build_config.h"
#include "platform/platform.h"

namespace vt {
class Form1;
}

// Small start-up routines of the main window.
namespace vt::Main {

// The address opened on about one start in a hundred; set when the program is built.
inline constexpr std::wstring_view kHomePageAddress = VINTRELL_HOME_PAGE;

// True when the file's date and time of last change can be read; never raises.
bool FileExists(Platform& platform, std::wstring_view path) noexcept;

// Puts the window in the middle of the screen.
void CenterForm(Form1& form);

// Draws a number from 1 to 100, seeded from the time of day, and on a 7 opens the address in
// the browser without waiting. With no address the number is still drawn and nothing starts.
// Raises AppError when the command line cannot be started.
void MaybeOpenHomePage(Platform& platform, std::wstring_view address = kHomePageAddress);

// The path of the optional hand cursor: the executable's folder followed by "\HAND-M.CUR";
// empty when the executable's path names no folder.
std::wstring CursorFilePath(Platform& platform);

}  // namespace vt::Main
