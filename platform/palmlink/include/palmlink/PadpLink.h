#pragma once

#include "palmlink/MessageLink.h"
#include "palmlink/SerialPackets.h"

namespace palmlink {

struct PadpOptions {
    milliseconds ackTimeout{2000}; // per fragment, before it is sent again
    int retries = 10;              // sends of a fragment before giving up
    std::size_t fragmentSize = padp::kMaxFragment;
    bool longForm = false; // write 32-bit sizes (once both ends agreed on it)
};

// Messages over PADP on SLP packets on a byte stream (a serial line, a pty
// or a TCP socket carrying an emulator's serial port). Each fragment is
// acknowledged; an unacknowledged one is sent again; a fragment received
// twice (because our acknowledgement was lost) is acknowledged again and
// not taken twice. Bytes that are not whole, correct SLP packets are
// skipped.
class PadpLink : public MessageLink {
public:
    explicit PadpLink(ByteStream &stream, PadpOptions options = {}) : stream_(stream), options_(options) {}

    void send(std::span<const std::uint8_t> message, std::uint8_t xid) override;
    Bytes receive(milliseconds timeout) override;
    void close() override { stream_.close(); }

    void setLongForm(bool on) { options_.longForm = on; }
    // Tells a waiting peer that the desktop is still busy.
    void sendTickle();
    std::size_t skippedBytes() const { return parser_.skippedBytes(); }

private:
    SlpPacket readPacket(Deadline deadline);
    void sendPadp(std::uint8_t xid, const PadpPacket &p);
    void acknowledge(std::uint8_t xid, const PadpPacket &data);
    bool isRepeatOfLastMessage(std::uint8_t xid, const PadpPacket &p) const;

    ByteStream &stream_;
    PadpOptions options_;
    SlpParser parser_{false};
    bool haveLast_ = false;
    Bytes lastMessage_;
};

} // namespace palmlink
