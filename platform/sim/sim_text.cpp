#include "platform/sim/sim_text.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/sim/best_fit_1252.h"

namespace vt::sim {

namespace {

// ---- Code page 1252 ----------------------------------------------------------------------

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 controls of equal value.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t DecodeCp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kCp1252High[byte - 0x80];
    }
    return byte;
}

// The byte for a code point; one code page 1252 lacks takes its best fit, else '?'.
char EncodeCp1252(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        return static_cast<char>(code);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == code) {
            return static_cast<char>(0x80 + i);
        }
    }
    const char bestFit = BestFit1252(code);
    return bestFit != '\0' ? bestFit : '?';
}

// ---- Upper case ----------------------------------------------------------------------------

// The user locale's upper-case mapping: code points first..last, taking every `step`-th one
// from `first`, map to code + delta. Everything not listed maps to itself (U+00DF among them,
// and the micro sign U+00B5, which Windows does not upper-case).
struct UpperRule {
    char32_t first;
    char32_t last;
    char32_t step;
    std::int32_t delta;
};

constexpr std::array<UpperRule, 26> kUpperRules{{
    // Basic Latin and Latin-1
    {0x0061, 0x007A, 1, -0x20},
    {0x00E0, 0x00F6, 1, -0x20},
    {0x00F8, 0x00FE, 1, -0x20},
    {0x00FF, 0x00FF, 1, 0x0178 - 0x00FF},
    // Latin Extended-A: pairs; U+0130, U+0131, U+0138, U+0149 and U+017F stay as they are
    {0x0101, 0x012F, 2, -1},
    {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},
    {0x014B, 0x0177, 2, -1},
    {0x017A, 0x017E, 2, -1},
    // Latin Extended-B: the florin of code page 1252
    {0x0192, 0x0192, 1, -1},
    // Greek
    {0x03AC, 0x03AC, 1, 0x0386 - 0x03AC},
    {0x03AD, 0x03AF, 1, 0x0388 - 0x03AD},
    {0x03B1, 0x03C1, 1, -0x20},
    {0x03C2, 0x03C2, 1, 0x03A3 - 0x03C2},  // final sigma
    {0x03C3, 0x03CB, 1, -0x20},
    {0x03CC, 0x03CC, 1, 0x038C - 0x03CC},
    {0x03CD, 0x03CE, 1, 0x038E - 0x03CD},
    // Cyrillic
    {0x0430, 0x044F, 1, -0x20},
    {0x0450, 0x045F, 1, -0x50},
    {0x0461, 0x0481, 2, -1},
    {0x048B, 0x04BF, 2, -1},
    {0x04C2, 0x04CE, 2, -1},
    {0x04CF, 0x04CF, 1, 0x04C0 - 0x04CF},
    {0x04D1, 0x052F, 2, -1},
    // Latin Extended Additional (Vietnamese and Welsh letters)
    {0x1E01, 0x1E95, 2, -1},
    {0x1EA1, 0x1EFF, 2, -1},
}};

char32_t UpperChar(char32_t code) {
    for (const UpperRule& rule : kUpperRules) {
        if (code >= rule.first && code <= rule.last && (code - rule.first) % rule.step == 0) {
            return static_cast<char32_t>(static_cast<std::int32_t>(code) + rule.delta);
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
        const auto code = static_cast<char32_t>(unit);
        // Windows converts UTF-16 units: a character beyond the BMP is two of them, two '?'.
        if (code > 0xFFFF) {
            ansi += "??";
            continue;
        }
        ansi.push_back(EncodeCp1252(code));
    }
    return ansi;
}

std::wstring UpperWide(std::wstring_view text) {
    std::wstring upper;
    upper.reserve(text.size());
    for (wchar_t c : text) {
        // Surrogates (16-bit wchar_t) fall outside every rule and pass through unchanged.
        upper.push_back(static_cast<wchar_t>(UpperChar(static_cast<char32_t>(c))));
    }
    return upper;
}

std::string UpperAnsi(std::string_view text) {
    return EncodeAnsi(UpperWide(DecodeAnsi(text)));
}

}  // namespace vt::sim
