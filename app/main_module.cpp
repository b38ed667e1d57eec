#include "app/main_module.h"

#include <cmath>

#include "app/random_numbers.h"
#include "platform/error.h"

namespace vt::Main {

void RestrictDllSearch(SystemServices& system) noexcept {
    if (!system.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // The program's own folder stays first in the search; nothing better is left to try.
        static_cast<void>(system.SetDllDirectoryA(""));
    }
}

bool FileExists(SystemServices& files, std::wstring_view path) noexcept {
    try {
        return files.GetFileDateTime(path);
    } catch (...) {
        return false;  // whatever went wrong, the file is not usable
    }
}

void CenterForm(FormToolkit& toolkit) {
    const double left = (toolkit.ScreenWidthTwips() - toolkit.FormWidthTwips()) / 2.0;
    const double top = (toolkit.ScreenHeightTwips() - toolkit.FormHeightTwips()) / 2.0;
    toolkit.MoveForm(static_cast<std::int32_t>(std::lround(left)),
                     static_cast<std::int32_t>(std::lround(top)));
}

std::int32_t HomePageDraw(double secondsSinceMidnight) {
    RandomNumbers rnd(secondsSinceMidnight);
    return static_cast<std::int32_t>(rnd.Next() * 100) + 1;
}

void MaybeOpenHomePage(SystemServices& system, std::wstring_view address) {
    constexpr std::int32_t kLuckyNumber = 7;
    if (HomePageDraw(system.SecondsSinceMidnight()) != kLuckyNumber || address.empty()) {
        return;
    }
    // A bare "explorer" would be looked for in the program's own folder first.
    std::wstring windows = system.GetSystemWindowsDirectoryW();
    windows.erase(windows.find_last_not_of(L'\\') + 1);  // "C:\" at a drive's root
    if (windows.empty()) {
        throw AppError(err::kFileNotFound, "MaybeOpenHomePage",
                       L"The Windows folder could not be found");
    }
    std::wstring commandLine = L"\"" + windows + L"\\explorer.exe\" \"";
    commandLine += address;
    commandLine += L'"';
    system.Shell(commandLine, SW_SHOWMINIMIZED);
}

std::wstring CursorFilePath(SystemServices& files) {
    const std::wstring executable = files.ExecutablePath();
    const std::size_t slash = executable.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return {};  // "\\HAND-M.CUR" alone would name the root of the current drive
    }
    return executable.substr(0, slash) + L"\\HAND-M.CUR";
}

}  // namespace vt::Main
