#include "updater/UpdateFileName.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct NameCase {
    const char *name;
    const char *fileName;
    bool accepted;
};

class UpdateFileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(UpdateFileNames, OnlyPlainNamesStayInTheTemporaryFolder)
{
    if (GetParam().accepted)
        EXPECT_NO_THROW(updater::CheckUpdateFileName(GetParam().fileName));
    else
        EXPECT_THROW(updater::CheckUpdateFileName(GetParam().fileName), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateFileNames,
    ::testing::Values(NameCase{"Plain", "gvpatch.exe", true}, NameCase{"DotsInsideAName", "gv..1.10.exe", true},
                      NameCase{"Empty", "", false}, NameCase{"ParentFolder", "..", false},
                      NameCase{"ParentPath", "../evil.exe", false},
                      NameCase{"WindowsParentPath", "..\\evil.exe", false}, NameCase{"Absolute", "/etc/passwd", false},
                      NameCase{"SubFolder", "updates/gvpatch.exe", false}, NameCase{"DriveLetter", "C:evil.exe", false},
                      NameCase{"LineBreak", "a\nb.exe", false}),
    [](const auto &info) { return info.param.name; });

} // namespace
