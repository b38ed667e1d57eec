#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/list_view.h"
#include "platform/platform.h"

namespace vt {

// The longest title a sweep reads: 49 characters, in a buffer of 50 with its terminating zero.
inline constexpr std::size_t kLongestTitle = 49;

// Does a title contain any of a set of keywords, ignoring case? Both sides are upper-cased with
// the platform's mapping and then compared code for code. The keywords are upper-cased once and
// merged into one automaton (Aho-Corasick), so a title is read once whatever the number of
// keywords: a sweep costs the total length of its titles, not titles times keywords.
class KeywordMatcher {
  public:
    // Up to this many transition cells the automaton keeps a dense table (one row per state,
    // one column per character that occurs in a keyword); beyond it, it follows failure links.
    static constexpr std::size_t kDenseTableLimit = std::size_t{1} << 21;

    // Reads every keyword of the list, once, leaving out those longer than kLongestTitle;
    // errors from the list pass on unchanged.
    KeywordMatcher(const Platform& platform, const ListView& list,
                   std::size_t denseTableLimit = kDenseTableLimit);
    KeywordMatcher(const Platform& platform, const std::vector<std::wstring>& keywords,
                   std::size_t denseTableLimit = kDenseTableLimit);

    // True when at least one keyword occurs in the title. An empty title matches nothing, not
    // even an empty keyword; an empty keyword matches every other title.
    bool Matches(std::wstring_view title) const;

    bool UsesDenseTable() const { return !dense_.empty(); }
    std::size_t StateCount() const { return fail_.size(); }

  private:
    using State = std::uint32_t;
    using CharClass = std::uint32_t;  // 0: a character that occurs in no keyword

    void Build(std::vector<std::wstring> keywords, std::size_t denseTableLimit);
    CharClass ClassOf(wchar_t c) const;
    State FindChild(State state, CharClass charClass) const;  // kNoState when there is none
    State NextLinked(State state, CharClass charClass) const;
    enum class Found { No, Yes, Unmapped };
    // Walks the automaton over the text; `classOf` gives each character's class, or kUnmapped.
    template <typename ClassOfChar>
    Found Walk(std::wstring_view text, ClassOfChar classOf) const;

    static constexpr State kNoState = ~State{0};
    static constexpr State kMatch = ~State{0};             // in the dense table: a keyword ends
    static constexpr CharClass kUnmapped = ~CharClass{0};  // no class known without the platform

    const Platform& platform_;
    bool hasEmptyKeyword_ = false;

    // The compact alphabet: characters below 256 by table, the others by binary search.
    std::array<CharClass, 256> lowClass_{};
    // The class of the upper-case form of each character below 256, from one call of the
    // platform's mapping; titles made of these alone need no call of their own. Empty when the
    // mapping is not one character for one.
    std::vector<CharClass> upperLowClass_;
    std::vector<std::uint32_t> highChars_;  // sorted; class of highChars_[i] is highBase_ + i
    CharClass highBase_ = 0;
    std::size_t width_ = 1;  // number of classes, 0 included

    // The trie in compressed rows: the children of state s are edges edgeStart_[s] to
    // edgeStart_[s + 1] - 1, sorted by class.
    std::vector<std::uint32_t> edgeStart_;
    std::vector<CharClass> edgeClass_;
    std::vector<State> edgeTarget_;
    std::vector<State> fail_;
    std::vector<std::uint8_t> output_;  // a keyword ends here, or at one of its suffixes
    // Row offsets (state times width_) or kMatch, one row per state; empty over the limit.
    std::vector<State> dense_;
};

// The title test for one title against the list as it stands now.
bool MatchesKeyword(Platform& platform, std::wstring_view title, const ListView& list);

}  // namespace vt
