#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"

namespace vt {
namespace {

using sim::SimPlatform;

class PointerHelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // "Start in system tray" shows only together with loading at Windows startup.
        StoreSetting(sim, L"Windows Startup", L"On");
        form.Start();
    }

    SimPlatform sim;
    Form1 form{sim};
};

TEST_F(PointerHelpTest, TheFiveButtonsShowTheCustomPointerAndTheRestTheOrdinaryOnes) {
    const std::vector<std::pair<ControlId, std::int32_t>> table{
        {ControlId::Check1, 99}, {ControlId::Check2, 99}, {ControlId::Check3, 99},
        {ControlId::Check4, 99}, {ControlId::Check5, 99}, {ControlId::Form, 0},
        {ControlId::Label1, 0},  {ControlId::Text1, 0},   {ControlId::ListView1, 0},
    };
    for (const auto& [control, expected] : table) {
        SCOPED_TRACE(static_cast<int>(control));
        // Start from the other value so that each handler has to write its own.
        sim.MouseMove(expected == 99 ? ControlId::Form : ControlId::Check1);
        sim.MouseMove(control);
        EXPECT_EQ(sim.MousePointerShown(), expected);
        // Written again when it already holds the value.
        sim.MouseMove(control);
        EXPECT_EQ(sim.MousePointerShown(), expected);
    }
}

TEST_F(PointerHelpTest, TheOptionBoxesKeepWhateverPointerWasSetLast) {
    for (const std::int32_t last : {99, 0}) {
        sim.MouseMove(last == 99 ? ControlId::Check2 : ControlId::Text1);
        sim.MouseMove(ControlId::Check6);
        sim.MouseMove(ControlId::Check8);
        EXPECT_EQ(sim.MousePointerShown(), last);
    }
}

TEST_F(PointerHelpTest, HelpShowsTheWholeTextOnceWithTheButtonAlreadyUp) {
    std::int32_t buttonWhileShown = -1;
    sim.onMessageBox = [&](const sim::ShownMessage&) {
        buttonWhileShown = sim.CheckValueShown(ControlId::Check5);
    };
    sim.Click(ControlId::Check5);

    ASSERT_EQ(sim.Messages().size(), 1u);
    const sim::ShownMessage& shown = sim.Messages()[0];
    EXPECT_EQ(buttonWhileShown, 0);
    EXPECT_EQ(form.Check5.Value(), 0);
    EXPECT_EQ(shown.style, MB_OK);
    EXPECT_EQ(shown.caption, L"Vintrell");
    EXPECT_EQ(shown.text,
              L"This program will automatically close a window if it contains the letters "
              L"(name) you add.\r\rPlease try the following demo:\r\rAdd the word\r\rcalc\r\r"
              L"to this program.\r\rClick \"Start Monitoring\"\r\rGo to Start > Run and type in "
              L"calc and hit enter.\r\rThe Microsoft Calculator will open and be immediately "
              L"closed by this program.");
    EXPECT_EQ(shown.text.size(), 315u);
    EXPECT_EQ(shown.text.find(L'\n'), std::wstring::npos);
    std::size_t separators = 0;
    for (std::size_t at = shown.text.find(L"\r\r"); at != std::wstring::npos;
         at = shown.text.find(L"\r\r", at + 2)) {
        ++separators;
    }
    EXPECT_EQ(separators, 7u);
    EXPECT_EQ(std::count(shown.text.begin(), shown.text.end(), L'\r'), 14);

    // Every click that leaves the button checked shows it again.
    sim.Click(ControlId::Check5);
    EXPECT_EQ(sim.Messages().size(), 2u);
}

TEST_F(PointerHelpTest, AMessageBoxThatFailsNeverEndsTheProgram) {
    sim.onMessageBox = [](const sim::ShownMessage&) { throw std::runtime_error("no box"); };
    sim.Click(ControlId::Check5);

    // The handler's box failed, then the one that reports it: nothing is left to tell.
    ASSERT_EQ(sim.Messages().size(), 2u);
    EXPECT_EQ(sim.Messages()[1].text, L"no box");
    EXPECT_EQ(form.Check5.Value(), 0);
    EXPECT_FALSE(sim.Ended());

    sim.onMessageBox = nullptr;
    sim.Click(ControlId::Check5);
    EXPECT_EQ(sim.Messages().size(), 3u);
}

}  // namespace
}  // namespace vt
