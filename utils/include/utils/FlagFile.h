#pragma once

#include "utils/FileAccess.h"

#include <optional>
#include <string>
#include <vector>

// The "INUSE.FLG" protocol. A process that runs a critical process holds the
// flag file open with an exclusive advisory lock (flock) for as long as the
// process runs; other processes may read it. A flag file that nobody holds
// is stale and may be deleted. Deleting takes the lock first, so a file that
// is held is never removed, even though this platform would allow it.
namespace gvutils {

inline constexpr const char *FlagFileName = "INUSE.FLG";

// data folder + "INUSE.FLG". The data folder is the first command-line
// parameter when there is one, else the program's folder + "Data/"; a
// folder without any "/" is replaced by the program's folder.
std::string flagFilePath(const std::optional<std::string> &firstParameter, const std::string &programDirectory);

// Opens (creating when missing) and locks the flag file; reading stays open
// to others. INVALID_HANDLE_VALUE when it cannot be opened or another
// process holds it.
THandle createFlagFile(const std::string &fileName);

// Deletes a flag file that nobody holds. True when the file did not exist or
// was deleted; false when it is held or cannot be deleted.
bool deleteFlagFile(const std::string &fileName);

// Rewrites the content behind a held handle from the start (every line ended
// by CR LF) and cuts the file after the last line, keeping the lock
// throughout. False, without writing, when the handle cannot hold the lock
// or no longer refers to the file at `fileName`.
bool rewriteFlagFile(THandle handle, const std::string &fileName, const std::vector<std::string> &lines);

} // namespace gvutils
