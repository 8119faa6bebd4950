#pragma once

// A two-way byte stream with a deadline on every read: the transports of
// the link (a TCP connection, a serial line, a pty) and decorators over
// them. Reads never wait past their deadline and writes never wait past
// the stream's write time-out.

#include "palmlink/ByteIo.h"

#include <chrono>
#include <span>

namespace palmlink {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;
using std::chrono::milliseconds;

inline Deadline deadlineIn(milliseconds timeout)
{
    return Clock::now() + timeout;
}

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Reads at least one and at most buffer.size() bytes. Raises
    // TimeoutError when nothing arrived by the deadline and
    // ConnectionClosedError when the peer closed the stream.
    virtual std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) = 0;
    // Writes all bytes; raises LinkError (TimeoutError when the peer stops
    // taking bytes for the write time-out).
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    // Ends the stream; later reads and writes raise ConnectionClosedError.
    virtual void close() = 0;

    // Fills the whole buffer; each read waits at most `timeout` for more
    // bytes, so a slow but steady peer is not cut off.
    void readExactly(std::span<std::uint8_t> buffer, milliseconds timeout);
};

} // namespace palmlink
