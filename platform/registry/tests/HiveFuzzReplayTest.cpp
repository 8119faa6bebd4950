// The hive fuzzer's seeds and saved findings, replayed with its check.
#include "HiveCheck.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

TEST(HiveFuzzReplay, EveryInputIsReadOrRefused)
{
    const auto inputs = gvtest::fuzzInputs("platform/registry/fuzz");
    ASSERT_FALSE(inputs.empty());
    for (const auto &file : inputs)
        EXPECT_NO_THROW(registry::fuzz::checkHive(gvtest::readFileText(file))) << file;
}
