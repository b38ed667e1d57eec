#pragma once

#include <string>
#include <string_view>

#include "platform/text_conversion.h"

// The simulated system's text, which the other simulated services use too: code page 1252 as its
// ANSI code page, and the user locale's upper case, as Windows maps the code page's characters.
// Beyond the code page it knows the one best fit that the tests rely on, and no capitals.
namespace vt::sim {

std::wstring DecodeAnsi(std::string_view ansi);
// A character beyond the code page becomes '?' unless it has a best fit here.
std::string EncodeAnsi(std::wstring_view text);
std::wstring UpperWide(std::wstring_view text);
// An ANSI name upper-cased as the registry and the atom table compare them.
std::string UpperAnsi(std::string_view text);

class SimText : public TextConversion {
  public:
    std::wstring AnsiToUnicode(std::string_view ansi) const override { return DecodeAnsi(ansi); }
    std::string UnicodeToAnsi(std::wstring_view text) const override { return EncodeAnsi(text); }
    std::wstring UpperCase(std::wstring_view text) const override { return UpperWide(text); }
};

}  // namespace vt::sim
