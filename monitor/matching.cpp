#include "monitor/matching.h"

#include <algorithm>
#include <utility>

namespace vt {

namespace {

std::uint32_t Code(wchar_t c) {
    return static_cast<std::uint32_t>(c);
}

// Upper-casing maps character by character, one for one, so the upper-case forms of the first
// 256 characters, asked for once, serve every text made of those alone.
class LowUpperCase {
  public:
    static constexpr std::uint32_t kSize = 256;

    explicit LowUpperCase(const Platform& platform) : platform_(platform) {
        std::wstring low(kSize - 1, L'\0');
        for (std::uint32_t code = 1; code < kSize; ++code) {
            low[code - 1] = static_cast<wchar_t>(code);
        }
        const std::wstring upper = platform.UpperCase(low);
        if (upper.size() == low.size()) {
            forms_ = L'\0' + upper;
        }
    }

    bool Known() const { return !forms_.empty(); }
    wchar_t Form(std::uint32_t code) const { return forms_[code]; }  // code below kSize

    std::wstring Apply(std::wstring_view text) const {
        if (!Known() ||
            !std::all_of(text.begin(), text.end(), [](wchar_t c) { return Code(c) < kSize; })) {
            return platform_.UpperCase(text);
        }
        std::wstring upper(text.size(), L'\0');
        std::transform(text.begin(), text.end(), upper.begin(),
                       [this](wchar_t c) { return forms_[Code(c)]; });
        return upper;
    }

  private:
    const Platform& platform_;
    std::wstring forms_;  // empty when the mapping is not one for one
};

// A keyword longer than any title can match none, so such keywords are left out, and read no
// further than that: the cost of a sweep does not grow with them.
std::vector<std::wstring> ReadKeywords(const ListView& list) {
    std::vector<std::wstring> keywords;
    const std::int32_t count = list.Count();
    keywords.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 1; i <= count; ++i) {
        std::wstring keyword = list.ItemStart(i, kLongestTitle + 1);
        if (keyword.size() <= kLongestTitle) {
            keywords.push_back(std::move(keyword));
        }
    }
    return keywords;
}

}  // namespace

KeywordMatcher::KeywordMatcher(const Platform& platform, const ListView& list,
                               std::size_t denseTableLimit)
    : platform_(platform) {
    Build(ReadKeywords(list), denseTableLimit);
}

KeywordMatcher::KeywordMatcher(const Platform& platform, const std::vector<std::wstring>& keywords,
                               std::size_t denseTableLimit)
    : platform_(platform) {
    Build(keywords, denseTableLimit);
}

