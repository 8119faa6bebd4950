// Desktop rows as other programs store them, from the fuzzer's seeds and
// findings: each is refused with an error or reaches the handheld.
#include "DesktopRowHarness.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

TEST(DesktopRowReplay, EveryRowIsReadOrRefused)
{
    gvtest::TempDir dir;
    std::filesystem::create_directories(dir / "desktop");
    std::filesystem::create_directories(dir / "handheld");
    conduit::fuzz::DesktopRowHarness harness(dir / "desktop", dir / "handheld");
    const auto inputs = gvtest::fuzzInputs("conduit/fuzz");
    ASSERT_FALSE(inputs.empty());
    for (const auto &file : inputs) {
        if (file.parent_path().filename() != "corpus-rows" && file.parent_path().filename() != "crashers-rows")
            continue;
        const auto bytes = gvtest::readFileBytes(file);
        EXPECT_NO_THROW(harness.run(bytes)) << file;
    }
    // A typical log entry goes through.
    EXPECT_EQ(harness.run(gvtest::readFileBytes(gvtest::sourceDir() / "conduit/fuzz/corpus-rows/main-typical")), "");
}
