#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "keywords/keyword_store.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"

namespace vt {
namespace {

using Keywords = std::vector<std::wstring>;

// Form1 after a start with nothing stored.
class KeywordCommandsTest : public ::testing::Test {
  protected:
    KeywordCommandsTest() { form.Start(); }

    void Add(std::wstring_view text) {
        sim.TypeText(ControlId::Text1, text);
        sim.Click(ControlId::Check1);
    }
    void Fill(const Keywords& keywords) {
        for (const std::wstring& keyword : keywords) {
            sim.ListAdd(keyword);
        }
    }
    std::wstring Stored() const { return StoredSetting(sim, L"Listview").value_or(L"<absent>"); }
    std::size_t Writes() const { return SettingWrites(sim).size(); }
    // What the store says when a save of the list fails.
    std::wstring WriteFailure() {
        try {
            WriteSetting(Store(sim), L"Tolvane", L"Vintrell", L"Listview", L"");
        } catch (const AppError& error) {
            return error.Description();
        }
        ADD_FAILURE() << "the store did not fail";
        return {};
    }

    sim::SimPlatform sim;
    Form1 form{sim};
};

TEST_F(KeywordCommandsTest, AddAppendsTheTextAsTypedAndStoresTheList) {
    Add(L"calc");
    Add(L" Calc ");
    Add(L"calc");
    Add(L"  ");
    const Keywords expected{L"calc", L" Calc ", L"calc", L"  "};
    EXPECT_EQ(sim.ListItems(), expected);
    EXPECT_EQ(Stored(), Registry::JoinKeywords(expected));
    EXPECT_EQ(Writes(), 4u);  // one save a click: the button's reset runs nothing
    EXPECT_EQ(sim.ControlText(ControlId::Text1), L"");
    EXPECT_EQ(form.Check1.Value(), 0);
    EXPECT_EQ(sim.CheckValueShown(ControlId::Check1), 0);

    // An empty box adds nothing and stores the list again.
    Add(L"");
    EXPECT_EQ(sim.ListItems(), expected);
    EXPECT_EQ(Writes(), 5u);
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(KeywordCommandsTest, AFailedSaveIsReportedByAddAndClearListOnlyAndChangesStay) {
    Fill({L"a", L"b", L"c"});
    FailSettingWrites(sim, true);
    const std::wstring failure = WriteFailure();

    Add(L"calc");
    // The box was cleared before the save failed, so the message holds no text.
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, L"ERROR while adding a keyword () - " + failure);
    EXPECT_EQ(sim.Messages()[0].style, MB_OK);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_EQ(sim.ListItems(), (Keywords{L"a", L"b", L"c", L"calc"}));
    EXPECT_EQ(form.Check1.Value(), 0);

    sim.SelectListItem(0);
    sim.Click(ControlId::Check3);
    sim.DblClickListItem(0);
    EXPECT_EQ(sim.ListItems(), (Keywords{L"c", L"calc"}));
    EXPECT_EQ(sim.Messages().size(), 1u);

    sim.AnswerMessageBox(IDYES);
    sim.Click(ControlId::Check4);
    ASSERT_EQ(sim.Messages().size(), 3u);
    EXPECT_EQ(sim.Messages()[2].text, L"ERROR while clearing keyword list - " + failure);
    EXPECT_EQ(sim.Messages()[2].style, MB_OK);
    EXPECT_TRUE(sim.ListItems().empty());
    EXPECT_EQ(Writes(), 0u);
}

TEST_F(KeywordCommandsTest, AddRefusesAKeywordThatWouldNotComeBack) {
    Fill({L"calc"});
    const std::vector<std::wstring> refused{L"x||||||||---", L"a||||||||---|||b"};
    for (const std::wstring& text : refused) {
        Add(text);
        ASSERT_FALSE(sim.Messages().empty());
        EXPECT_EQ(sim.Messages().back().text,
                  L"ERROR while adding a keyword (" + text +
                      L") - The keyword cannot be stored because it contains, or ends with the "
                      L"start of, the text \"||||||||---|||\"");
        EXPECT_EQ(sim.ControlText(ControlId::Text1), text);  // left for the user to mend
    }
    EXPECT_EQ(sim.Messages().size(), refused.size());
    EXPECT_EQ(sim.ListItems(), Keywords{L"calc"});
    EXPECT_EQ(Writes(), 0u);
}

TEST_F(KeywordCommandsTest, AddRefusesAKeywordTheCodePageCannotHold) {
    Fill({L"calc"});
    // Read through code page 1252, Cyrillic and CJK letters would become '?' and match any such
    // letter of a title; best fit would turn the A with macron into a plain A.
    const std::vector<std::wstring> refused{L"\u041f\u0440\u0438\u0432\u0435\u0442",
                                            L"caf\u00e9 \u4e2d", L"\u0100da"};
    ASSERT_EQ(sim.UnicodeToAnsi(L"\u0100da"), "Ada");  // a best fit: no '?' gives it away
    for (const std::wstring& text : refused) {
        Add(text);
        ASSERT_FALSE(sim.Messages().empty());
        EXPECT_EQ(sim.Messages().back().text,
                  L"ERROR while adding a keyword (" + text +
                      L") - The keyword cannot be stored because it holds characters that this "
                      L"system's code page cannot represent");
        EXPECT_EQ(sim.Messages().back().style, MB_OK);
        EXPECT_EQ(sim.ControlText(ControlId::Text1), text);  // left for the user to mend
    }
    EXPECT_EQ(sim.Messages().size(), refused.size());
    EXPECT_EQ(sim.ListItems(), Keywords{L"calc"});
    EXPECT_EQ(Writes(), 0u);

    // What the code page holds is added as typed, its own letters beyond ASCII included.
    Add(L"Caf\u00e9 \u20ac");
    Add(L"notepad");
    const Keywords expected{L"calc", L"Caf\u00e9 \u20ac", L"notepad"};
    EXPECT_EQ(sim.ListItems(), expected);
    EXPECT_EQ(Stored(), Registry::JoinKeywords(expected));
    EXPECT_EQ(sim.Messages().size(), refused.size());
}

TEST_F(KeywordCommandsTest, DeleteSelectedRemovesOnlyTheSelectedItem) {
    Fill({L"a", L"b", L"c", L"d", L"e"});
    sim.SelectListItem(2);
    sim.Click(ControlId::Check3);
    EXPECT_EQ(sim.ListItems(), (Keywords{L"a", L"b", L"d", L"e"}));
    EXPECT_EQ(Stored(), Registry::JoinKeywords({L"a", L"b", L"d", L"e"}));
    EXPECT_EQ(form.Check3.Value(), 0);

    // With nothing selected nothing goes, nothing is said, and the list is stored again.
    sim.SelectListItem(-1);
    sim.Click(ControlId::Check3);
    EXPECT_EQ(sim.ListItems().size(), 4u);
    EXPECT_EQ(Writes(), 2u);
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(KeywordCommandsTest, ClearListAsksFirstAndOnlyYesClears) {
    // An empty list: no question, and the empty list is stored.
    sim.Click(ControlId::Check4);
    EXPECT_TRUE(sim.Messages().empty());
    EXPECT_EQ(Stored(), L"");

    Fill({L"a", L"b"});
    sim.AnswerMessageBox(IDNO);
    sim.Click(ControlId::Check4);
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text, L"Are you sure you want to clear list?");
    EXPECT_EQ(sim.Messages()[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(sim.Messages()[0].caption, L"Vintrell");
    EXPECT_EQ(sim.ListItems(), (Keywords{L"a", L"b"}));
    EXPECT_EQ(Stored(), Registry::JoinKeywords({L"a", L"b"}));

    sim.AnswerMessageBox(IDYES);
    sim.Click(ControlId::Check4);
    EXPECT_TRUE(sim.ListItems().empty());
    EXPECT_EQ(Stored(), L"");
    EXPECT_EQ(sim.Messages().size(), 2u);
    EXPECT_EQ(form.Check4.Value(), 0);
}

TEST_F(KeywordCommandsTest, ClickCopiesTheItemAndDoubleClickRemovesIt) {
    Fill({L"a", L" Calc ", L"c"});
    sim.TypeText(ControlId::Text1, L"typed");
    sim.ClickListItem(1);
    EXPECT_EQ(sim.ControlText(ControlId::Text1), L" Calc ");
    sim.ClickListItem(-1);
    EXPECT_EQ(sim.ControlText(ControlId::Text1), L" Calc ");
    EXPECT_EQ(Writes(), 0u);

    sim.DblClickListItem(1);
    EXPECT_EQ(sim.ListItems(), (Keywords{L"a", L"c"}));
    EXPECT_EQ(Stored(), Registry::JoinKeywords({L"a", L"c"}));
    sim.DblClickListItem(-1);
    EXPECT_EQ(sim.ListItems().size(), 2u);
    EXPECT_TRUE(sim.Messages().empty());
}

}  // namespace
}  // namespace vt
