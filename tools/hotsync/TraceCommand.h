#pragma once

#include <filesystem>
#include <iosfwd>

namespace hotsynctool {

// "hotsync trace FILE [--check]": decodes a recorded HotSync session and
// prints every packet, request and response; with `check` every decoded
// piece must also encode back to the recorded bytes. Returns 0 when the
// whole recording decoded (and checked), 1 otherwise.
int traceRecording(const std::filesystem::path &file, bool check, std::ostream &out, std::ostream &err);

} // namespace hotsynctool
