#include "palmlink/NetSyncPackets.h"

namespace palmlink {

namespace netsync {

const Bytes &deviceHello()
{
    static const Bytes b = fromHex("90010000000000000020000000080200000000000000");
    return b;
}

const Bytes &desktopStatement1()
{
    static const Bytes b = fromHex("1201000000000000002000000024ffffffff3c003c000000000000000000c0a80121042700000000"
                                   "00000000000000000000");
    return b;
}

const Bytes &deviceAnswer1()
{
    static const Bytes b = fromHex("9201000000000000002000000024ffffffff3c003c000000004000000002c0a80205e06b00000000"
                                   "00000000000000000000");
    return b;
}

const Bytes &desktopStatement2()
{
    static const Bytes b =
        fromHex("1301000000000000002000000020ffffffff003c003c000000000000000100000000000000000000000000000000");
    return b;
}

const Bytes &deviceAnswer2()
{
    static const Bytes b = fromHex("9300000000000000");
    return b;
}

} // namespace netsync

Bytes NetSyncPacket::encode() const
{
    ByteWriter w;
    w.u8(type).u8(xid).u32(static_cast<std::uint32_t>(payload.size())).bytes(payload);
    return w.take();
}

void NetSyncParser::feed(std::span<const std::uint8_t> bytes)
{
    if (start_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<NetSyncPacket> NetSyncParser::next()
{
    std::span<const std::uint8_t> b(buffer_.data() + start_, buffer_.size() - start_);
    if (b.size() < netsync::kHeaderSize)
        return std::nullopt;
    ByteReader r(b);
    NetSyncPacket p;
    p.type = r.u8("Net Sync type");
    p.xid = r.u8("Net Sync xid");
    std::uint32_t size = r.u32("Net Sync size");
    if (p.type != netsync::kTypeData)
        throw DecodeError("Net Sync: unknown packet type " + std::to_string(p.type) + " in " +
                          toHex(b.first(netsync::kHeaderSize)));
    if (size > netsync::kMaxPayload)
        throw DecodeError("Net Sync: payload of " + std::to_string(size) + " bytes is above the limit");
    if (r.remaining() < size)
        return std::nullopt;
    p.payload = r.bytes(size, "Net Sync payload");
    start_ += netsync::kHeaderSize + size;
    return p;
}

} // namespace palmlink
