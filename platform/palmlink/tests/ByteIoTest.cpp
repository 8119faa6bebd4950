#include "palmlink/ByteIo.h"

#include <gtest/gtest.h>

namespace palmlink {
namespace {

TEST(ByteIo, ReadsBigEndianAndRefusesToReadPastTheEnd)
{
    const Bytes b = {0x12, 0x34, 0x56, 0x78, 0x9A, 'h', 'i', 0, 0xFF};
    ByteReader r(b);
    EXPECT_EQ(r.u16("a"), 0x1234);
    EXPECT_EQ(r.u8("b"), 0x56);
    EXPECT_THROW(r.bytes(100, "c"), DecodeError);
    EXPECT_EQ(r.position(), 3u); // a refused read consumes nothing
    r.skip(2, "d");
    EXPECT_EQ(r.cstring("e"), "hi");
    EXPECT_THROW(r.u16("f"), DecodeError);
    EXPECT_THROW(r.cstring("g"), DecodeError); // no terminator before the end
    EXPECT_THROW(r.expectEnd("h"), DecodeError);
    EXPECT_EQ(r.u8("i"), 0xFF);
    EXPECT_THROW(r.u8("j"), DecodeError);
    r.expectEnd("k");

    ByteWriter w;
    w.u16(0x1234).u8(0x56).u32(0x789AFF00).cstring("x");
    EXPECT_EQ(toHex(w.data()), "123456789aff007800");
}

TEST(ByteIo, HexAndFourCharacterCodes)
{
    EXPECT_EQ(fromHex("00ffA5"), (Bytes{0x00, 0xFF, 0xA5}));
    EXPECT_THROW(fromHex("abc"), DecodeError);
    EXPECT_THROW(fromHex("zz"), DecodeError);
    EXPECT_EQ(fourCc("DATA"), 0x44415441u);
    EXPECT_EQ(fourCcText(0x44415441u), "DATA");
    EXPECT_THROW(fourCc(std::string("TOOLONG")), std::invalid_argument);
}

} // namespace
} // namespace palmlink
