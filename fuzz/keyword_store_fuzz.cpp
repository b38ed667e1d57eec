#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "keywords/list_view.h"
#include "keywords/keyword_store.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"

// The stored form of the keyword list, through the simulated settings store:
//  - any stored text loads without a crash, into items that are not empty, and those items
//    are storable, so saving and loading them again changes nothing;
//  - any list of storable keywords that the code page holds (Add refuses the others) loads back
//    equal after a save.
// Input: the stored text, byte by byte as characters; and, cut at each zero byte, a list of
// keywords (with the bytes 0xF8 to 0xFF standing for characters beyond the code page).
namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::wstring> SavedAndLoaded(vt::sim::SimPlatform& sim, vt::ListView& list,
                                         const std::vector<std::wstring>& keywords) {
    list.Clear();
    for (const std::wstring& keyword : keywords) {
        list.Add(keyword);
    }
    vt::Registry::SaveKeywordList(Store(sim), list);
    list.Clear();
    vt::Registry::LoadKeywordList(Store(sim), list);
    return list.Items();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vt::sim::SimPlatform sim;  // afresh: nothing may pile up from one input to the next
    vt::ListView list(sim);

    std::wstring stored;
    std::vector<std::wstring> keywords(1);
    for (std::size_t i = 0; i < size; ++i) {
        stored.push_back(static_cast<wchar_t>(data[i]));
        if (data[i] == 0) {
            keywords.emplace_back();
        } else if (data[i] >= 0xF8) {
            keywords.back().push_back(static_cast<wchar_t>(0x4E00 + data[i]));
        } else {
            keywords.back().push_back(static_cast<wchar_t>(data[i]));
        }
    }

    list.Clear();
    StoreSetting(sim, L"Listview", stored);
    vt::Registry::LoadKeywordList(Store(sim), list);
    const std::vector<std::wstring> loaded = list.Items();
    for (const std::wstring& item : loaded) {
        Check(!item.empty());
        Check(vt::Registry::IsStorable(item));
    }
    Check(SavedAndLoaded(sim, list, loaded) == loaded);

    std::vector<std::wstring> storable;
    for (const std::wstring& keyword : keywords) {
        if (!keyword.empty() && vt::Registry::IsStorable(keyword) &&
            vt::ToAnsiExactly(sim, keyword)) {
            storable.push_back(keyword);
        }
    }
    Check(SavedAndLoaded(sim, list, storable) == storable);
    return 0;
}
