#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keywords/list_view.h"
#include "platform/text_conversion.h"

namespace vt {

// The longest title a sweep reads: 49 characters, in a buffer of 50 with its terminating zero.
inline constexpr std::size_t kLongestTitle = 49;

// Does a title contain any of the list's keywords, ignoring case (both sides upper-cased with
// the platform's mapping)? The keywords are merged into one automaton (Aho-Corasick), so a sweep
// costs the total length of its titles, not titles times keywords.
class KeywordMatcher {
  public:
    // Reads the list once; a keyword longer than any title matches none and is left out.
    KeywordMatcher(const TextConversion& text, const ListView& list);

    // True when at least one keyword occurs in the title. An empty title matches nothing, not
    // even an empty keyword; an empty keyword matches every other title.
    bool Matches(std::wstring_view title) const;

  private:
    using State = std::uint32_t;      // a state is the index of its slot; the root is 0
    using CharClass = std::uint32_t;  // 0: a character that occurs in no keyword
    static constexpr std::uint32_t kLowCharacters = 256;
    static constexpr State kFree = ~State{0};

    // The trie is a double array: the child of state s by class x is the slot at s's base plus
    // x, when that slot's owner is s, so there are about as many slots as states.
    struct Slot {
        State base = 0;
        State owner = kFree;  // the parent, or kFree
        State fail = 0;       // the longest proper suffix that is a trie path
        bool output = false;  // a keyword ends here, or at one of its suffixes
    };

    void LearnAlphabet(const std::vector<std::wstring>& keywords);
    void Build(const std::vector<std::wstring>& sortedKeywords);
    bool IsLow(std::wstring_view text) const;
    std::wstring UpperCase(std::wstring_view text) const;
    CharClass ClassOf(wchar_t upper) const;
    bool IsFree(State slot) const { return slot >= slots_.size() || slots_[slot].owner == kFree; }
    // The state after a character of class x: the child by x of `state` or of its longest
    // suffix that has one, else the root.
    State Next(State state, CharClass x) const;
    // Whether a keyword occurs in the text, each character read as upperOf(c).
    template <typename UpperOf>
    bool Contains(std::wstring_view text, UpperOf upperOf) const;

    const TextConversion& text_;
    bool hasEmptyKeyword_ = false;
    // The upper-case forms of the first 256 characters, from one call of the platform's
    // mapping; empty when the mapping is not one character for one.
    std::wstring lowUpperCase_;
    // The keywords' characters, numbered from 1 in code order.
    std::array<CharClass, kLowCharacters> lowClass_{};
    std::vector<std::uint32_t> highCharacters_;  // sorted; the class of the i-th is highBase_ + i
    CharClass highBase_ = 0;
    std::vector<Slot> slots_;  // empty without keywords
};

// The title test for one title against the list as it stands now.
bool MatchesKeyword(const TextConversion& text, std::wstring_view title, const ListView& list);

}  // namespace vt
