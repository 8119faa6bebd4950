// The version notes fuzzer's seeds and saved findings, replayed with its check.
#include "VersionNotesCheck.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

TEST(VersionNotesFuzzReplay, EveryInputIsRead)
{
    const auto inputs = gvtest::fuzzInputs("updater/fuzz");
    ASSERT_FALSE(inputs.empty());
    for (const auto &file : inputs)
        EXPECT_NO_THROW(updater::fuzz::checkVersionNotes(gvtest::readFileText(file))) << file;
}
