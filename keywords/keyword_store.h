#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "keywords/list_view.h"
#include "settings/settings.h"

// The keyword list's stored form: every keyword followed by the separator, in list order, as
// the one settings value "Listview".
namespace vt::Registry {

inline constexpr std::wstring_view KeywordSeparator = L"||||||||---|||";

// Writes the whole list, replacing the stored value.
void SaveKeywordList(const SettingsStore& store, ListView& listView);
// Appends the stored keywords after the items already in the list.
void LoadKeywordList(const SettingsStore& store, ListView& listView);

// Whether a keyword survives a save and a load unchanged, whatever follows it: "a||||||||---" is
// not, since its end and the separator's start would read back as a separator.
bool IsStorable(std::wstring_view keyword);

// The stored form of the keywords, in order.
std::wstring JoinKeywords(const std::vector<std::wstring>& keywords);

// The keywords a stored text holds: the pieces before each separator that are not empty.
std::vector<std::wstring> SplitKeywords(std::wstring_view stored);

}  // namespace vt::Registry
