#include "text/Cp1252.h"

#include <gtest/gtest.h>

using namespace charset;

namespace {

TEST(Cp1252, EveryByteRoundTrips)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Cp1252, MapsCharactersBothWays)
{
    struct Case {
        const char *utf8;
        const char *cp1252;
    };
    const Case cases[] = {
        {"Caf\u00e9", "Caf\xe9"},
        {"\u20ac 5", "\x80 5"},
        {"\u201chi\u201d \u2013 \u0178", "\x93hi\x94 \x96 \x9f"},
        {"\u00ff\u00a0", "\xff\xa0"},
        {"\u0081\u008d\u008f\u0090\u009d", "\x81\x8d\x8f\x90\x9d"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
        EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8) << c.utf8;
    }
}

TEST(Cp1252, UnrepresentableAndMalformedInputBecomesQuestionMarks)
{
    EXPECT_EQ(utf8ToCp1252("\u65e5\u672c x"), "?? x");
    EXPECT_EQ(utf8ToCp1252("\U0001F600"), "?");
    EXPECT_EQ(utf8ToCp1252("a\xff"
                           "b"),
              "a?b");
    EXPECT_EQ(utf8ToCp1252("\xc3"), "?");           // cut sequence
    EXPECT_EQ(utf8ToCp1252("\xc0\xaf"), "??");      // overlong form
    EXPECT_EQ(utf8ToCp1252("\xed\xa0\x80"), "???"); // surrogate
}

} // namespace
