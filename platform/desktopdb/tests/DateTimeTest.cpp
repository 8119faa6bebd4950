#include "desktopdb/DateTime.h"
#include "desktopdb/DesktopDbError.h"

#include <gtest/gtest.h>

#include <limits>

using namespace desktopdb;

namespace {

struct DateCase {
    DateTime value;
    const char *text;
};

class DateRoundTripTest : public testing::TestWithParam<DateCase> {};

TEST_P(DateRoundTripTest, DayNumberAndIsoTextAgree)
{
    EXPECT_EQ(dateToIsoText(GetParam().value), GetParam().text);
    EXPECT_EQ(isoTextToDateTime(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Dates, DateRoundTripTest,
                         testing::Values(DateCase{0, "1899-12-30"}, DateCase{1, "1899-12-31"},
                                         DateCase{-1, "1899-12-29"}, DateCase{2, "1900-01-01"},
                                         DateCase{60, "1900-02-28"}, DateCase{61, "1900-03-01"},
                                         DateCase{36585, "2000-02-29"}, DateCase{37451, "2002-07-14"},
                                         DateCase{-109206, "1600-12-31"}, DateCase{-109512, "1600-02-29"},
                                         DateCase{-693593, "0001-01-01"}, DateCase{2958465, "9999-12-31"}));

TEST(DateTimeTest, TimeOfDayIsDroppedFromTheDate)
{
    EXPECT_EQ(dateToIsoText(37451.75), "2002-07-14");
    // Negative values carry the date in their whole days: -1.25 is 06:00 on 1899-12-29.
    EXPECT_EQ(dateToIsoText(-1.25), "1899-12-29");
    EXPECT_EQ(dateToIsoText(-0.5), "1899-12-30");
}

TEST(DateTimeTest, TextWithTimeOfDayGivesMidnight)
{
    for (const char *text : {"2002-07-14 00:00:00", "2002-07-14T10:20", "2002-07-14 23:59:59.999",
                             "2002-07-14T10:20:30Z", "2002-07-14T10:20:30+02:00"})
        EXPECT_EQ(isoTextToDateTime(text), 37451) << text;
}

TEST(DateTimeTest, TextThatIsNoDateFails)
{
    for (const char *text : {"", "2002-7-14", "20020714", "2002-02-30", "1900-02-29", "2002-13-01", "0000-01-01",
                             "2002-07-14x", "2002-07-14 25:00", "2002-07-14 10:61", "14.07.2002"})
        EXPECT_THROW(isoTextToDateTime(text), DesktopDbError) << text;
}

TEST(DateTimeTest, ValuesOutsideTheYearsOneTo9999Fail)
{
    EXPECT_THROW(dateToIsoText(-693594), DesktopDbError);
    EXPECT_THROW(dateToIsoText(2958466), DesktopDbError);
    EXPECT_THROW(dateToIsoText(std::numeric_limits<double>::quiet_NaN()), DesktopDbError);
}

} // namespace
