#include "palmlink/TraceDecoder.h"

#include "palmlink/DlpCommands.h"
#include "palmlink/NetSyncPackets.h"
#include "palmlink/SerialPackets.h"

#include <cstdio>

namespace palmlink {

namespace {

using Direction = TraceEntry::Direction;

const char *arrow(Direction d)
{
    return d == Direction::Read ? "handheld -> desktop" : "desktop -> handheld";
}

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

class Decoder {
public:
    Decoder(TraceReport &report, bool check) : r_(report), check_(check) {}

    void line(const std::string &text) { r_.text += text + "\n"; }

    void requireSame(const Bytes &original, const Bytes &again, const std::string &what)
    {
        if (check_ && original != again)
            throw DecodeError(what + " encodes differently: decoded " + toHex(original) + ", encoded again " +
                              toHex(again));
    }

    // A whole DLP request or response.
    void dlpMessage(const Bytes &message)
    {
        ++r_.messages;
        if (dlp::isResponse(message)) {
            dlp::Response p = dlp::Response::decode(message);
            line("  DLP " + indentMore(dlp::describe(p)));
            requireSame(message, p.encode(), "DLP response");
            if (check_)
                if (std::string m = dlp::reencodeMismatch(p); !m.empty())
                    throw DecodeError(m);
        } else {
            dlp::Request q = dlp::Request::decode(message);
            line("  DLP " + indentMore(dlp::describe(q)));
            requireSame(message, q.encode(), "DLP request");
            if (check_)
                if (std::string m = dlp::reencodeMismatch(q); !m.empty())
                    throw DecodeError(m);
        }
    }

    static std::string indentMore(const std::string &s)
    {
        std::string out;
        for (char c : s) {
            out += c;
            if (c == '\n')
                out += "  ";
        }
        return out;
    }

protected:
    TraceReport &r_;
    bool check_;
};

class NetSyncDecoder : public Decoder {
public:
    using Decoder::Decoder;

    void feed(Direction d, const Bytes &bytes)
    {
        Side &s = side(d);
        s.parser.feed(bytes);
        while (auto p = s.parser.next()) {
            ++r_.packets;
            line("#" + std::to_string(r_.packets) + " " + arrow(d) + "  Net Sync xid=" + hex2(p->xid) +
                 " size=" + std::to_string(p->payload.size()));
            Bytes raw = p->encode();
            requireSame(raw, NetSyncPacket{p->type, p->xid, p->payload}.encode(), "Net Sync packet");
            std::size_t handshakeCount = d == Direction::Read ? 3 : 2;
            if (s.count < handshakeCount)
                handshake(d, s.count, p->payload);
            else
                dlpMessage(p->payload);
            ++s.count;
        }
    }

    void finish()
    {
        for (Direction d : {Direction::Read, Direction::Write})
            if (side(d).parser.buffered() > 0)
                throw DecodeError(std::string(arrow(d)) + ": the recording ends inside a Net Sync packet (" +
                                  std::to_string(side(d).parser.buffered()) + " bytes)");
    }

private:
    struct Side {
        NetSyncParser parser;
        std::size_t count = 0;
    };

    Side &side(Direction d) { return d == Direction::Read ? read_ : write_; }

    void handshake(Direction d, std::size_t index, const Bytes &payload)
    {
        static const std::uint8_t deviceCodes[] = {netsync::kHelloCode, netsync::kAnswer1Code, netsync::kAnswer2Code};
        static const std::uint8_t desktopCodes[] = {netsync::kStatement1Code, netsync::kStatement2Code};
        static const char *deviceNames[] = {"hello", "answer 1", "answer 2"};
        static const char *desktopNames[] = {"statement 1", "statement 2"};
        std::uint8_t expected = d == Direction::Read ? deviceCodes[index] : desktopCodes[index];
        const char *name = d == Direction::Read ? deviceNames[index] : desktopNames[index];
        if (payload.empty() || payload[0] != expected)
            throw DecodeError(std::string("Net Sync opening ") + name + ": should start with " + hex2(expected) +
                              ", not " + toHex(std::span(payload).first(std::min<std::size_t>(payload.size(), 8))));
        ++r_.messages;
        line(std::string("  Net Sync opening ") + name + " (" + std::to_string(payload.size()) +
             " bytes): " + toHex(payload));
    }

    Side read_, write_;
};

class SerialDecoder : public Decoder {
public:
    using Decoder::Decoder;

    void feed(Direction d, const Bytes &bytes)
    {
        Side &s = side(d);
        s.parser.feed(bytes);
        while (auto p = s.parser.next()) {
            ++r_.packets;
            std::string head = "#" + std::to_string(r_.packets) + " " + arrow(d) + "  " + p->describe();
            if (p->type == slp::kTypePadp) {
                PadpPacket padp = PadpPacket::decode(p->body);
                requireSame(p->body, padp.encode(), "PADP packet");
                line(head + " | " + padp.describe());
                if (padp.type == padp::kData)
                    fragment(d, s, p->xid, padp);
            } else if (p->type == slp::kTypeLoopback || p->type == slp::kTypeSystem) {
                line(head + (p->body.empty() ? "" : " body=" + toHex(p->body)));
            } else {
                throw DecodeError("SLP packet of unknown type " + std::to_string(p->type));
            }
        }
    }

