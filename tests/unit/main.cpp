#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_form.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A simulated desktop that goes with answers left fails the test that made it.
    vt::sim::SimForm::reportUnusedAnswers = [](const std::string& unused) {
        ADD_FAILURE() << "Form1's simulated toolkit: " << unused;
    };
    return RUN_ALL_TESTS();
}
