#include <gtest/gtest.h>

#include <stdexcept>

#include "app/controls.h"
#include "platform/sim/sim_platform.h"

namespace vt {
namespace {

// A control whose platform call fails keeps the state the screen still shows, and raises no
// Click. Before Form1 exists the simulated window layer has no controls, so every call fails.
TEST(ControlsTest, AFailedPlatformCallLeavesTheControlsStateAsShown) {
    sim::SimPlatform sim;
    CheckBox box(sim, ControlId::Check1, true);
    int clicks = 0;
    box.Click = [&] { ++clicks; };

    EXPECT_THROW(box.SetValue(1), std::out_of_range);
    EXPECT_EQ(box.Value(), 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_THROW(box.UserClick(), std::out_of_range);
    EXPECT_EQ(box.Value(), 0);
    EXPECT_THROW(box.SetVisible(false), std::out_of_range);
    EXPECT_TRUE(box.Visible());
}

}  // namespace
}  // namespace vt
