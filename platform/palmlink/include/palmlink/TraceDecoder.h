#pragma once

// Decodes a recording: every transport packet, then every CMP packet and
// every DLP request and response with its fields, as readable text. With
// `check`, every decoded packet, message, request and response is encoded
// again and must give the bytes it was decoded from.

#include "palmlink/Trace.h"

#include <string>
#include <vector>

namespace palmlink {

struct TraceReport {
    std::string text;
    std::string fault; // empty when everything decoded (and, with check, re-encoded identically)
    std::size_t packets = 0;
    std::size_t messages = 0;
    std::size_t retransmissions = 0;
    bool ok() const { return fault.empty(); }
};

// Never raises for bad input: a fault ends the decoding and is reported.
TraceReport decodeTrace(const Trace &trace, TraceKind kind, bool check);

} // namespace palmlink
