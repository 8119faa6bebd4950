#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// The hotsync program: parses one command line and runs its command.
// Returns the exit status: 0 success, 1 failure, 2 usage error. Nothing
// escapes as an exception; messages go to `err` prefixed "hotsync: ".
class HotSyncTool {
public:
    HotSyncTool(std::ostream &out, std::ostream &err);

    int run(std::vector<std::string> args);

private:
    std::ostream &out_;
    std::ostream &err_;
};

} // namespace hotsynctool
