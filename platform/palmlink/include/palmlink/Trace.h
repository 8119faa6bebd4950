#pragma once

// Recordings of a HotSync's raw bytes, as the desktop saw them: a JSON
// array of {"type": "read" | "write", "data": HEX}, "read" for bytes from
// the handheld and "write" for bytes the desktop sent, in the order and
// pieces the operating system delivered them.

#include "palmlink/ByteIo.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace palmlink {

struct TraceEntry {
    enum class Direction { Read, Write };
    Direction direction = Direction::Read;
    Bytes data;
    friend bool operator==(const TraceEntry &, const TraceEntry &) = default;
};

using Trace = std::vector<TraceEntry>;

// The transport stack a recording was made on.
enum class TraceKind { NetSync, SerialSync };

// Raises DecodeError naming the fault when the text is not a recording.
Trace parseTrace(const std::string &json);
std::string formatTrace(const Trace &trace);
// Raises LinkError when the file cannot be read, DecodeError when it is no
// recording.
Trace readTrace(const std::filesystem::path &file);
void writeTrace(const std::filesystem::path &file, const Trace &trace);

// From the file name (".serial-net.json" or ".net.json"), else from the
// first bytes of the recording (an SLP signature or a Net Sync header).
std::optional<TraceKind> traceKindOf(const std::filesystem::path &file, const Trace &trace);

} // namespace palmlink
