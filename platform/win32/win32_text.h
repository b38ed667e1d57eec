#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/text_conversion.h"

#include <string>
#include <string_view>

namespace vt::win32 {

// The system's ANSI code page and the user locale's upper case, for the program and for the
// platform's own calls. AppError when a text cannot be converted.
std::wstring FromAnsi(std::string_view ansi);
std::string ToAnsi(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);

class Win32Text : public TextConversion {
  public:
    std::wstring AnsiToUnicode(std::string_view ansi) const override { return FromAnsi(ansi); }
    std::string UnicodeToAnsi(std::wstring_view text) const override { return ToAnsi(text); }
    std::wstring UpperCase(std::wstring_view text) const override { return ToUpper(text); }
};

}  // namespace vt::win32
