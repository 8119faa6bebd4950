#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// What the program's standard output and error are.
struct Streams {
    bool outIsTerminal = false; // standard output is a terminal
    bool errIsSeparate = true;  // standard error is not the same file as standard output
};

// The hotsync program: parses one command line and runs its command from
// the command table. Returns the exit status (see Command.h). Nothing
// escapes as an exception; messages go to `err` prefixed "hotsync: ".
class HotSyncTool {
public:
    HotSyncTool(std::ostream &out, std::ostream &err, Streams streams = {});

    int run(std::vector<std::string> args);

private:
    std::ostream &out_;
    std::ostream &err_;
    Streams streams_;
};

} // namespace hotsynctool
