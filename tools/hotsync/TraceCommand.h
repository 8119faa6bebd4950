#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// "hotsync trace FILE [--check]": decodes a recorded HotSync session and
// prints every packet, request and response; with --check every decoded
// piece must also encode back to the recorded bytes. Returns 0 when the
// whole recording decoded (and checked), 1 otherwise; raises UsageError
// for a bad command line.
int traceCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace hotsynctool
