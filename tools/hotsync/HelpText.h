#pragma once

#include "Command.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace hotsynctool {

// Where the HotSync root is and why: the folder and the setting it came
// from ("--root", "$HOTSYNC_ROOT", ...); no folder when none can be found.
struct RootOrigin {
    std::optional<std::filesystem::path> folder;
    std::string from;
};
RootOrigin findRoot(const std::optional<std::filesystem::path> &explicitRoot);

// "hotsync --help": what the program is, its commands, the root, exit statuses.
void printOverview(std::ostream &out, const RootOrigin &root);
// "hotsync help COMMAND", "hotsync COMMAND --help".
void printCommandHelp(std::ostream &out, const CommandEntry &command);
// "hotsync help users": the commands of a group.
void printGroupHelp(std::ostream &out, const std::string &group, const std::vector<const CommandEntry *> &commands);
// "hotsync help --all": the overview and the help of every command.
void printAllHelp(std::ostream &out, const RootOrigin &root);
// What follows a usage error: the command's synopsis (or its group's, or
// the program's) and where to read more.
void printUsageHint(std::ostream &out, const CommandEntry *command, const std::string &group = {});
void printVersion(std::ostream &out);
// "hotsync help --man": the manual page, in roff, written from the same
// texts as the help so that the two never disagree.
void printManPage(std::ostream &out);

} // namespace hotsynctool
