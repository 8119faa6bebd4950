// The host store fuzzer's seeds and saved findings, replayed with its check.
#include "StoreCheck.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

TEST(StoreFuzzReplay, EveryInputIsReadOrRefused)
{
    const auto inputs = gvtest::fuzzInputs("platform/hotsync/fuzz");
    ASSERT_FALSE(inputs.empty());
    gvtest::TempDir root;
    for (const auto &file : inputs) {
        const auto bytes = gvtest::readFileBytes(file);
        EXPECT_NO_THROW(hotsync::fuzz::checkStore(root.path(), bytes)) << file;
    }
}
