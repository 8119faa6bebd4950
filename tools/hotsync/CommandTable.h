#pragma once

#include "Command.h"

#include <string>
#include <vector>

namespace hotsynctool {

// The command groups, one file each. A new command is one entry in its
// group's list; a new group is one more line in commandTable().
std::vector<CommandEntry> userCommands();    // UserCommands.cpp
std::vector<CommandEntry> conduitCommands(); // ConduitCommands.cpp
std::vector<CommandEntry> installCommands(); // InstallCommands.cpp
std::vector<CommandEntry> syncCommands();    // SyncCommands.cpp
std::vector<CommandEntry> listenCommands();  // ListenCommand.cpp
std::vector<CommandEntry> tableCommands();   // TableCommands.cpp
std::vector<CommandEntry> fileCommands();    // FileCommands.cpp

// Every command, in the order the help lists them.
const std::vector<CommandEntry> &commandTable();

// The command that the first words of `args` name ("sync", or "users"
// then "add"); nullptr when there is none. `used` receives how many words
// the name took.
const CommandEntry *findCommand(const std::vector<std::string> &args, std::size_t &used);
// The commands whose names begin with `group` and a blank ("users ...").
std::vector<const CommandEntry *> commandsOfGroup(const std::string &group);

} // namespace hotsynctool
