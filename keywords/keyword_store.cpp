#include "keywords/keyword_store.h"

#include "settings/settings.h"

namespace vt::Registry {

void SaveKeywordList(const SettingsStore& store, ListView& listView) {
    WriteSetting(store, kSettingsApp, kSettingsSection, kKeyListview,
                 JoinKeywords(listView.Items()));
}

void LoadKeywordList(const SettingsStore& store, ListView& listView) {
    const std::wstring stored = ReadSetting(store, kSettingsApp, kSettingsSection, kKeyListview);
    for (const std::wstring& keyword : SplitKeywords(stored)) {
        listView.Add(keyword);
    }
}

bool IsStorable(std::wstring_view keyword) {
    std::wstring withSeparator(keyword);
    withSeparator += KeywordSeparator;
    return withSeparator.find(KeywordSeparator) == keyword.size();
}

std::wstring JoinKeywords(const std::vector<std::wstring>& keywords) {
    std::wstring text;
    for (const std::wstring& keyword : keywords) {
        text += keyword;
        text += KeywordSeparator;
    }
    return text;
}

std::vector<std::wstring> SplitKeywords(std::wstring_view stored) {
    std::vector<std::wstring> keywords;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = stored.find(KeywordSeparator, start);
        if (at == std::wstring_view::npos) {
            break;  // what follows the last separator is not a keyword
        }
        if (at > start) {
            keywords.emplace_back(stored.substr(start, at - start));
        }
        start = at + KeywordSeparator.size();
    }
    return keywords;
}

}  // namespace vt::Registry
