#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keywords/list_view.h"
#include "keywords/keyword_store.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"
#include "settings/settings.h"

namespace vt {
namespace {

using Keywords = std::vector<std::wstring>;
const std::wstring kSep(Registry::KeywordSeparator);

class KeywordStoreTest : public ::testing::Test {
  protected:
    void Fill(const Keywords& keywords) {
        for (const std::wstring& keyword : keywords) {
            sim.ListAdd(keyword);
        }
    }
    // Saved from one list view, loaded into an empty one: a restart.
    Keywords RoundTrip(const Keywords& keywords) {
        Fill(keywords);
        Registry::SaveKeywordList(Store(sim), list);
        sim.ListClear();
        Registry::LoadKeywordList(Store(sim), list);
        return sim.ListItems();
    }
    Keywords Loaded(std::wstring_view stored) {
        StoreSetting(sim, L"Listview", stored);
        Registry::LoadKeywordList(Store(sim), list);
        return sim.ListItems();
    }

    sim::SimPlatform sim;
    ListView list{sim};
};

TEST_F(KeywordStoreTest, EveryKeywordIsFollowedByTheSeparator) {
    Fill({L"calc", L"Error"});
    Registry::SaveKeywordList(Store(sim), list);
    EXPECT_EQ(StoredSetting(sim, L"Listview"), L"calc" + kSep + L"Error" + kSep);
    EXPECT_EQ(StoredSetting(sim, L"Listview")->size(), 37u);

    sim.ListClear();
    Registry::SaveKeywordList(Store(sim), list);
    EXPECT_EQ(StoredSetting(sim, L"Listview"), L"");  // stored, not absent
}

TEST_F(KeywordStoreTest, AwkwardKeywordsComeBackAsTheyWere) {
    const Keywords keywords{
        L" calc ", L"calc",    L"calc",   L"  ",          L"caf\u00e9",    L"\u20ac\u0152",
        L"|",      L"|||||||", L"---|||", L"a||||||||--", L"||||||||-|||", L"x|||||||---|||"};
    for (const std::wstring& keyword : keywords) {
        ASSERT_TRUE(Registry::IsStorable(keyword)) << std::string(keyword.begin(), keyword.end());
    }
    EXPECT_EQ(RoundTrip(keywords), keywords);
}

TEST_F(KeywordStoreTest, LoadingCutsAtEverySeparatorAndSkipsEmptyPieces) {
    Registry::LoadKeywordList(Store(sim), list);  // nothing stored
    EXPECT_TRUE(sim.ListItems().empty());
    EXPECT_TRUE(SettingWrites(sim).empty());
    EXPECT_EQ(Loaded(L""), Keywords{});
    EXPECT_EQ(Loaded(L"calc"), Keywords{});  // no separator: the only piece is the last one
    sim.ListClear();
    EXPECT_EQ(Loaded(L"a" + kSep + L"b"), Keywords{L"a"});
    sim.ListClear();
    EXPECT_EQ(Loaded(kSep + kSep + L"a" + kSep + kSep + L"b" + kSep), (Keywords{L"a", L"b"}));
    sim.ListClear();
    // A keyword that holds the separator comes back in pieces.
    EXPECT_EQ(Loaded(L"ab" + kSep + L"cd" + kSep), (Keywords{L"ab", L"cd"}));
    sim.ListClear();
    // Pieces are cut where the separator first occurs, scanning from the start.
    EXPECT_EQ(Loaded(L"x||||||||---" + kSep + L"y" + kSep), (Keywords{L"x", L"|||||---|||y"}));
    // Loaded keywords follow the items already there.
    EXPECT_EQ(Loaded(L"calc" + kSep), (Keywords{L"x", L"|||||---|||y", L"calc"}));
}

TEST_F(KeywordStoreTest, FailuresPassToTheCallerAndLeaveTheStoreAsItWas) {
    StoreSetting(sim, L"Listview", L"calc" + kSep);
    Fill({L"notepad"});
    FailSettingWrites(sim, true);
    EXPECT_THROW(Registry::SaveKeywordList(Store(sim), list), AppError);
    EXPECT_EQ(StoredSetting(sim, L"Listview"), L"calc" + kSep);

    MakeSettingUnreadable(sim, L"Listview");
    EXPECT_THROW(Registry::LoadKeywordList(Store(sim), list), AppError);
    EXPECT_EQ(sim.ListItems(), Keywords{L"notepad"});
}

TEST_F(KeywordStoreTest, TheListCountsFromOneAndRefusesEveryOtherIndexAlike) {
    Fill({L"calc", L"notepad"});
    EXPECT_EQ(list.Item(1), L"calc");
    EXPECT_EQ(list.Item(2), L"notepad");
    const auto refused = [](auto&& call) {
        try {
            call();
        } catch (const AppError& error) {
            return std::to_string(error.Number()) + " " + error.Source() + " " +
                   std::string(error.Description().begin(), error.Description().end());
        }
        return std::string("nothing raised");
    };
    const std::string expected = "35600 ListView1 Index out of bounds";
    for (const std::int32_t index : {0, 3, -1}) {
        EXPECT_EQ(refused([&] { list.Item(index); }), expected) << "Item " << index;
        EXPECT_EQ(refused([&] { list.ItemStart(index, 3); }), expected) << "ItemStart " << index;
        EXPECT_EQ(refused([&] { list.Remove(index); }), expected) << "Remove " << index;
    }
    EXPECT_EQ(sim.ListItems(), (Keywords{L"calc", L"notepad"}));
    list.Remove(1);
    EXPECT_EQ(sim.ListItems(), Keywords{L"notepad"});

    // The columns count from 1 as well.
    list.AddColumn(L"Windows To Close");
    for (const std::int32_t column : {0, 2}) {
        EXPECT_EQ(refused([&] { list.SetColumnWidth(column, 4700); }), expected) << column;
    }
    EXPECT_EQ(refused([&] { list.SetColumnWidth(1, 4700); }), "nothing raised");
}

TEST(StorableKeywordTest, NoSeparatorInsideAndNoneStartingInItsEnd) {
    EXPECT_TRUE(Registry::IsStorable(L"calc"));
    EXPECT_TRUE(Registry::IsStorable(L"|"));
    EXPECT_TRUE(Registry::IsStorable(L"---|||"));
    EXPECT_FALSE(Registry::IsStorable(L"a||||||||---|||b"));
    EXPECT_FALSE(Registry::IsStorable(L"||||||||---|||"));
    EXPECT_FALSE(Registry::IsStorable(L"x||||||||---"));
    EXPECT_FALSE(Registry::IsStorable(L"x||||||||---|"));
    EXPECT_FALSE(Registry::IsStorable(L"||||||||---||"));
}

TEST(StorableKeywordTest, StorableIsExactlyWhatSurvivesASaveAndALoad) {
    // Over the separator's own letters, where keywords and separators overlap most.
    std::mt19937 random(7);
    const std::wstring letters = L"||||-a";
    for (int round = 0; round < 20000; ++round) {
        std::wstring keyword(1 + random() % 18, L' ');
        for (wchar_t& c : keyword) {
            c = letters[random() % letters.size()];
        }
        const Keywords saved{keyword, L"next"};
        const bool survives = Registry::SplitKeywords(Registry::JoinKeywords(saved)) == saved;
        ASSERT_EQ(Registry::IsStorable(keyword), survives)
            << std::string(keyword.begin(), keyword.end());
    }
}

TEST(SettingsStoreTest, OnlyAnAbsentValueReadsAsTheDefault) {
    sim::SimPlatform sim;
    EXPECT_EQ(ReadSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyMinimized, L"Off"),
              L"Off");
    EXPECT_EQ(ReadSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyListview), L"");
    StoreSetting(sim, L"Minimized", L"");
    EXPECT_EQ(ReadSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyMinimized, L"Off"), L"");
    EXPECT_TRUE(SettingWrites(sim).empty());  // reading creates nothing

    WriteSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyWindowsStartup, L"On");
    WriteSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyWindowsStartup, L"Off");
    EXPECT_EQ(ReadSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyWindowsStartup, L"x"),
              L"Off");
    EXPECT_EQ(ReadSetting(Store(sim), L"Tolvane", L"Elsewhere", kKeyWindowsStartup, L"x"), L"x");
}

TEST(SettingsStoreTest, FailuresNameTheKeyAndKeepThePreviousValue) {
    sim::SimPlatform sim;
    WriteSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyMinimized, L"On");
    FailSettingWrites(sim, true);
    try {
        WriteSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyMinimized, L"Off");
        ADD_FAILURE() << "the failed write was reported as success";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Number(), err::kSettingNotWritten);
        EXPECT_NE(error.Description().find(L"Minimized"), std::wstring::npos);
    }
    EXPECT_EQ(StoredSetting(sim, L"Minimized"), L"On");

    MakeSettingUnreadable(sim, L"Listview");
    try {
        ReadSetting(Store(sim), kSettingsApp, kSettingsSection, kKeyListview);
        ADD_FAILURE() << "a value of another type was read as a string or as absent";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Number(), err::kSettingUnreadable);
        EXPECT_NE(error.Description().find(L"Listview"), std::wstring::npos);
    }
}

}  // namespace
}  // namespace vt
