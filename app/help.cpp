#include <array>
#include <string>
#include <string_view>

#include "app/main_window.h"

namespace vt {

namespace {

// Lines break at each carriage return in the message box; a line feed is never used.
std::wstring HelpText() {
    constexpr std::array<std::wstring_view, 8> kLines{
        L"This program will automatically close a window if it contains the letters (name) you "
        L"add.",
        L"Please try the following demo:",
        L"Add the word",
        L"calc",
        L"to this program.",
        L"Click \"Start Monitoring\"",
        L"Go to Start > Run and type in calc and hit enter.",
        L"The Microsoft Calculator will open and be immediately closed by this program.",
    };
    std::wstring text;
    for (const std::wstring_view line : kLines) {
        if (!text.empty()) {
            text += L"\r\r";
        }
        text += line;
    }
    return text;
}

}  // namespace

void Form1::Check5_Click() {
    // The button springs back before the box shows.
    if (!Check5.Pushed()) {
        return;
    }
    ShowMessage(HelpText(), MB_OK);
}

}  // namespace vt
