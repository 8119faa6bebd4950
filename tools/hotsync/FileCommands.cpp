// hotsync dump | trace: files looked at apart from any HotSync root

#include "CommandTable.h"
#include "DatabaseDump.h"
#include "TraceCommand.h"

namespace hotsynctool {

std::vector<CommandEntry> fileCommands()
{
    return {
        {"dump",
         "Print a Palm database file",
         "dump FILE",
         "Prints a Palm database file (*.pdb, *.prc): its header values, then one line per record (unique id, "
         "attribute bits, category, size, bytes in hex) or per resource (type, id, size, bytes).",
         {},
         {1, 1, "one FILE"},
         "hotsync dump ~/palm/pat/MainDB-KLXC.pdb",
         RootUse::None,
         [](Invocation &inv) {
             dumpDatabase(inv.args.words[0], inv.out);
             return exitSuccess;
         }},
        {"trace",
         "Decode a recorded HotSync session",
         "trace FILE [--check]",
         "Decodes a HotSync session recorded over Net Sync or Serial Sync (a *.net.json or *.serial*.json file) "
         "and prints every packet, request and response. With --check every decoded piece must also encode back "
         "to the recorded bytes. Exit status 1 when the recording does not decode (or check).",
         {{"check", nullptr, "check that every decoded piece encodes back to the recorded bytes"}},
         {1, 1, "one FILE"},
         "hotsync trace session.net.json --check",
         RootUse::None,
         [](Invocation &inv) { return traceRecording(inv.args.words[0], inv.args.flag("check"), inv.out, inv.err); }},
    };
}

} // namespace hotsynctool