void KeywordMatcher::Build(std::vector<std::wstring> keywords, std::size_t denseTableLimit) {
    // Upper-cased, an empty keyword stays empty and no other becomes empty.
    const auto firstEmpty = std::remove_if(keywords.begin(), keywords.end(),
                                           [](const std::wstring& k) { return k.empty(); });
    hasEmptyKeyword_ = firstEmpty != keywords.end();
    keywords.erase(firstEmpty, keywords.end());
    if (keywords.empty()) {
        edgeStart_.assign(2, 0);
        fail_.assign(1, 0);
        output_.assign(1, 0);
        return;
    }
    const LowUpperCase upperCase(platform_);
    for (std::wstring& keyword : keywords) {
        keyword = upperCase.Apply(keyword);
    }

    // The alphabet: every character of every keyword, in code order.
    std::array<bool, 256> lowSeen{};
    for (const std::wstring& keyword : keywords) {
        for (const wchar_t c : keyword) {
            if (Code(c) < lowSeen.size()) {
                lowSeen[Code(c)] = true;
            } else {
                highChars_.push_back(Code(c));
            }
        }
    }
    std::sort(highChars_.begin(), highChars_.end());
    highChars_.erase(std::unique(highChars_.begin(), highChars_.end()), highChars_.end());
    CharClass lowClasses = 0;
    for (std::size_t code = 0; code < lowSeen.size(); ++code) {
        if (lowSeen[code]) {
            lowClass_[code] = ++lowClasses;
        }
    }
    highBase_ = lowClasses + 1;
    width_ = lowClasses + 1 + highChars_.size();

    // The keywords as strings of classes, sorted: class order is code order, on every platform
    // whatever the signedness of wchar_t.
    std::vector<std::u32string> classed;
    classed.reserve(keywords.size());
    for (const std::wstring& keyword : keywords) {
        std::u32string& classes = classed.emplace_back(keyword.size(), U'\0');
        std::transform(keyword.begin(), keyword.end(), classes.begin(),
                       [this](wchar_t c) { return static_cast<char32_t>(ClassOf(c)); });
    }
    keywords.clear();
    std::sort(classed.begin(), classed.end());

    // The trie: each keyword shares the path of its common prefix with the one before, so
    // states come in depth-first order and the children of a state in class order. A keyword
    // that extends another adds nothing: wherever it occurs, the shorter one does too.
    std::vector<State> parent{0};
    std::vector<CharClass> arrivalClass{0};
    std::vector<std::uint8_t> terminal{0};
    std::vector<State> path{0};  // path[d]: the state at depth d on the last keyword's path
    const std::u32string* last = nullptr;
    for (const std::u32string& keyword : classed) {
        std::size_t common = 0;
        if (last != nullptr) {
            const auto [mine, theirs] =
                std::mismatch(keyword.begin(), keyword.end(), last->begin(), last->end());
            if (theirs == last->end()) {
                continue;  // the last keyword is a prefix of this one (or equal to it)
            }
            common = static_cast<std::size_t>(mine - keyword.begin());
        }
        path.resize(common + 1);
        for (std::size_t d = common; d < keyword.size(); ++d) {
            const auto state = static_cast<State>(parent.size());
            parent.push_back(path[d]);
            arrivalClass.push_back(keyword[d]);
            terminal.push_back(0);
            path.push_back(state);
        }
        terminal[path.back()] = 1;
        last = &keyword;
    }
    const std::size_t states = parent.size();

    edgeStart_.assign(states + 1, 0);
    for (std::size_t s = 1; s < states; ++s) {
        ++edgeStart_[parent[s] + 1];
    }
    for (std::size_t s = 0; s < states; ++s) {
        edgeStart_[s + 1] += edgeStart_[s];
    }
    edgeClass_.resize(states - 1);
    edgeTarget_.resize(states - 1);
    std::vector<std::uint32_t> cursor(edgeStart_.begin(), edgeStart_.end() - 1);
    for (std::size_t s = 1; s < states; ++s) {
        const std::uint32_t edge = cursor[parent[s]]++;
        edgeClass_[edge] = arrivalClass[s];
        edgeTarget_[edge] = static_cast<State>(s);
    }

    // Failure links in breadth-first order: the longest proper suffix that is a trie path.
    fail_.assign(states, 0);
    output_.assign(states, 0);
    std::vector<State> order{0};
    order.reserve(states);
    for (std::size_t head = 0; head < order.size(); ++head) {
        const State u = order[head];
        for (std::uint32_t e = edgeStart_[u]; e < edgeStart_[u + 1]; ++e) {
            const State v = edgeTarget_[e];
            State link = 0;
            if (u != 0) {
                State f = fail_[u];
                for (;;) {
                    const State child = FindChild(f, edgeClass_[e]);
                    if (child != kNoState) {
                        link = child;
                        break;
                    }
                    if (f == 0) {
                        break;
                    }
                    f = fail_[f];
                }
            }
            fail_[v] = link;
            output_[v] = static_cast<std::uint8_t>(terminal[v] | output_[link]);
            order.push_back(v);
        }
    }

    if (upperCase.Known()) {
        upperLowClass_.resize(LowUpperCase::kSize);
        for (std::uint32_t code = 0; code < LowUpperCase::kSize; ++code) {
            upperLowClass_[code] = ClassOf(upperCase.Form(code));
        }
    }

    // The dense table, when it fits. A state with output ends every search, so its row is never
    // read; and the failure state of any other state has no output either.
    if (width_ > denseTableLimit / states) {
        return;
    }
    dense_.assign(states * width_, 0);
    for (const State u : order) {
        if (output_[u] != 0) {
            continue;
        }
        State* row = dense_.data() + u * width_;
        if (u != 0) {
            const State* failRow = dense_.data() + fail_[u] * width_;
            std::copy(failRow, failRow + width_, row);
        }
        for (std::uint32_t e = edgeStart_[u]; e < edgeStart_[u + 1]; ++e) {
            const State v = edgeTarget_[e];
            row[edgeClass_[e]] = output_[v] != 0 ? kMatch : static_cast<State>(v * width_);
        }
    }
}

