#pragma once

#include "palmlink/ByteStream.h"

#include <cstdint>

namespace palmlink {

// Whole messages (CMP packets, DLP requests and responses) over a
// transport stack, each with a transaction id: the desktop gives each
// request a new one and the handheld answers with the request's.
class MessageLink {
public:
    virtual ~MessageLink() = default;

    virtual void send(std::span<const std::uint8_t> message, std::uint8_t xid) = 0;
    // The next whole message. `timeout` bounds the wait for it to start and
    // for each later piece of it; raises TimeoutError, ConnectionClosedError
    // or DecodeError (a peer that breaks the protocol).
    virtual Bytes receive(milliseconds timeout) = 0;
    virtual void close() = 0;

    std::uint8_t lastReceivedXid() const { return lastReceivedXid_; }
    // A new transaction id for a request: 1 to 0xFE in turn (0xFF belongs
    // to the opening exchange).
    std::uint8_t nextXid()
    {
        xid_ = static_cast<std::uint8_t>(xid_ >= 0xFE ? 1 : xid_ + 1);
        return xid_;
    }

protected:
    std::uint8_t lastReceivedXid_ = 0;

private:
    std::uint8_t xid_ = 0;
};

} // namespace palmlink
