#pragma once

#include "hotsync/HostRoot.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// "hotsync listen": waits for handhelds to start a HotSync, over the
// network, an emulator's serial port on TCP, a serial line or USB, and runs
// the HotSync of each (as "hotsync sync" does with a folder). Returns the
// exit status; raises UsageError for a bad command line.
int listenCommand(const hotsync::HostRoot &root, std::vector<std::string> args, std::ostream &out);

} // namespace hotsynctool
