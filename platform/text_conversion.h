#pragma once

#include <optional>
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

// The text in the system code page, or nullopt when that code page cannot hold it (a letter it
// lacks would come back as another, or as a '?').
inline std::optional<std::string> ToAnsiExactly(const TextConversion& text,
                                                std::wstring_view unicode) {
    std::string ansi = text.UnicodeToAnsi(unicode);
    if (text.AnsiToUnicode(ansi) != unicode) {
        return std::nullopt;
    }
    return ansi;
}

}  // namespace vt
