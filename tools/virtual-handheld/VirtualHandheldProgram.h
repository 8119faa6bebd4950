#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace virtualhandheld {

// "virtual-handheld DIR --net HOST:PORT | --serial-net HOST:PORT | --tty PATH
// [--user NAME] [--timeout SECONDS]": connects to a HotSync host like a
// handheld and serves DIR for one HotSync. Returns 0 when the desktop
// ended the sync, 1 on a link failure, 2 on a usage error.
int runVirtualHandheld(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace virtualhandheld
