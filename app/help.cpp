#include <string_view>

#include "app/main_window.h"

namespace vt {

// Lines break at each carriage return in the message box; a line feed is never used.
constexpr std::wstring_view kHelpText =
    L"This program will automatically close a window if it contains the letters (name) you "
    L"add.\r\r"
    L"Please try the following demo:\r\r"
    L"Add the word\r\r"
    L"calc\r\r"
    L"to this program.\r\r"
    L"Click \"Start Monitoring\"\r\r"
    L"Go to Start > Run and type in calc and hit enter.\r\r"
    L"The Microsoft Calculator will open and be immediately closed by this program.";

void Form1::Check5_Click() {
    // The button springs back before the box shows.
    if (!Check5.Pushed()) {
        return;
    }
    ShowMessage(kHelpText, MB_OK);
}

}  // namespace vt
