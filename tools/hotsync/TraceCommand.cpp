#include "TraceCommand.h"

#include "CommandLine.h"

#include "palmlink/TraceDecoder.h"

#include <ostream>

namespace hotsynctool {

int traceCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    bool check = false;
    std::vector<std::string> files;
    for (const std::string &a : args) {
        if (a == "--check")
            check = true;
        else if (a.starts_with("--"))
            throw UsageError("trace does not take " + a);
        else
            files.push_back(a);
    }
    if (files.size() != 1)
        throw UsageError("trace takes one FILE");
    const std::string &file = files.front();
    palmlink::Trace trace;
    try {
        trace = palmlink::readTrace(file);
    } catch (const palmlink::LinkError &e) {
        err << "hotsync: " << e.what() << "\n";
        return 1;
    }
    auto kind = palmlink::traceKindOf(file, trace);
    if (!kind) {
        err << "hotsync: " << file << ": cannot tell whether it was recorded over Net Sync or Serial Sync\n";
        return 1;
    }
    palmlink::TraceReport report = palmlink::decodeTrace(trace, *kind, check);
    out << report.text;
    out << file << ": " << (*kind == palmlink::TraceKind::NetSync ? "Net Sync" : "Serial Sync") << ", "
        << report.packets << " packets, " << report.messages << " messages, " << report.retransmissions
        << " retransmissions";
    if (!report.ok()) {
        out << ": FAILED\n";
        out.flush();
        err << "hotsync: " << file << ": " << report.fault << "\n";
        return 1;
    }
    out << (check ? ": decoded, every piece encodes back to the recorded bytes\n" : ": decoded\n");
    return 0;
}

} // namespace hotsynctool
