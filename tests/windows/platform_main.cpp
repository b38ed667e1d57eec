// The test binary's entry: the tests, or one of the processes that they start.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == vt::test::kLoadPlantedDllSwitch) {
        return vt::test::LoadPlantedDll(argv[2]);
    }
    if (argc == 2 && std::string_view(argv[1]) == vt::test::kSecondStartSwitch) {
        return vt::test::RunSecondStart();
    }
    if (argc == 3 && std::string_view(argv[1]) == vt::test::kReportPathSwitch) {
        return vt::test::ReportExecutablePath();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
