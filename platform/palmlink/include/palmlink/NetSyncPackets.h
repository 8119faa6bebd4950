#pragma once

// Net Sync framing (network HotSync on TCP port 14238, and most USB
// handhelds): a packet is a type byte (1, data), a transaction id and a
// 32-bit payload size, then the payload. A session opens with a fixed
// exchange before the first DLP request: the device's hello, then two
// rounds of desktop statement and device answer.

#include "palmlink/ByteIo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace palmlink {

namespace netsync {
constexpr std::uint8_t kTypeData = 1;
constexpr std::size_t kHeaderSize = 6;
constexpr std::uint16_t kDefaultPort = 14238;
// Larger payloads are refused rather than allocated.
constexpr std::size_t kMaxPayload = 16 * 1024 * 1024;

// The opening exchange, as recorded from real devices: the device's hello
// (xid 0xFF), the desktop's first statement, the device's answer, the
// desktop's second statement and the device's closing answer.
const Bytes &deviceHello();
const Bytes &desktopStatement1();
const Bytes &deviceAnswer1();
const Bytes &desktopStatement2();
const Bytes &deviceAnswer2();
// The leading byte that tells each of the five apart.
constexpr std::uint8_t kHelloCode = 0x90;
constexpr std::uint8_t kStatement1Code = 0x12;
constexpr std::uint8_t kAnswer1Code = 0x92;
constexpr std::uint8_t kStatement2Code = 0x13;
constexpr std::uint8_t kAnswer2Code = 0x93;
} // namespace netsync

struct NetSyncPacket {
    std::uint8_t type = netsync::kTypeData;
    std::uint8_t xid = 0;
    Bytes payload;

    Bytes encode() const;
    friend bool operator==(const NetSyncPacket &, const NetSyncPacket &) = default;
};

// Splits a byte stream into Net Sync packets; raises DecodeError on an
// unknown packet type or a payload size above the limit.
class NetSyncParser {
public:
    void feed(std::span<const std::uint8_t> bytes);
    std::optional<NetSyncPacket> next();
    std::size_t buffered() const { return buffer_.size() - start_; }

private:
    Bytes buffer_;
    std::size_t start_ = 0;
};

} // namespace palmlink
