#pragma once

// Notes which handheld databases a HotSync opens, in order: a database
// query put in front of the handheld stand-in's own.

#include <string>
#include <vector>

namespace conduittest {

// Call right after creating the palmsync::HotSyncSession; the session's end
// revokes the spy with its own classes.
void installDatabaseQuerySpy();

// Names of the databases opened since the last installDatabaseQuerySpy().
std::vector<std::string> databasesOpened();

} // namespace conduittest
