// Decimal pairs, handheld dates, record keys and the sorted record list.

#include "ConduitUtils.h"
#include "KLXClientNotify.h"
#include "KeyedList.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace conduit;

namespace {

struct PairCase {
    const char *name;
    double value;
    TDecimalPair pair;
    double readBack;
};

const PairCase kPairCases[] = {
    {"OneDecimalGetsTwoDigits", 12.5, {12, 50}, 12.5},
    {"LeadingZeroOfHundredths", 12.05, {12, 5}, 12.05},
    {"WholeNumber", 12, {12, 0}, 12},
    {"NegativeValue", -3.25, {-3, 25}, -3.25},
    {"ThreeDecimals", 12.345, {12, 345}, 12.345},
    {"Zero", 0, {0, 0}, 0},
    {"ThreeDecimalsStartingWithZeroRoundUp", 12.007, {12, 1}, 12.01},
    {"ThreeDecimalsStartingWithZeroRoundDown", 12.0049, {12, 0}, 12},
    {"ManyDecimalsStartingWithZeroRoundToTwo", 3.0449, {3, 4}, 3.04},
    {"NegativeWholeWithFraction", -1.5, {-1, 50}, -1.5},
    {"LargestWholePart", 2147483647, {2147483647, 0}, 2147483647},
};

class DecimalPairs : public ::testing::TestWithParam<PairCase> {};

TEST_P(DecimalPairs, ConvertAndReadBack)
{
    const PairCase &c = GetParam();
    TDecimalPair pair = FloatToDecimalPair(c.value);
    EXPECT_EQ(pair.Whole, c.pair.Whole);
    EXPECT_EQ(pair.Fraction, c.pair.Fraction);
    EXPECT_DOUBLE_EQ(DecimalPairToFloat(pair), c.readBack);
}

TEST(DecimalPairTest, HalfHundredthWithLeadingZeroKeepsTwoDecimals)
{
    // Read as three decimals the pair would say 12.05.
    TDecimalPair pair = FloatToDecimalPair(12.005);
    EXPECT_EQ(pair.Whole, 12);
    EXPECT_LT(pair.Fraction, 100);
    EXPECT_NEAR(DecimalPairToFloat(pair), 12.005, 0.0051);
}

INSTANTIATE_TEST_SUITE_P(Values, DecimalPairs, ::testing::ValuesIn(kPairCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct FailureCase {
    const char *name;
    double value;
    const char *message; // empty: only that it fails
};

const FailureCase kPairFailures[] = {
    {"ExponentNotationBelowOneHundredThousandth", 0.000001, "'1E-6' is not a valid integer value"},
    {"WholePartBeyond32Bits", 2147483648.0, "'2147483648' is not a valid integer value"},
    {"SixteenIntegerDigits", 1234567890123456.0, "'23456789012346E15' is not a valid integer value"},
    {"NegativeBelowOneLosesItsSign", -0.5, ""},
    {"TinyNegativeLosesItsSign", -0.25, ""},
};

class DecimalPairFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DecimalPairFailures, Refused)
{
    const FailureCase &c = GetParam();
    try {
        FloatToDecimalPair(c.value);
        ADD_FAILURE() << "no failure for " << c.value;
    } catch (const EConvertError &e) {
        if (*c.message)
            EXPECT_STREQ(e.what(), c.message);
        else
            EXPECT_NE(std::string(e.what()), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Values, DecimalPairFailures, ::testing::ValuesIn(kPairFailures),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DecimalPairToFloatTest, NegativeFractionIsNotANumber)
{
    try {
        DecimalPairToFloat({12, -5});
        ADD_FAILURE();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'12.-5' is not a valid floating point value");
    }
}

TDateTime at(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return EncodeDate(y, mo, d) + (h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms) / 86400000.0;
}

TEST(HandheldDates, DateTimeBecomesSevenWordsAndMillisecondsAreDropped)
{
    THandheldDate date = DateTimeToHandheldDate(at(2001, 3, 3, 14, 5, 9, 750));
    EXPECT_EQ(date, (THandheldDate{9, 5, 14, 3, 3, 2001, 7}));
    EXPECT_DOUBLE_EQ(HandheldDateToDateTime(date), at(2001, 3, 3, 14, 5, 9, 0));
}

TEST(HandheldDates, DateTimeZeroIsTheLastSaturdayOf1899)
{
    EXPECT_EQ(DateTimeToHandheldDate(0), (THandheldDate{0, 0, 0, 30, 12, 1899, 7}));
}

TEST(HandheldDates, DayOfWeekWordIsIgnoredOnTheWayIn)
{
    EXPECT_DOUBLE_EQ(HandheldDateToDateTime({30, 15, 9, 29, 2, 2000, 1}), at(2000, 2, 29, 9, 15, 30, 0));
    EXPECT_EQ(DateTimeToHandheldDate(at(2000, 2, 29, 9, 15, 30, 0)).DayOfWeek, 3);
    EXPECT_EQ(DateTimeToHandheldDate(at(2002, 7, 14, 0, 0, 0, 0)).DayOfWeek, 1);
}

TEST(HandheldDates, DatesBefore1899KeepTheirTimeOfDay)
{
    TDateTime value = HandheldDateToDateTime({0, 30, 6, 1, 1, 1850, 3});
    EXPECT_LT(value, 0);
    EXPECT_EQ(DateTimeToHandheldDate(value), (THandheldDate{0, 30, 6, 1, 1, 1850, 3}));
}

struct BadDateCase {
    const char *name;
    THandheldDate date;
    const char *message;
};

const BadDateCase kBadDates[] = {
    {"AllZero", {0, 0, 0, 0, 0, 0, 0}, "Invalid argument to date encode"},
    {"YearZero", {0, 0, 0, 1, 1, 0, 1}, "Invalid argument to date encode"},
    {"Year10000", {0, 0, 0, 1, 1, 10000, 1}, "Invalid argument to date encode"},
    {"Month13", {0, 0, 0, 1, 13, 2001, 1}, "Invalid argument to date encode"},
    {"February29OfCommonYear", {0, 0, 0, 29, 2, 1900, 1}, "Invalid argument to date encode"},
    {"April31", {0, 0, 0, 31, 4, 2001, 1}, "Invalid argument to date encode"},
    {"Hour24", {0, 0, 24, 1, 1, 2001, 1}, "Invalid argument to time encode"},
    {"Minute60", {0, 60, 0, 1, 1, 2001, 1}, "Invalid argument to time encode"},
    {"Second60", {60, 0, 0, 1, 1, 2001, 1}, "Invalid argument to time encode"},
    {"BadDateBeforeBadTime", {60, 0, 0, 0, 1, 2001, 1}, "Invalid argument to date encode"},
};

class BadHandheldDates : public ::testing::TestWithParam<BadDateCase> {};

TEST_P(BadHandheldDates, Refused)
{
    try {
        HandheldDateToDateTime(GetParam().date);
        ADD_FAILURE();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(Words, BadHandheldDates, ::testing::ValuesIn(kBadDates),
                         [](const auto &info) { return std::string(info.param.name); });

// A date-time that names no date between the years 1 and 9999 (another
// program may store any number in a date column) is refused, not cast.
TEST(HandheldDates, DateTimesOutsideTheCalendarAreRefused)
{
    const double first = EncodeDate(1, 1, 1), last = EncodeDate(9999, 12, 31) + 0.999;
    EXPECT_NO_THROW(DateTimeToHandheldDate(first));
    EXPECT_NO_THROW(DateTimeToHandheldDate(last));
    for (double value : {first - 1, last + 1, 5.4e280, -1e300, std::nan(""), HUGE_VAL}) {
        EXPECT_THROW(DateTimeToHandheldDate(value), EConvertError) << value;
        EXPECT_THROW(DayOfWeek(value), EConvertError) << value;
    }
}

TEST(RecordKeys, PaddedToTenCharacters)
{
    EXPECT_EQ(TKLXGVClientNotify::recordKey(12345), "0000012345");
    EXPECT_EQ(TKLXGVClientNotify::recordKey(0), "0000000000");
    EXPECT_EQ(TKLXGVClientNotify::recordKey(-7), "00000000-7");
    EXPECT_EQ(TKLXGVClientNotify::recordKey(2147483647), "2147483647");
    EXPECT_EQ(PadLeft("12345678901", 10, '0'), "12345678901");
}

TEST(TextNumbers, FloatTextsAreShortestWithUpToFifteenDigits)
{
    EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(999999999999999.0), "999999999999999");
    EXPECT_EQ(FloatToStr(0.00001), "0.00001");
    EXPECT_EQ(FloatToStr(-2.5e-7), "-2.5E-7");
    EXPECT_THROW(StrToInt("12a"), EConvertError);
    EXPECT_THROW(StrToInt("-2147483649"), EConvertError);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_THROW(StrToFloat(""), EConvertError);
}

struct Tagged {
    int tag;
};

TEST(KeyedListTest, EqualKeysPutTheLaterBeforeAndLookupFindsTheFirst)
{
    TKeyedList<Tagged> list;
    list.add("0000000000", std::make_unique<Tagged>(Tagged{1}));
    list.add("0000000042", std::make_unique<Tagged>(Tagged{2}));
    list.add("0000000000", std::make_unique<Tagged>(Tagged{3}));
    list.add("0000000000", std::make_unique<Tagged>(Tagged{4}));
    list.add("0000000007", std::make_unique<Tagged>(Tagged{5}));
    std::vector<int> order;
    for (auto &entry : list)
        order.push_back(entry.second->tag);
    EXPECT_EQ(order, (std::vector<int>{4, 3, 1, 5, 2}));
    EXPECT_EQ(list.find("0000000000")->tag, 4);
    EXPECT_EQ(list.find("0000000007")->tag, 5);
    EXPECT_EQ(list.find("0000000008"), nullptr);
    EXPECT_EQ(list.find("00000000"), nullptr);
}

TEST(KeyedListTest, KeysCompareIgnoringCase)
{
    TKeyedList<Tagged> list;
    list.add("b", std::make_unique<Tagged>(Tagged{1}));
    list.add("A", std::make_unique<Tagged>(Tagged{2}));
    list.add("B", std::make_unique<Tagged>(Tagged{3}));
    EXPECT_EQ(list.begin()->second->tag, 2);
    EXPECT_EQ(list.find("b")->tag, 3);
}

} // namespace
