#include "TraceCommand.h"

#include "palmlink/TraceDecoder.h"

#include <ostream>

namespace hotsynctool {

int traceRecording(const std::filesystem::path &path, bool check, std::ostream &out, std::ostream &err)
{
    const std::string file = path.string();
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
