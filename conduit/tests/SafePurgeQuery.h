#pragma once

// Works around a fault of the handheld stand-in: its RemoveRecordSet for the
// records marked deleted empties the data of every record when none is
// marked deleted. While a session runs, installSafePurge() puts a database
// query in front of the stand-in's whose record adapters skip that call
// when there is nothing to purge. Remove once the stand-in is fixed. The
// query also notes the databases opened through it, in order.

#include <string>
#include <vector>

namespace conduittest {

// Call right after creating the palmsync::HotSyncSession; the session's end
// revokes the replacement with its own classes.
void installSafePurge();

// Names of the databases opened since the last installSafePurge().
std::vector<std::string> databasesOpened();

} // namespace conduittest
