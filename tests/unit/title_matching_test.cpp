#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keywords/list_view.h"
#include "monitor/matching.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "platform/text_conversion.h"

namespace vt {
namespace {

class TitleMatchingTest : public ::testing::Test {
  protected:
    void SetKeywords(const std::vector<std::wstring>& keywords) {
        sim.ListClear();
        for (const std::wstring& keyword : keywords) {
            sim.ListAdd(keyword);
        }
    }
    bool Matches(std::wstring_view title) { return MatchesKeyword(sim, title, list); }

    sim::SimPlatform sim;
    ListView list{sim};
};

TEST_F(TitleMatchingTest, CaseIsIgnoredOnBothSides) {
    SetKeywords({L"calc"});
    EXPECT_TRUE(Matches(L"Calculator"));
    EXPECT_TRUE(Matches(L"CALC.EXE"));
    EXPECT_FALSE(Matches(L"Clock"));

    SetKeywords({L"Calc"});
    EXPECT_TRUE(Matches(L"calculator"));
    EXPECT_TRUE(Matches(L"My cAlC"));
    EXPECT_FALSE(Matches(L"Cal"));
}

TEST_F(TitleMatchingTest, LettersOfCodePage1252AreUpperCasedToo) {
    SetKeywords({L"caf\u00e9"});  // café
    EXPECT_TRUE(Matches(L"CAF\u00c9 AU LAIT"));
    SetKeywords({L"\u00ff"});  // ÿ, whose capital is outside Latin-1
    EXPECT_TRUE(Matches(L"\u0178"));
    SetKeywords({L"\u00dfe"});  // ß has no single capital: it stays, and SS is another text
    EXPECT_FALSE(Matches(L"STRASSE"));
    EXPECT_TRUE(Matches(L"STRA\u00dfE"));
}

TEST_F(TitleMatchingTest, BlanksAreKeptAndLongKeywordsFitNoTitle) {
    SetKeywords({L" calc"});
    EXPECT_FALSE(Matches(L"Calculator"));
    EXPECT_TRUE(Matches(L"My Calculator"));

    const std::wstring title(49, L'a');
    SetKeywords({title + L"a"});
    EXPECT_FALSE(Matches(title));
    SetKeywords({title});
    EXPECT_TRUE(Matches(title));
}

TEST_F(TitleMatchingTest, EmptyTitleMatchesNothingAndEmptyKeywordEverythingElse) {
    EXPECT_FALSE(Matches(L"Calculator"));  // an empty list
    SetKeywords({L"zzz", L""});
    EXPECT_FALSE(Matches(L""));
    EXPECT_TRUE(Matches(L"x"));
    EXPECT_TRUE(Matches(L" "));
}

TEST_F(TitleMatchingTest, KeywordsThatOverlapInTheTitleAreAllFound) {
    // Each title needs the search to fall back from a partial match of one keyword into
    // another: these fail when the automaton's failure links are wrong.
    SetKeywords({L"abcd", L"bcx"});
    EXPECT_TRUE(Matches(L"ABCX"));
    EXPECT_FALSE(Matches(L"abcy"));
    SetKeywords({L"aab", L"ab"});
    EXPECT_TRUE(Matches(L"aaab"));
    SetKeywords({L"she", L"hers", L"his"});
    EXPECT_TRUE(Matches(L"ushers"));
    EXPECT_FALSE(Matches(L"hs he s"));
    SetKeywords({L"abab", L"b"});
    EXPECT_TRUE(Matches(L"b"));
    SetKeywords({L"calc", L"calculator"});  // one a prefix of the other
    EXPECT_TRUE(Matches(L"calc"));
    EXPECT_FALSE(Matches(L"cal"));
}

TEST_F(TitleMatchingTest, AnyNumberOfKeywordsIsExamined) {
    std::vector<std::wstring> keywords;
    for (int i = 0; i < 40000; ++i) {
        keywords.push_back(L"keyword " + std::to_wstring(i) + L";");
    }
    SetKeywords(keywords);
    EXPECT_TRUE(Matches(L"Keyword 39999;"));
    const KeywordMatcher matcher(sim, list);
    EXPECT_TRUE(matcher.Matches(L"KEYWORD 32768;"));
    EXPECT_FALSE(matcher.Matches(L"keyword 40000;"));
}

TEST_F(TitleMatchingTest, ListErrorsPassOnUnchanged) {
    SetKeywords({L"calc"});
    sim.FailListReads(true);
    try {
        Matches(L"Calculator");
        FAIL() << "the error was swallowed";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Number(), err::kControlDeleted);
    }
}

// The pairwise rule, written out: upper-case both sides, look for the keyword in the title.
bool ReferenceMatches(const TextConversion& text, std::wstring_view title,
                      const std::vector<std::wstring>& keywords) {
    if (title.empty()) {
        return false;
    }
    for (const std::wstring& keyword : keywords) {
        if (text.UpperCase(title).find(text.UpperCase(keyword)) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(TitleMatchingTest, AgreesWithThePairwiseRule) {
    std::mt19937 random(20240611);
    // Few letters, both cases and some beyond ASCII, so that keywords overlap a lot; and, for
    // lists of hundreds of keywords, many more, so that wide families of siblings compete for
    // the automaton's slots.
    const std::wstring few = L"aAbB|\u00e9\u00c9\u0416z";
    std::wstring many = few;
    for (wchar_t c = 0x4e00; c < 0x4e00 + 30; ++c) {
        many += c;
    }
    auto text = [&](const std::wstring& letters, std::size_t minLength, std::size_t maxLength) {
        std::wstring result(minLength + random() % (maxLength - minLength + 1), L' ');
        for (wchar_t& c : result) {
            c = letters[random() % letters.size()];
        }
        return result;
    };
    int titlesWithKeyword = 0;
    int titlesWithout = 0;
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 10 == 0;
        const std::wstring& letters = large ? many : few;
        std::vector<std::wstring> keywords(large ? 200 + random() % 200 : random() % 12);
        for (std::wstring& keyword : keywords) {
            keyword = text(letters, large ? 2 : 0, 5);
            if (keyword.empty() && random() % 4 != 0) {
                keyword = L"b";  // an empty keyword matches all: keep it rare
            }
        }
        SetKeywords(keywords);
        const KeywordMatcher matcher(sim, list);
        for (int t = 0; t < 40; ++t) {
            const std::wstring title = text(letters, 0, 12);
            const bool expected = ReferenceMatches(sim, title, keywords);
            ASSERT_EQ(matcher.Matches(title), expected) << "round " << round << ", title " << t;
            ++(expected ? titlesWithKeyword : titlesWithout);
        }
    }
    // Both answers are common, so that neither a constant answer nor a blind spot goes unseen.
    EXPECT_GT(titlesWithKeyword, 1000);
    EXPECT_GT(titlesWithout, 1000);
}

// Keywords spread over 3,000 characters: each still matches whole, and a run of one of them
// does not (the automaton's memory for such lists is measured by BM_MatcherBuild).
TEST_F(TitleMatchingTest, LargeAlphabetsMatchCharacterForCharacter) {
    std::vector<std::wstring> keywords;
    for (wchar_t c = 0x4e00; c < 0x4e00 + 3000; ++c) {
        keywords.push_back(std::wstring(40, c) + L"x");
    }
    SetKeywords(keywords);
    const KeywordMatcher matcher(sim, list);
    EXPECT_TRUE(matcher.Matches(std::wstring(3, L'y') + keywords[2999]));
    EXPECT_FALSE(matcher.Matches(std::wstring(40, L'\u4e00')));
}

}  // namespace
}  // namespace vt