    void finish()
    {
        for (Direction d : {Direction::Read, Direction::Write}) {
            Side &s = side(d);
            if (s.parser.buffered() > 0)
                throw DecodeError(std::string(arrow(d)) + ": the recording ends inside an SLP packet (" +
                                  std::to_string(s.parser.buffered()) + " bytes)");
            if (s.active)
                throw DecodeError(std::string(arrow(d)) + ": the recording ends inside a PADP message (" +
                                  std::to_string(s.data.size()) + " of " + std::to_string(s.total) + " bytes)");
        }
    }

private:
    struct Side {
        SlpParser parser{true};
        bool active = false;
        std::uint8_t xid = 0;
        std::uint32_t total = 0;
        Bytes data;
        bool haveCompleted = false;
        std::uint8_t completedXid = 0;
        Bytes completed;
    };

    Side &side(Direction d) { return d == Direction::Read ? read_ : write_; }

    void retransmission(const Bytes &known, std::size_t offset, const Bytes &fragment)
    {
        if (offset + fragment.size() > known.size() ||
            !std::equal(fragment.begin(), fragment.end(), known.begin() + static_cast<std::ptrdiff_t>(offset)))
            throw DecodeError("PADP: a retransmitted fragment differs from the one sent before");
        ++r_.retransmissions;
        line("  (retransmission)");
    }

    void fragment(Direction d, Side &s, std::uint8_t xid, const PadpPacket &p)
    {
        const bool first = (p.flags & padp::kFirst) != 0;
        const bool last = (p.flags & padp::kLast) != 0;
        if (first) {
            if (s.active && xid == s.xid) {
                retransmission(s.data, 0, p.data);
                return;
            }
            if (!s.active && s.haveCompleted && xid == s.completedXid && p.size == s.completed.size()) {
                retransmission(s.completed, 0, p.data);
                return;
            }
            if (s.active)
                line("  (an unfinished message of xid " + hex2(s.xid) + " is abandoned)");
            s.active = true;
            s.xid = xid;
            s.total = p.size;
            s.data = p.data;
        } else {
            if (!s.active || xid != s.xid) {
                if (s.haveCompleted && xid == s.completedXid) {
                    retransmission(s.completed, p.size, p.data);
                    return;
                }
                throw DecodeError("PADP: a fragment at offset " + std::to_string(p.size) + " of xid " + hex2(xid) +
                                  " without its first fragment");
            }
            if (p.size < s.data.size()) {
                retransmission(s.data, p.size, p.data);
                return;
            }
            if (p.size > s.data.size())
                throw DecodeError("PADP: a fragment at offset " + std::to_string(p.size) + " after only " +
                                  std::to_string(s.data.size()) + " bytes");
            s.data.insert(s.data.end(), p.data.begin(), p.data.end());
        }
        if (s.data.size() > s.total)
            throw DecodeError("PADP: the fragments hold more than the message size " + std::to_string(s.total));
        if (last != (s.data.size() == s.total))
            throw DecodeError("PADP: the last-fragment flag does not match the message size (" +
                              std::to_string(s.data.size()) + " of " + std::to_string(s.total) + " bytes)");
        if (!last)
            return;
        s.active = false;
        s.haveCompleted = true;
        s.completedXid = s.xid;
        s.completed = s.data;
        (void)d;
        if (isCmpMessage(s.data)) {
            ++r_.messages;
            CmpPacket c = CmpPacket::decode(s.data);
            line("  " + c.describe());
            requireSame(s.data, c.encode(), "CMP packet");
        } else {
            dlpMessage(s.data);
        }
    }

    Side read_, write_;
};

template <class D> void run(D &decoder, const Trace &trace, TraceReport &report)
{
    std::size_t index = 0;
    try {
        for (; index < trace.size(); ++index)
            decoder.feed(trace[index].direction, trace[index].data);
        decoder.finish();
    } catch (const std::exception &e) {
        report.fault = (index < trace.size() ? "entry " + std::to_string(index) + ": " : std::string()) + e.what();
        report.text += "FAULT: " + report.fault + "\n";
    }
}

} // namespace

TraceReport decodeTrace(const Trace &trace, TraceKind kind, bool check)
{
    TraceReport report;
    if (kind == TraceKind::NetSync) {
        NetSyncDecoder decoder(report, check);
        run(decoder, trace, report);
    } else {
        SerialDecoder decoder(report, check);
        run(decoder, trace, report);
    }
    return report;
}

} // namespace palmlink