KeywordMatcher::CharClass KeywordMatcher::ClassOf(wchar_t c) const {
    const std::uint32_t code = Code(c);
    if (code < lowClass_.size()) {
        return lowClass_[code];
    }
    const auto it = std::lower_bound(highChars_.begin(), highChars_.end(), code);
    if (it == highChars_.end() || *it != code) {
        return 0;
    }
    return highBase_ + static_cast<CharClass>(it - highChars_.begin());
}

KeywordMatcher::State KeywordMatcher::FindChild(State state, CharClass charClass) const {
    const auto first = edgeClass_.begin() + edgeStart_[state];
    const auto end = edgeClass_.begin() + edgeStart_[state + 1];
    const auto it = std::lower_bound(first, end, charClass);
    if (it == end || *it != charClass) {
        return kNoState;
    }
    return edgeTarget_[static_cast<std::size_t>(it - edgeClass_.begin())];
}

KeywordMatcher::State KeywordMatcher::NextLinked(State state, CharClass charClass) const {
    if (charClass == 0) {
        return 0;
    }
    for (;;) {
        const State child = FindChild(state, charClass);
        if (child != kNoState) {
            return child;
        }
        if (state == 0) {
            return 0;
        }
        state = fail_[state];
    }
}

template <typename ClassOfChar>
KeywordMatcher::Found KeywordMatcher::Walk(std::wstring_view text, ClassOfChar classOf) const {
    if (!dense_.empty()) {
        State at = 0;  // the current state's row
        for (const wchar_t c : text) {
            const CharClass charClass = classOf(c);
            if (charClass == kUnmapped) {
                return Found::Unmapped;
            }
            at = dense_[at + charClass];
            if (at == kMatch) {
                return Found::Yes;
            }
        }
        return Found::No;
    }
    State state = 0;
    for (const wchar_t c : text) {
        const CharClass charClass = classOf(c);
        if (charClass == kUnmapped) {
            return Found::Unmapped;
        }
        state = NextLinked(state, charClass);
        if (output_[state] != 0) {
            return Found::Yes;
        }
    }
    return Found::No;
}

bool KeywordMatcher::Matches(std::wstring_view title) const {
    if (title.empty()) {
        return false;
    }
    if (hasEmptyKeyword_) {
        return true;
    }
    if (fail_.size() == 1) {
        return false;  // no keywords
    }
    if (!upperLowClass_.empty()) {
        const Found found = Walk(title, [this](wchar_t c) {
            return Code(c) < upperLowClass_.size() ? upperLowClass_[Code(c)] : kUnmapped;
        });
        if (found != Found::Unmapped) {
            return found == Found::Yes;
        }
    }
    const std::wstring upper = platform_.UpperCase(title);
    return Walk(upper, [this](wchar_t c) { return ClassOf(c); }) == Found::Yes;
}

bool MatchesKeyword(Platform& platform, std::wstring_view title, const ListView& list) {
    return KeywordMatcher(platform, list).Matches(title);
}

}  // namespace vt
