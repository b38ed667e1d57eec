#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_platform.h"

// The simulated desktop's code page 1252 and upper-case mapping: the title test and every
// ANSI call rest on them, and the Windows build compares them with the real ones.
namespace vt::sim {
namespace {

bool IsSurrogate(char32_t code) {
    return code >= 0xD800 && code <= 0xDFFF;
}

TEST(SimText, EveryAnsiByteSurvivesTheRoundTrip) {
    SimPlatform sim;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string ansi(1, static_cast<char>(byte));
        const std::wstring text = sim.AnsiToUnicode(ansi);
        ASSERT_EQ(text.size(), 1u) << byte;
        EXPECT_EQ(sim.UnicodeToAnsi(text), ansi) << byte;
    }
}

TEST(SimText, HighBytesMapAsWindowsCodePage1252) {
    SimPlatform sim;
    std::string high;
    for (int byte = 0x80; byte <= 0x9F; ++byte) {
        high.push_back(static_cast<char>(byte));
    }
    // The five bytes without a character become the C1 controls of the same value.
    EXPECT_EQ(sim.AnsiToUnicode(high),
              L"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
    EXPECT_EQ(sim.AnsiToUnicode("Caf\xE9 \xA0\xFF"), L"Caf\u00E9 \u00A0\u00FF");
    // An embedded NUL is a character like any other here.
    EXPECT_EQ(sim.AnsiToUnicode(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(SimText, CharactersOutsideTheCodePageTakeTheirBestFitOrBecomeQuestionMarks) {
    SimPlatform sim;
    // As Windows does: a letter with a macron becomes its plain letter, but the ligatures IJ
    // and ij have no best fit in code page 1252.
    EXPECT_EQ(sim.UnicodeToAnsi(L"\u0100\u0101 \u221E"), "Aa 8");
    EXPECT_EQ(sim.UnicodeToAnsi(L"\u0132x\u0133"), "?x?");
    EXPECT_EQ(sim.UnicodeToAnsi(L"\u4E2D\u6587"), "??");
    EXPECT_EQ(sim.UnicodeToAnsi(L"\u20AC\u2122"), "\x80\x99");
    // A character beyond the BMP is two UTF-16 units, two '?', whatever the width of wchar_t.
    EXPECT_EQ(sim.UnicodeToAnsi(L"a\U0001F600b"), "a??b");

    // The 256 characters of the code page have a byte ('?' is one of them), and 441 others a
    // best fit, as Windows maps them.
    int mapped = 0;
    for (char32_t code = 0; code <= 0xFFFF; ++code) {
        if (!IsSurrogate(code) &&
            sim.UnicodeToAnsi(std::wstring(1, static_cast<wchar_t>(code))) != "?") {
            ++mapped;
        }
    }
    EXPECT_EQ(mapped, 255 + 441);
}

TEST(SimText, UpperCaseMapsEveryLetterOfTheCodePage) {
    SimPlatform sim;
    EXPECT_EQ(sim.UpperCase(L"calc - Notepad 2.0 [x]"), L"CALC - NOTEPAD 2.0 [X]");
    EXPECT_EQ(sim.UpperCase(L"\u00E0\u00E9\u00EE\u00F5\u00FC\u00E7\u00F8\u00FE"),
              L"\u00C0\u00C9\u00CE\u00D5\u00DC\u00C7\u00D8\u00DE");
    EXPECT_EQ(sim.UpperCase(L"\u00FF\u0161\u0153\u017E"), L"\u0178\u0160\u0152\u017D");
    EXPECT_EQ(sim.UpperCase(L"\u0192"), L"\u0191");  // its capital is not in the code page
    EXPECT_EQ(sim.UpperCase(L"\u00B5"), L"\u00B5");  // Windows leaves the micro sign as it is
    // Sharp s has no one-letter capital; division and multiplication signs are no letters.
    EXPECT_EQ(sim.UpperCase(L"stra\u00DFe \u00F7\u00D7"), L"STRA\u00DFE \u00F7\u00D7");

    // Lower and upper case letters of the code page pair up: every lower-case letter maps to
    // a character that upper-casing leaves alone.
    for (int byte = 0; byte < 256; ++byte) {
        const std::wstring text = sim.AnsiToUnicode(std::string(1, static_cast<char>(byte)));
        const std::wstring upper = sim.UpperCase(text);
        EXPECT_EQ(sim.UpperCase(upper), upper) << byte;
    }
}

TEST(SimText, UpperCaseCoversOtherAlphabets) {
    SimPlatform sim;
    EXPECT_EQ(sim.UpperCase(L"\u0105\u010D\u0119\u0142\u0144\u017A\u017C"),
              L"\u0104\u010C\u0118\u0141\u0143\u0179\u017B");  // Polish, Czech
    EXPECT_EQ(sim.UpperCase(L"\u043F\u0440\u0438\u0432\u0435\u0442 \u0451\u0456"),
              L"\u041F\u0420\u0418\u0412\u0415\u0422 \u0401\u0406");
    EXPECT_EQ(sim.UpperCase(L"\u03AC\u03BB\u03C6\u03B1 \u03BB\u03CC\u03B3\u03BF\u03C2"),
              L"\u0386\u039B\u03A6\u0391 \u039B\u038C\u0393\u039F\u03A3");
    EXPECT_EQ(sim.UpperCase(L"\u4E2D\u6587 123"), L"\u4E2D\u6587 123");

    // Upper-casing is stable across the whole BMP: a capital is never mapped again.
    for (char32_t code = 0; code <= 0xFFFF; ++code) {
        if (IsSurrogate(code)) {
            continue;
        }
        const std::wstring upper = sim.UpperCase(std::wstring(1, static_cast<wchar_t>(code)));
        ASSERT_EQ(sim.UpperCase(upper), upper) << std::hex << static_cast<std::uint32_t>(code);
    }
}

}  // namespace
}  // namespace vt::sim
