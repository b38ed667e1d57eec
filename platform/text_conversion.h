#pragma once

#include <string>
#include <string_view>

namespace vt {

// The system's text conversions: the ANSI code page that every ANSI call speaks, and the user
// locale's upper case. AppError when a text cannot be converted.
class TextConversion {
  public:
    virtual std::wstring AnsiToUnicode(std::string_view ansi) const = 0;  // system ANSI code page
    virtual std::string UnicodeToAnsi(std::wstring_view text) const = 0;
    virtual std::wstring UpperCase(std::wstring_view text) const = 0;  // user locale's mapping

  protected:
    ~TextConversion() = default;
};

}  // namespace vt
