#pragma once

#include "palmlink/MessageLink.h"
#include "palmlink/NetSyncPackets.h"

namespace palmlink {

// Messages over Net Sync framing on a byte stream (a TCP connection).
class NetSyncLink : public MessageLink {
public:
    explicit NetSyncLink(ByteStream &stream) : stream_(stream) {}

    void send(std::span<const std::uint8_t> message, std::uint8_t xid) override;
    Bytes receive(milliseconds timeout) override;
    void close() override { stream_.close(); }

    // The desktop's side of the opening exchange: waits for the handheld's
    // hello and answers both rounds. Raises DecodeError when the peer is no
    // Net Sync handheld.
    void acceptHandshake(milliseconds timeout);
    // The handheld's side: sends the hello and answers the desktop.
    void openHandshake(milliseconds timeout);

private:
    Bytes expect(std::uint8_t code, const char *what, milliseconds timeout);
    ByteStream &stream_;
};

} // namespace palmlink
