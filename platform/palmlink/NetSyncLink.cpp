#include "palmlink/NetSyncLink.h"

#include <cstdio>

namespace palmlink {

void NetSyncLink::send(std::span<const std::uint8_t> message, std::uint8_t xid)
{
    if (message.size() > netsync::kMaxPayload)
        throw std::length_error("a Net Sync message of " + std::to_string(message.size()) + " bytes is too large");
    NetSyncPacket p{netsync::kTypeData, xid, Bytes(message.begin(), message.end())};
    stream_.write(p.encode());
}

Bytes NetSyncLink::receive(milliseconds timeout)
{
    std::uint8_t header[netsync::kHeaderSize];
    stream_.readExactly(header, timeout);
    ByteReader r(header);
    std::uint8_t type = r.u8("Net Sync type");
    std::uint8_t xid = r.u8("Net Sync xid");
    std::uint32_t size = r.u32("Net Sync size");
    if (type != netsync::kTypeData)
        throw DecodeError("Net Sync: unknown packet type " + std::to_string(type));
    if (size > netsync::kMaxPayload)
        throw DecodeError("Net Sync: payload of " + std::to_string(size) + " bytes is above the limit");
    Bytes payload(size);
    stream_.readExactly(payload, timeout);
    lastReceivedXid_ = xid;
    return payload;
}

Bytes NetSyncLink::expect(std::uint8_t code, const char *what, milliseconds timeout)
{
    Bytes b = receive(timeout);
    if (b.empty() || b[0] != code) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X", code);
        throw DecodeError(std::string("Net Sync opening: expected the ") + what + " (" + buf + "), got " +
                          toHex(std::span(b).first(std::min<std::size_t>(b.size(), 8))));
    }
    return b;
}

void NetSyncLink::acceptHandshake(milliseconds timeout)
{
    expect(netsync::kHelloCode, "handheld's hello", timeout);
    send(netsync::desktopStatement1(), nextXid());
    expect(netsync::kAnswer1Code, "handheld's first answer", timeout);
    send(netsync::desktopStatement2(), nextXid());
    expect(netsync::kAnswer2Code, "handheld's second answer", timeout);
}

void NetSyncLink::openHandshake(milliseconds timeout)
{
    send(netsync::deviceHello(), 0xFF);
    expect(netsync::kStatement1Code, "desktop's first statement", timeout);
    send(netsync::deviceAnswer1(), lastReceivedXid());
    expect(netsync::kStatement2Code, "desktop's second statement", timeout);
    send(netsync::deviceAnswer2(), lastReceivedXid());
}

} // namespace palmlink
