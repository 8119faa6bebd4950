#pragma once

// The properties the fuzz targets check, shared with the tests that replay
// the seeds and the fuzzers' findings: any input either decodes, and then
// encodes back to the same bytes, or is refused with a DecodeError. A
// crash, a sanitizer report, another exception or a changed round trip is
// a fault.

#include "palmlink/DlpCommands.h"
#include "palmlink/NetSyncPackets.h"
#include "palmlink/SerialPackets.h"
#include "palmlink/TraceDecoder.h"

#include <optional>
#include <string>

namespace palmlink::fuzz {

// The packet layers: SLP (strict and lenient), PADP, CMP, Net Sync, and
// the trace decoder over the bytes as one recording of each kind.
inline std::optional<std::string> checkPackets(std::span<const std::uint8_t> input)
{
    try {
        SlpParser lenient(false);
        lenient.feed(input);
        while (auto p = lenient.next()) {
            if (p->type == slp::kTypePadp) {
                try {
                    PadpPacket padp = PadpPacket::decode(p->body);
                    if (padp.encode() != p->body)
                        return "PADP packet encodes differently: " + toHex(p->body);
                    if (isCmpMessage(padp.data)) {
                        try {
                            if (CmpPacket::decode(padp.data).encode() != padp.data)
                                return "CMP packet encodes differently";
                        } catch (const DecodeError &) {
                        }
                    }
                } catch (const DecodeError &) {
                }
            }
        }
        try {
            SlpParser strict(true);
            strict.feed(input);
            while (auto p = strict.next())
                if (p->encode().size() != p->body.size() + slp::kHeaderSize + slp::kCrcSize)
                    return "SLP packet of wrong size";
        } catch (const DecodeError &) {
        }
        try {
            NetSyncParser net;
            net.feed(input);
            while (auto p = net.next())
                (void)p->encode();
        } catch (const DecodeError &) {
        }
        Bytes bytes(input.begin(), input.end());
        for (TraceKind kind : {TraceKind::NetSync, TraceKind::SerialSync}) {
            Trace t{{TraceEntry::Direction::Read, bytes}, {TraceEntry::Direction::Write, bytes}};
            TraceReport r = decodeTrace(t, kind, true);
            if (r.fault.find("encodes differently") != std::string::npos)
                return r.fault;
        }
    } catch (const std::exception &e) {
        return std::string("unexpected exception: ") + e.what();
    }
    return std::nullopt;
}

// The DLP layer: a request or response frame and every argument with a
// known layout.
inline std::optional<std::string> checkDlp(std::span<const std::uint8_t> input)
{
    try {
        if (dlp::isResponse(input)) {
            dlp::Response r = dlp::Response::decode(input);
            if (r.encode() != Bytes(input.begin(), input.end()))
                return "response frame encodes differently";
            (void)dlp::describe(r);
            if (auto m = dlp::reencodeMismatch(r); !m.empty())
                return m;
        } else {
            dlp::Request q = dlp::Request::decode(input);
            if (q.encode() != Bytes(input.begin(), input.end()))
                return "request frame encodes differently";
            (void)dlp::describe(q);
            if (auto m = dlp::reencodeMismatch(q); !m.empty())
                return m;
        }
    } catch (const DecodeError &) {
    } catch (const std::exception &e) {
        return std::string("unexpected exception: ") + e.what();
    }
    return std::nullopt;
}

} // namespace palmlink::fuzz
