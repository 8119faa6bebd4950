#include "palmlink/PadpLink.h"

namespace palmlink {

namespace {
// A message larger than this is refused rather than allocated.
constexpr std::uint32_t kMaxMessage = 16 * 1024 * 1024;
} // namespace

SlpPacket PadpLink::readPacket(Deadline deadline)
{
    for (;;) {
        if (auto p = parser_.next())
            return *p;
        std::uint8_t buf[4096];
        std::size_t n = stream_.readSome(buf, deadline);
        parser_.feed({buf, n});
    }
}

void PadpLink::sendPadp(std::uint8_t xid, const PadpPacket &p)
{
    stream_.write(SlpPacket{slp::kSocketDlp, slp::kSocketDlp, slp::kTypePadp, xid, p.encode()}.encode());
}

void PadpLink::acknowledge(std::uint8_t xid, const PadpPacket &data)
{
    PadpPacket ack;
    ack.type = padp::kAck;
    bool longForm = options_.longForm || data.size > 0xFFFF;
    ack.flags = static_cast<std::uint8_t>((data.flags & ~padp::kLongForm) | (longForm ? padp::kLongForm : 0));
    ack.size = data.size;
    sendPadp(xid, ack);
}

void PadpLink::sendTickle()
{
    sendPadp(lastReceivedXid_, PadpPacket{padp::kTickle, 0, 0, {}});
}

bool PadpLink::isRepeatOfLastMessage(std::uint8_t xid, const PadpPacket &p) const
{
    if (!haveLast_ || xid != lastReceivedXid_)
        return false;
    return (p.flags & padp::kFirst) ? p.size == lastMessage_.size() : p.size < lastMessage_.size();
}

void PadpLink::send(std::span<const std::uint8_t> message, std::uint8_t xid)
{
    std::size_t offset = 0;
    do {
        std::size_t chunk = std::min(options_.fragmentSize, message.size() - offset);
        PadpPacket p;
        p.type = padp::kData;
        p.flags = static_cast<std::uint8_t>((offset == 0 ? padp::kFirst : 0) |
                                            (offset + chunk == message.size() ? padp::kLast : 0));
        p.size = static_cast<std::uint32_t>(offset == 0 ? message.size() : offset);
        if (options_.longForm || p.size > 0xFFFF)
            p.flags |= padp::kLongForm;
        p.data.assign(message.begin() + static_cast<std::ptrdiff_t>(offset),
                      message.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
        bool acked = false;
        for (int attempt = 0; attempt < options_.retries && !acked; ++attempt) {
            sendPadp(xid, p);
            Deadline ackDeadline = deadlineIn(options_.ackTimeout);
            try {
                while (!acked) {
                    SlpPacket s = readPacket(ackDeadline);
                    if (s.type != slp::kTypePadp)
                        continue;
                    PadpPacket in;
                    try {
                        in = PadpPacket::decode(s.body);
                    } catch (const DecodeError &) {
                        continue;
                    }
                    if (in.type == padp::kAck && s.xid == xid && in.size == p.size) {
                        if (in.flags & padp::kMemoryError)
                            throw LinkError("PADP: the handheld is out of memory for a message of " +
                                            std::to_string(message.size()) + " bytes");
                        acked = true;
                    } else if (in.type == padp::kData && isRepeatOfLastMessage(s.xid, in)) {
                        acknowledge(s.xid, in); // the peer missed our acknowledgement
                    } else if (in.type == padp::kAbort) {
                        throw ConnectionClosedError("PADP: the peer aborted the connection");
                    }
                }
            } catch (const TimeoutError &) {
                // no acknowledgement in time: send the fragment again
            }
        }
        if (!acked)
            throw TimeoutError("PADP: no acknowledgement of a fragment after " + std::to_string(options_.retries) +
                               " tries");
        offset += chunk;
    } while (offset < message.size());
}

Bytes PadpLink::receive(milliseconds timeout)
{
    Deadline deadline = deadlineIn(timeout);
    bool active = false;
    std::uint8_t xid = 0;
    std::uint32_t total = 0;
    Bytes data;
    for (;;) {
        SlpPacket s = readPacket(deadline);
        if (s.type != slp::kTypePadp)
            continue; // loopback and system packets are not ours
        PadpPacket p;
        try {
            p = PadpPacket::decode(s.body);
        } catch (const DecodeError &) {
            continue;
        }
        if (p.type == padp::kTickle) {
            deadline = deadlineIn(timeout);
            continue;
        }
        if (p.type == padp::kAbort)
            throw ConnectionClosedError("PADP: the peer aborted the connection");
        if (p.type != padp::kData)
            continue;
        const bool first = (p.flags & padp::kFirst) != 0;
        if (first) {
            if (active && s.xid == xid) {
                acknowledge(s.xid, p);
                continue;
            }
            if (!active && isRepeatOfLastMessage(s.xid, p)) {
                acknowledge(s.xid, p);
                continue;
            }
            if (p.size > kMaxMessage)
                throw DecodeError("PADP: a message of " + std::to_string(p.size) + " bytes is above the limit");
            active = true;
            xid = s.xid;
            total = p.size;
            data = p.data;
        } else {
            if (!active || s.xid != xid) {
                if (isRepeatOfLastMessage(s.xid, p))
                    acknowledge(s.xid, p);
                continue;
            }
            if (p.size < data.size()) {
                acknowledge(s.xid, p);
                continue;
            }
            if (p.size > data.size())
                continue; // a gap: the sender repeats what we missed
            data.insert(data.end(), p.data.begin(), p.data.end());
        }
        if (data.size() > total)
            throw DecodeError("PADP: fragments hold more than the message size " + std::to_string(total));
        acknowledge(s.xid, p);
        deadline = deadlineIn(timeout);
        if (p.flags & padp::kLast) {
            if (data.size() != total)
                throw DecodeError("PADP: the last fragment ends a message at " + std::to_string(data.size()) + " of " +
                                  std::to_string(total) + " bytes");
            lastReceivedXid_ = xid;
            haveLast_ = true;
            lastMessage_ = data;
            return data;
        }
    }
}

} // namespace palmlink
