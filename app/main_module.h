#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "build_config.h"
#include "platform/form_toolkit.h"
#include "platform/system_services.h"

// Small start-up routines of the main window.
namespace vt::Main {

// The address opened on about one start in a hundred; set when the program is built.
inline constexpr std::wstring_view kHomePageAddress = VINTRELL_HOME_PAGE;

// The program's first step, before anything can load a DLL: later loads search the system
// folder alone, never the program's own folder, where anyone who can write there (Downloads)
// could plant a DLL that a system DLL loads by name. Where Windows cannot (an unpatched
// Windows 7), at least the current folder leaves the search.
void RestrictDllSearch(SystemServices& system) noexcept;

// True when the file's date and time of last change can be read; never raises.
bool FileExists(SystemServices& files, std::wstring_view path) noexcept;

// Puts the window in the middle of the screen.
void CenterForm(FormToolkit& toolkit);

// The number from 1 to 100 that a start at this time of day draws: Int(Rnd * 100) + 1, the
// generator seeded with the seconds since midnight.
std::int32_t HomePageDraw(double secondsSinceMidnight);

// Draws a number from 1 to 100, seeded from the time of day, and on a 7 opens the address in
// the browser without waiting, through the explorer of the Windows folder, named by its full
// path. With no address the number is still drawn and nothing starts. Raises AppError when the
// command line cannot be started.
void MaybeOpenHomePage(SystemServices& system, std::wstring_view address = kHomePageAddress);

// The path of the optional hand cursor: the executable's folder followed by "\HAND-M.CUR";
// empty when the executable's path names no folder.
std::wstring CursorFilePath(SystemServices& files);

}  // namespace vt::Main
