#pragma once

// The packets of the serial HotSync stack:
// - SLP (serial link): signature BE EF ED, destination and source socket,
//   type, body size, transaction id, a header checksum (the sum of the
//   nine bytes before it), the body, and a CRC-16 over header and body;
// - PADP (packet assembly), carried in SLP packets of type 2: type, flags
//   and a 16-bit size, or a 32-bit size when the long-form flag is set (in
//   the first fragment the message size, in later ones the offset);
// - CMP (connection management), the first PADP message each way: the
//   device's wakeup and the desktop's init with the baud rate to use.

#include "palmlink/ByteIo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace palmlink {

// CRC-16 with polynomial 0x1021, initial value 0, no reflection.
std::uint16_t slpCrc16(std::span<const std::uint8_t> bytes);

namespace slp {
constexpr std::uint8_t kTypeSystem = 0;
constexpr std::uint8_t kTypePadp = 2;
constexpr std::uint8_t kTypeLoopback = 3;
constexpr std::uint8_t kSocketDlp = 3;
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kCrcSize = 2;
} // namespace slp

struct SlpPacket {
    std::uint8_t dest = slp::kSocketDlp;
    std::uint8_t src = slp::kSocketDlp;
    std::uint8_t type = slp::kTypePadp;
    std::uint8_t xid = 0;
    Bytes body;

    Bytes encode() const;
    std::string describe() const;
    friend bool operator==(const SlpPacket &, const SlpPacket &) = default;
};

// Splits a byte stream into SLP packets. In strict mode anything that is
// not a whole, correct packet raises DecodeError; otherwise bytes before a
// signature and packets with a bad checksum or CRC are skipped (counted in
// skippedBytes()), as a serial line needs.
class SlpParser {
public:
    explicit SlpParser(bool strict) : strict_(strict) {}
    void feed(std::span<const std::uint8_t> bytes);
    // The next whole packet, if the bytes fed so far hold one.
    std::optional<SlpPacket> next();
    std::size_t buffered() const { return buffer_.size() - start_; }
    std::size_t skippedBytes() const { return skipped_; }

private:
    void drop(std::size_t count);
    bool strict_;
    Bytes buffer_;
    std::size_t start_ = 0;
    std::size_t skipped_ = 0;
};

namespace padp {
constexpr std::uint8_t kData = 1;
constexpr std::uint8_t kAck = 2;
constexpr std::uint8_t kTickle = 4;
constexpr std::uint8_t kAbort = 8;
constexpr std::uint8_t kFirst = 0x80;
constexpr std::uint8_t kLast = 0x40;
constexpr std::uint8_t kMemoryError = 0x20;
constexpr std::uint8_t kLongForm = 0x10;
constexpr std::size_t kMaxFragment = 1024;
} // namespace padp

struct PadpPacket {
    std::uint8_t type = padp::kData;
    std::uint8_t flags = 0;
    std::uint32_t size = 0; // message size in a first fragment, else the offset
    Bytes data;             // fragment data (acknowledgements may carry stray bytes too)

    static PadpPacket decode(std::span<const std::uint8_t> body);
    Bytes encode() const;
    bool longForm() const { return (flags & padp::kLongForm) != 0; }
    std::string describe() const;
    friend bool operator==(const PadpPacket &, const PadpPacket &) = default;
};

namespace cmp {
constexpr std::uint8_t kWakeup = 1;
constexpr std::uint8_t kInit = 2;
constexpr std::uint8_t kAbort = 3;
constexpr std::uint8_t kExtended = 4;
// Init flags.
constexpr std::uint8_t kChangeBaudRate = 0x80;
constexpr std::uint8_t kReceiveTimeout1Min = 0x40;
constexpr std::uint8_t kReceiveTimeout2Min = 0x20;
constexpr std::uint8_t kLongPackets = 0x10; // wakeup and init: long PADP form supported
constexpr std::size_t kSize = 10;
constexpr std::uint32_t kInitialBaudRate = 9600;
} // namespace cmp

struct CmpPacket {
    std::uint8_t type = cmp::kWakeup;
    std::uint8_t flags = 0;
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 1;
    std::uint16_t reserved = 0;
    std::uint32_t baudRate = 0;

    static CmpPacket decode(std::span<const std::uint8_t> bytes);
    Bytes encode() const;
    std::string describe() const;
    friend bool operator==(const CmpPacket &, const CmpPacket &) = default;
};

// True when a PADP message is a CMP packet rather than a DLP request or
// response (CMP types are below the first DLP function id).
inline bool isCmpMessage(std::span<const std::uint8_t> message)
{
    return !message.empty() && message[0] < 0x10;
}

} // namespace palmlink
