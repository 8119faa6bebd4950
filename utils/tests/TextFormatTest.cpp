#include "utils/TextFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace gvutils;

namespace {

struct TrimCase {
    const char *name;
    std::string text, both, left, right;
    bool blank;
};

TEST(TextFormat, TrimmingTouchesOnlyBlanks)
{
    const TrimCase cases[] = {
        {"empty", "", "", "", "", true},
        {"only blanks", "   ", "", "", "", true},
        {"both sides", "  ab c  ", "ab c", "ab c  ", "  ab c", false},
        {"tabs stay", "\t a \t", "\t a \t", "\t a \t", "\t a \t", false},
        {"line ends stay", " a\r\n", "a\r\n", "a\r\n", " a\r\n", false},
        {"tab alone is not blank", "\t", "\t", "\t", "\t", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(trimBlanks(c.text), c.both);
        EXPECT_EQ(trimLeftBlanks(c.text), c.left);
        EXPECT_EQ(trimRightBlanks(c.text), c.right);
        EXPECT_EQ(isBlank(c.text), c.blank);
    }
}

struct PadCase {
    std::string text;
    int length;
    char pad;
    std::string left, right, center;
};

TEST(TextFormat, PaddingAndCentring)
{
    const PadCase cases[] = {
        {"7", 2, '0', "07", "70", "70"},
        {"123", 2, '0', "123", "123", "123"},
        {"ab", 5, '*', "***ab", "ab***", "*ab**"},
        {"abc", 7, '-', "----abc", "abc----", "--abc--"},
        {"", 3, '.', "...", "...", "..."},
        {"x", 0, '.', "x", "x", "x"},
        {"x", -4, '.', "x", "x", "x"},
        // Widths count characters, not the bytes of their UTF-8 form.
        {"\xc3\xa9", 3, '_', "__\xc3\xa9", "\xc3\xa9__", "_\xc3\xa9_"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text + " in " + std::to_string(c.length));
        EXPECT_EQ(padLeft(c.text, c.length, c.pad), c.left);
        EXPECT_EQ(padRight(c.text, c.length, c.pad), c.right);
        EXPECT_EQ(centerText(c.text, c.length, c.pad), c.center);
    }
}

TEST(TextFormat, AmpersandsAndSeparators)
{
    EXPECT_EQ(stripAmpersands("&File && &Edit&"), "File  Edit");
    EXPECT_EQ(addPathSeparator(""), "/");
    EXPECT_EQ(addPathSeparator("/data"), "/data/");
    EXPECT_EQ(addPathSeparator("/data/"), "/data/");
}

TEST(TextFormat, ThousandsAreGroupedFromTheRight)
{
    const struct {
        std::int32_t value;
        const char *grouped;
    } cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {-1234, "-1,234"},
        {-999, "-999"},
        {100000, "100,000"},
        {1234567, "1,234,567"},
        {std::numeric_limits<std::int32_t>::max(), "2,147,483,647"},
        {std::numeric_limits<std::int32_t>::min(), "-2,147,483,648"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(groupThousands(c.value, ","), c.grouped) << c.value;
    EXPECT_EQ(groupThousands(-1234567, "\xc2\xa0"), "-1\xc2\xa0"
                                                    "234\xc2\xa0"
                                                    "567");
}

TEST(TextFormat, ClockTexts)
{
    EXPECT_EQ(clockText(7, 5, 9), "07:05:09");
    EXPECT_EQ(clockText(23, 59, 0), "23:59:00");

    const struct {
        int hour, minute;
        const char *text;
    } cases[] = {
        {0, 5, " D 0:05 AM"},  {11, 59, " D 11:59 AM"}, {12, 0, " D 12:00 PM"},
        {13, 7, " D 1:07 PM"}, {23, 30, " D 11:30 PM"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dateAndHourText("D", c.hour, c.minute), c.text) << c.hour << ":" << c.minute;
}

TEST(TextFormat, IntervalTexts)
{
    const struct {
        int months;
        const char *text;
    } cases[] = {
        {0, "N/A"},     {9999, "LIFE"},  {12, "1 YR"},    {24, "2 YR"},    {1, "30 DAY"},
        {9, "270 DAY"}, {10, "10 MNTH"}, {11, "11 MNTH"}, {13, "13 MNTH"}, {120, "10 YR"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(intervalText(c.months), c.text) << c.months;
}

TEST(TextFormat, MoneyRoundsHalvesAwayFromZeroAtTheCent)
{
    const struct {
        double value, rounded;
    } cases[] = {
        {1.005, 1.01}, // 1.00499999... as a double, but 1.0050 as currency
        {2.675, 2.68},  {-1.005, -1.01}, {0.125, 0.13}, {-0.125, -0.13},
        {1.0049, 1.00}, {1.00449, 1.00}, {0, 0},        {12345.6789, 12345.68},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(roundMoney(c.value), c.rounded) << c.value;
    EXPECT_THROW(roundMoney(1e300), std::out_of_range);
    EXPECT_THROW(roundMoney(std::nan("")), std::out_of_range);
}

} // namespace
