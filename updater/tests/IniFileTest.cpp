#include "updater/IniFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using updater::TIniFile;

namespace {

const char *const sample = "; published by the update server\r\n"
                           "[Brenholt]\r\n"
                           "Host Name = ftp.example\r\n"
                           "User ID=\"updates\"\r\n"
                           "Password=\r\n"
                           "[GEARVANE]\r\n"
                           "version=1.10\r\n"
                           "FileSize=1048576\r\n"
                           "Hex=$1F\r\n"
                           "Negative=-12\r\n"
                           "Huge=99999999999\r\n"
                           "Junk=12abc\r\n"
                           "Version=2.0\r\n"
                           "[gearvane]\r\n"
                           "AppName=Gearvane\r\n";

struct StringCase {
    const char *name;
    const char *section;
    const char *key;
    const char *expected;
};

class IniStrings : public ::testing::TestWithParam<StringCase> {};

TEST_P(IniStrings, ReadsLikeTheWindowsProfileFunctions)
{
    const auto ini = TIniFile::fromText(sample);
    EXPECT_EQ(ini.ReadString(GetParam().section, GetParam().key, "<default>"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniStrings,
    ::testing::Values(StringCase{"KeyWithBlanksAndCaseOfSection", "BRENHOLT", "host name", "ftp.example"},
                      StringCase{"QuotesRemoved", "BRENHOLT", "User ID", "updates"},
                      StringCase{"EmptyValueIsEmptyNotDefault", "BRENHOLT", "Password", ""},
                      StringCase{"FirstOccurrenceWins", "GEARVANE", "Version", "1.10"},
                      StringCase{"RepeatedSectionHeaderMerges", "GEARVANE", "AppName", "Gearvane"},
                      StringCase{"MissingKeyGivesDefault", "GEARVANE", "FullFileName", "<default>"},
                      StringCase{"MissingSectionGivesDefault", "OTHER", "Version", "<default>"},
                      StringCase{"CommentIsNoKey", "BRENHOLT", "; published by the update server", "<default>"}),
    [](const auto &info) { return info.param.name; });

struct IntegerCase {
    const char *name;
    const char *key;
    int expected;
};

class IniIntegers : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegers, ReadsThirtyTwoBitNumbersOrTheDefault)
{
    const auto ini = TIniFile::fromText(sample);
    EXPECT_EQ(ini.ReadInteger("GEARVANE", GetParam().key, 7), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, IniIntegers,
                         ::testing::Values(IntegerCase{"Decimal", "FileSize", 1048576},
                                           IntegerCase{"DollarHexadecimal", "Hex", 31},
                                           IntegerCase{"Negative", "Negative", -12},
                                           IntegerCase{"OutOfRange", "Huge", 7}, IntegerCase{"TrailingJunk", "Junk", 7},
                                           IntegerCase{"Missing", "Nothing", 7}),
                         [](const auto &info) { return info.param.name; });

TEST(IniFile, ReadsAFileAndTreatsAMissingFileAsEmpty)
{
    gvtest::TempDir dir;
    gvtest::writeFileText(dir / "version.ini", "[GEARVANE]\nVersion=3.1\n");
    EXPECT_EQ(TIniFile((dir / "version.ini").string()).ReadString("GEARVANE", "Version", ""), "3.1");
    EXPECT_EQ(TIniFile((dir / "missing.ini").string()).ReadString("GEARVANE", "Version", "none"), "none");
}

} // namespace
