#include "monitor/matching.h"

#include <algorithm>
#include <numeric>
#include <span>
#include <utility>

namespace vt {

namespace {

std::uint32_t Code(wchar_t c) {
    return static_cast<std::uint32_t>(c);
}

}  // namespace

KeywordMatcher::KeywordMatcher(const TextConversion& text, const ListView& list) : text_(text) {
    std::vector<std::wstring> keywords = list.Items(kLongestTitle + 1);
    std::erase_if(keywords, [](const std::wstring& k) { return k.size() > kLongestTitle; });
    // Upper-cased, an empty keyword stays empty and no other becomes empty.
    hasEmptyKeyword_ = std::any_of(keywords.begin(), keywords.end(),
                                   [](const std::wstring& k) { return k.empty(); });
    if (keywords.empty() || hasEmptyKeyword_) {
        return;
    }

    // Upper-casing maps character by character, one for one.
    std::wstring low(kLowCharacters - 1, L'\0');
    std::iota(low.begin(), low.end(), L'\1');
    if (std::wstring upper = text_.UpperCase(low); upper.size() == low.size()) {
        lowUpperCase_ = L'\0' + upper;
    }
    for (std::wstring& keyword : keywords) {
        keyword = UpperCase(keyword);
    }
    LearnAlphabet(keywords);
    std::sort(keywords.begin(), keywords.end());
    Build(keywords);
}

void KeywordMatcher::LearnAlphabet(const std::vector<std::wstring>& keywords) {
    for (const std::wstring& keyword : keywords) {
        for (const wchar_t c : keyword) {
            if (Code(c) < kLowCharacters) {
                lowClass_[Code(c)] = 1;
            } else {
                highCharacters_.push_back(Code(c));
            }
        }
    }
    CharClass lowClasses = 0;
    for (CharClass& charClass : lowClass_) {
        if (charClass != 0) {
            charClass = ++lowClasses;
        }
    }
    highBase_ = lowClasses + 1;
    std::sort(highCharacters_.begin(), highCharacters_.end());
    highCharacters_.erase(std::unique(highCharacters_.begin(), highCharacters_.end()),
                          highCharacters_.end());
}

void KeywordMatcher::Build(const std::vector<std::wstring>& sortedKeywords) {
    // A keyword that extends another adds nothing: wherever it occurs, the shorter one does
    // too. Sorted, it comes right after the shortest one it extends.
    std::vector<std::pair<std::wstring_view, std::size_t>> open;  // a keyword and its trie node
    for (const std::wstring& keyword : sortedKeywords) {
        if (open.empty() || !keyword.starts_with(open.back().first)) {
            open.emplace_back(keyword, 0);
        }
    }

    // The trie, one depth at a time: at each depth the keywords, in sorted order, reach their
    // nodes in breadth-first order, the children of a node side by side. Node 0 is the root.
    std::vector<std::size_t> parent{0};
    std::vector<CharClass> label{0};
    std::vector<bool> ends{false};
    for (std::size_t depth = 0; !open.empty(); ++depth) {
        const std::size_t depthStart = parent.size();
        for (auto& [keyword, node] : open) {
            const CharClass x = ClassOf(keyword[depth]);
            if (parent.size() == depthStart || parent.back() != node || label.back() != x) {
                parent.push_back(node);
                label.push_back(x);
                ends.push_back(false);
            }
            node = parent.size() - 1;
            if (keyword.size() == depth + 1) {
                ends[node] = true;
            }
        }
        std::erase_if(open, [depth](const auto& entry) { return entry.first.size() == depth + 1; });
    }

    // The children of each node together, at the first place where all their slots are free.
    // The root's slot is taken; as the root's own child it would lead where a miss leads.
    std::vector<State> stateOf(parent.size(), 0);
    slots_.resize(1);
    slots_[0].owner = 0;
    State firstFree = 1;
    for (std::size_t first = 1; first < parent.size();) {
        std::size_t end = first;
        while (end < parent.size() && parent[end] == parent[first]) {
            ++end;
        }
        const auto children = std::span(label).subspan(first, end - first);
        const auto [lowest, highest] = std::minmax_element(children.begin(), children.end());
        State base = 0;
        for (State slot = firstFree;; ++slot) {
            base = slot - *lowest;  // modulo 2^32, as every base plus class is
            if (std::all_of(children.begin(), children.end(),
                            [&](CharClass x) { return IsFree(base + x); })) {
                break;
            }
        }
        slots_.resize(std::max<std::size_t>(slots_.size(), base + *highest + std::size_t{1}));
        const State parentState = stateOf[parent[first]];
        slots_[parentState].base = base;
        for (std::size_t node = first; node < end; ++node) {
            stateOf[node] = base + label[node];
            slots_[stateOf[node]].owner = parentState;
        }
        while (!IsFree(firstFree)) {
            ++firstFree;
        }
        first = end;
    }

    // Breadth first, a node's longest suffix is shallower and so complete by the time it is used.
    for (std::size_t node = 1; node < parent.size(); ++node) {
        Slot& slot = slots_[stateOf[node]];
        if (parent[node] != 0) {
            slot.fail = Next(slots_[stateOf[parent[node]]].fail, label[node]);
        }
        slot.output = ends[node] || slots_[slot.fail].output;
    }
}

bool KeywordMatcher::IsLow(std::wstring_view text) const {
    return !lowUpperCase_.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) {
        return Code(c) < kLowCharacters;
    });
}

std::wstring KeywordMatcher::UpperCase(std::wstring_view text) const {
    if (!IsLow(text)) {
        return text_.UpperCase(text);
    }
    std::wstring upper(text.size(), L'\0');
    std::transform(text.begin(), text.end(), upper.begin(),
                   [this](wchar_t c) { return lowUpperCase_[Code(c)]; });
    return upper;
}

KeywordMatcher::CharClass KeywordMatcher::ClassOf(wchar_t upper) const {
    const std::uint32_t code = Code(upper);
    if (code < kLowCharacters) {
        return lowClass_[code];
    }
    const auto it = std::lower_bound(highCharacters_.begin(), highCharacters_.end(), code);
    if (it == highCharacters_.end() || *it != code) {
        return 0;
    }
    return highBase_ + static_cast<CharClass>(it - highCharacters_.begin());
}

KeywordMatcher::State KeywordMatcher::Next(State state, CharClass x) const {
    if (x == 0) {
        return 0;  // a character in no keyword ends every partial match
    }
    for (;;) {
        const State child = slots_[state].base + x;
        if (child < slots_.size() && slots_[child].owner == state) {
            return child;
        }
        if (state == 0) {
            return 0;
        }
        state = slots_[state].fail;
    }
}

template <typename UpperOf>
bool KeywordMatcher::Contains(std::wstring_view text, UpperOf upperOf) const {
    State state = 0;
    for (const wchar_t c : text) {
        state = Next(state, ClassOf(upperOf(c)));
        if (slots_[state].output) {
            return true;
        }
    }
    return false;
}

bool KeywordMatcher::Matches(std::wstring_view title) const {
    if (title.empty()) {
        return false;
    }
    if (hasEmptyKeyword_) {
        return true;
    }
    if (slots_.empty()) {
        return false;  // no keywords
    }
    if (IsLow(title)) {
        return Contains(title, [this](wchar_t c) { return lowUpperCase_[Code(c)]; });
    }
    return Contains(text_.UpperCase(title), [](wchar_t c) { return c; });
}

bool MatchesKeyword(const TextConversion& text, std::wstring_view title, const ListView& list) {
    return KeywordMatcher(text, list).Matches(title);
}

}  // namespace vt
