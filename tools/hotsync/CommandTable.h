#pragma once

#include "Command.h"

#include <string>
#include <vector>

namespace hotsynctool {

// The command groups, one file each. A new command is one entry in its
// group's list; a new group is one more line in commandTable().
std::vector<CommandSpec> userCommands();    // UserCommands.cpp
std::vector<CommandSpec> conduitCommands(); // ConduitCommands.cpp
std::vector<CommandSpec> installCommands(); // InstallCommands.cpp
std::vector<CommandSpec> syncCommands();    // SyncCommands.cpp
std::vector<CommandSpec> tableCommands();   // TableCommands.cpp
std::vector<CommandSpec> fileCommands();    // FileCommands.cpp

// Every command, in the order the help lists them.
const std::vector<CommandSpec> &commandTable();

// The command that the first words of `args` name ("sync", or "users"
// then "add"); nullptr when there is none. `used` receives how many words
// the name took.
const CommandSpec *findCommand(const std::vector<std::string> &args, std::size_t &used);
// The commands whose names begin with `group` and a blank ("users ...").
std::vector<const CommandSpec *> commandsOfGroup(const std::string &group);

} // namespace hotsynctool
