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
// folder alone, never the program's own (Downloads), where anyone could plant a DLL that a
// system DLL loads by name. An unpatched Windows 7 at least drops the current folder.
void RestrictDllSearch(SystemServices& system) noexcept;

// True when the file's date and time of last change can be read; never raises.
bool FileExists(SystemServices& files, std::wstring_view path) noexcept;

void CenterForm(FormToolkit& toolkit);

// The number from 1 to 100 that a start at this time of day draws: Int(Rnd * 100) + 1, the
// generator seeded with the seconds since midnight.
std::int32_t HomePageDraw(double secondsSinceMidnight);

// Draws a number from 1 to 100 (HomePageDraw at this time of day), and on a 7 opens the address,
// if any, with the Windows folder's explorer, without waiting. AppError when it cannot start.
void MaybeOpenHomePage(SystemServices& system, std::wstring_view address = kHomePageAddress);

// The optional hand cursor beside the executable; empty when its path names no folder.
std::wstring CursorFilePath(SystemServices& files);

}  // namespace vt::Main
