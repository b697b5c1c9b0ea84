// Test entry: runs every test and prints a closing "N passed, N failed" line.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    std::printf("%d passed, %d failed\n", unit.successful_test_count(), unit.failed_test_count());
    return result;
}
