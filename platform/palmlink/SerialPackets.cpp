#include "palmlink/SerialPackets.h"

#include <algorithm>
#include <cstdio>

namespace palmlink {

namespace {

constexpr std::uint8_t kSignature[3] = {0xBE, 0xEF, 0xED};

std::uint8_t headerChecksum(std::span<const std::uint8_t> header)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < 9; ++i)
        sum += header[i];
    return static_cast<std::uint8_t>(sum);
}

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

} // namespace

std::uint16_t slpCrc16(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes) {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>(crc << 1 ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

Bytes SlpPacket::encode() const
{
    if (body.size() > 0xFFFF)
        throw std::length_error("an SLP packet body holds at most 65535 bytes");
    ByteWriter w;
    w.bytes(kSignature).u8(dest).u8(src).u8(type).u16(static_cast<std::uint16_t>(body.size())).u8(xid);
    w.u8(headerChecksum(w.data()));
    w.bytes(body);
    w.u16(slpCrc16(w.data()));
    return w.take();
}

std::string SlpPacket::describe() const
{
    std::string kind = type == slp::kTypePadp       ? "PADP"
                       : type == slp::kTypeLoopback ? "loopback"
                       : type == slp::kTypeSystem   ? "system"
                                                    : "type " + std::to_string(type);
    return "SLP " + kind + " dest=" + std::to_string(dest) + " src=" + std::to_string(src) + " xid=" + hex2(xid) +
           " size=" + std::to_string(body.size());
}

void SlpParser::feed(std::span<const std::uint8_t> bytes)
{
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void SlpParser::drop(std::size_t count)
{
    start_ += count;
    skipped_ += count;
    if (start_ > 4096 && start_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
}

std::optional<SlpPacket> SlpParser::next()
{
    for (;;) {
        std::span<const std::uint8_t> b(buffer_.data() + start_, buffer_.size() - start_);
        // Find the signature (or a prefix of it at the very end).
        std::size_t at = 0;
        while (at < b.size()) {
            std::size_t n = std::min<std::size_t>(3, b.size() - at);
            if (std::equal(b.begin() + at, b.begin() + at + n, kSignature))
                break;
            ++at;
        }
        if (at > 0) {
            if (strict_)
                throw DecodeError("SLP: " + std::to_string(at) +
                                  " bytes before a packet signature: " + toHex(b.first(std::min<std::size_t>(at, 16))));
            drop(at);
            continue;
        }
        if (b.size() < slp::kHeaderSize)
            return std::nullopt;
        if (headerChecksum(b) != b[9]) {
            if (strict_)
                throw DecodeError("SLP: header checksum " + hex2(b[9]) + " should be " + hex2(headerChecksum(b)) +
                                  " in " + toHex(b.first(slp::kHeaderSize)));
            drop(1);
            continue;
        }
        std::size_t bodySize = static_cast<std::size_t>(b[6] << 8 | b[7]);
        std::size_t total = slp::kHeaderSize + bodySize + slp::kCrcSize;
        if (b.size() < total)
            return std::nullopt;
        std::uint16_t crc = static_cast<std::uint16_t>(b[total - 2] << 8 | b[total - 1]);
        std::uint16_t expected = slpCrc16(b.first(total - 2));
        if (crc != expected) {
            if (strict_)
                throw DecodeError("SLP: CRC " + std::to_string(crc) + " should be " + std::to_string(expected) +
                                  " in a packet of " + std::to_string(total) + " bytes");
            drop(1);
            continue;
        }
        SlpPacket p;
        p.dest = b[3];
        p.src = b[4];
        p.type = b[5];
        p.xid = b[8];
        p.body.assign(b.begin() + slp::kHeaderSize, b.begin() + static_cast<std::ptrdiff_t>(total - 2));
        start_ += total;
        return p;
    }
}

PadpPacket PadpPacket::decode(std::span<const std::uint8_t> body)
{
    ByteReader r(body);
    PadpPacket p;
    p.type = r.u8("PADP type");
    p.flags = r.u8("PADP flags");
    p.size = p.longForm() ? r.u32("PADP long size") : r.u16("PADP size");
    p.data = r.rest();
    if (p.type != padp::kData && p.type != padp::kAck && p.type != padp::kTickle && p.type != padp::kAbort)
        throw DecodeError("PADP: unknown packet type " + hex2(p.type));
    if (p.type == padp::kData && p.data.size() > padp::kMaxFragment * 64)
        throw DecodeError("PADP: fragment of " + std::to_string(p.data.size()) + " bytes");
    return p;
}

Bytes PadpPacket::encode() const
{
    ByteWriter w;
    w.u8(type).u8(flags);
    if (longForm())
        w.u32(size);
    else if (size > 0xFFFF)
        throw std::length_error("a short-form PADP size holds at most 65535");
    else
        w.u16(static_cast<std::uint16_t>(size));
    w.bytes(data);
    return w.take();
}

std::string PadpPacket::describe() const
{
    std::string kind = type == padp::kData     ? "data"
                       : type == padp::kAck    ? "ack"
                       : type == padp::kTickle ? "tickle"
                                               : "abort";
    std::string f;
    if (flags & padp::kFirst)
        f += " first";
    if (flags & padp::kLast)
        f += " last";
    if (flags & padp::kMemoryError)
        f += " memory-error";
    if (flags & padp::kLongForm)
        f += " long";
    std::string s = "PADP " + kind + f + ((flags & padp::kFirst) ? " size=" : " offset=") + std::to_string(size);
    if (!data.empty())
        s += " data=" + std::to_string(data.size()) + " bytes";
    return s;
}

CmpPacket CmpPacket::decode(std::span<const std::uint8_t> bytes)
{
    ByteReader r(bytes);
    CmpPacket p;
    p.type = r.u8("CMP type");
    p.flags = r.u8("CMP flags");
    p.versionMajor = r.u8("CMP version");
    p.versionMinor = r.u8("CMP version");
    p.reserved = r.u16("CMP reserved");
    p.baudRate = r.u32("CMP baud rate");
    r.expectEnd("CMP packet");
    if (p.type < cmp::kWakeup || p.type > cmp::kExtended)
        throw DecodeError("CMP: unknown packet type " + hex2(p.type));
    return p;
}

Bytes CmpPacket::encode() const
{
    ByteWriter w;
    w.u8(type).u8(flags).u8(versionMajor).u8(versionMinor).u16(reserved).u32(baudRate);
    return w.take();
}

std::string CmpPacket::describe() const
{
    static const char *names[] = {"", "wakeup", "init", "abort", "extended"};
    return std::string("CMP ") + names[type] + " flags=" + hex2(flags) + " version=" + std::to_string(versionMajor) +
           "." + std::to_string(versionMinor) + " baud=" + std::to_string(baudRate) +
           (reserved ? " reserved=" + std::to_string(reserved) : "");
}

} // namespace palmlink
