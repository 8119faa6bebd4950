#include "palmlink/SerialPackets.h"
#include "palmlink/NetSyncPackets.h"

#include <gtest/gtest.h>

namespace palmlink {
namespace {

// Packets recorded from a Palm OS emulator.
const Bytes kLoopback = fromHex("beefed030303000015b8ab20");
const Bytes kWakeup = fromHex("beefed030302000effaf01c0000a0110010300000001c2006d2e");
const Bytes kLongAck = fromHex("beefed030302000601a902d0000000082896");

TEST(SerialPackets, EncodesRecordedPacketsExactly)
{
    SlpPacket loop{3, 3, slp::kTypeLoopback, 0x15, {}};
    EXPECT_EQ(loop.encode(), kLoopback);

    PadpPacket data{padp::kData, padp::kFirst | padp::kLast, 10,
                    CmpPacket{cmp::kWakeup, cmp::kLongPackets, 1, 3, 0, 115200}.encode()};
    EXPECT_EQ((SlpPacket{3, 3, slp::kTypePadp, 0xFF, data.encode()}.encode()), kWakeup);

    PadpPacket ack{padp::kAck, padp::kFirst | padp::kLast | padp::kLongForm, 8, {}};
    EXPECT_EQ((SlpPacket{3, 3, slp::kTypePadp, 0x01, ack.encode()}.encode()), kLongAck);
    EXPECT_EQ(PadpPacket::decode(ack.encode()), ack);
}

TEST(SerialPackets, ParserFindsPacketsInNoiseUnlessStrict)
{
    Bytes noisy = {0x00, 0xBE, 0xEF}; // noise, including a partial signature
    noisy.insert(noisy.end(), kLoopback.begin(), kLoopback.end());
    Bytes corrupt = kWakeup;
    corrupt[12] ^= 0xFF; // CRC no longer matches
    noisy.insert(noisy.end(), corrupt.begin(), corrupt.end());
    noisy.insert(noisy.end(), kLongAck.begin(), kLongAck.end());

    SlpParser lenient(false);
    std::vector<SlpPacket> got;
    for (std::uint8_t b : noisy) { // one byte at a time, as a serial line delivers them
        lenient.feed({&b, 1});
        while (auto p = lenient.next())
            got.push_back(*p);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].encode(), kLoopback);
    EXPECT_EQ(got[1].encode(), kLongAck);
    EXPECT_EQ(lenient.skippedBytes(), 3 + corrupt.size());

    SlpParser strict(true);
    strict.feed(noisy);
    EXPECT_THROW(strict.next(), DecodeError);
}

TEST(SerialPackets, RefusesMalformedPadpAndCmp)
{
    EXPECT_THROW(PadpPacket::decode(fromHex("01c0")), DecodeError);              // size missing
    EXPECT_THROW(PadpPacket::decode(fromHex("01d00000")), DecodeError);          // long size cut short
    EXPECT_THROW(PadpPacket::decode(fromHex("07c00000")), DecodeError);          // unknown type
    EXPECT_THROW(CmpPacket::decode(fromHex("0110010300000001c2")), DecodeError); // 9 bytes
    EXPECT_THROW(CmpPacket::decode(fromHex("0910010300000001c200")), DecodeError);
    PadpPacket tooLong{padp::kData, padp::kFirst, 70000, {}};
    EXPECT_THROW(tooLong.encode(), std::length_error);
}

TEST(NetSyncPackets, SplitsAStreamAndRefusesHugeSizes)
{
    NetSyncParser p;
    Bytes two = fromHex("0103000000081201200400010004"
                        "0104000000021000");
    p.feed(std::span(two).first(5));
    EXPECT_FALSE(p.next());
    p.feed(std::span(two).subspan(5));
    auto a = p.next();
    auto b = p.next();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->xid, 3);
    EXPECT_EQ(toHex(b->payload), "1000");
    EXPECT_EQ(a->encode(), Bytes(two.begin(), two.begin() + 14));
    EXPECT_FALSE(p.next());

    NetSyncParser huge;
    huge.feed(fromHex("0101ffffffff"));
    EXPECT_THROW(huge.next(), DecodeError);
}

} // namespace
} // namespace palmlink
