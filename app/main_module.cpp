#include "app/main_module.h"

#include <cmath>
#include <cstdint>

#include "app/main_window.h"

namespace vt::Main {

bool FileExists(Platform& platform, std::wstring_view path) noexcept {
    try {
        return platform.GetFileDateTime(path);
    } catch (...) {
        return false;  // whatever went wrong, the file is not usable
    }
}

void CenterForm(Form1& form) {
    Platform& platform = form.platform();
    const double left = (platform.ScreenWidthTwips() - platform.FormWidthTwips()) / 2.0;
    const double top = (platform.ScreenHeightTwips() - platform.FormHeightTwips()) / 2.0;
    platform.MoveForm(static_cast<std::int32_t>(std::lround(left)),
                      static_cast<std::int32_t>(std::lround(top)));
}

void MaybeOpenHomePage(Platform& platform, std::wstring_view address) {
    constexpr std::int32_t kLuckyNumber = 7;
    platform.Randomize(platform.SecondsSinceMidnight());
    const auto number = static_cast<std::int32_t>(platform.Rnd() * 100) + 1;
    if (number != kLuckyNumber || address.empty()) {
        return;
    }
    std::wstring commandLine = L"explorer \"";
    commandLine += address;
    commandLine += L'"';
    platform.Shell(commandLine, SW_SHOWMINIMIZED);
}

std::wstring CursorFilePath(Platform& platform) {
    const std::wstring executable = platform.ExecutablePath();
    const std::size_t slash = executable.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return {};  // "\\HAND-M.CUR" alone would name the root of the current drive
    }
    return executable.substr(0, slash) + L"\\HAND-M.CUR";
}

}  // namespace vt::Main
