#include "CommandTable.h"

namespace hotsynctool {

const std::vector<CommandEntry> &commandTable()
{
    static const std::vector<CommandEntry> table = [] {
        std::vector<CommandEntry> all;
        for (auto group : {userCommands, conduitCommands, installCommands, syncCommands, listenCommands, tableCommands, fileCommands}) {
            auto commands = group();
            all.insert(all.end(), std::make_move_iterator(commands.begin()), std::make_move_iterator(commands.end()));
        }
        return all;
    }();
    return table;
}

const CommandEntry *findCommand(const std::vector<std::string> &args, std::size_t &used)
{
    used = 0;
    if (args.empty())
        return nullptr;
    for (const auto &c : commandTable()) {
        if (args.size() >= 2 && c.name == args[0] + " " + args[1]) {
            used = 2;
            return &c;
        }
    }
    for (const auto &c : commandTable()) {
        if (c.name == args[0]) {
            used = 1;
            return &c;
        }
    }
    return nullptr;
}

std::vector<const CommandEntry *> commandsOfGroup(const std::string &group)
{
    std::vector<const CommandEntry *> found;
    for (const auto &c : commandTable()) {
        if (c.name.rfind(group + " ", 0) == 0)
            found.push_back(&c);
    }
    return found;
}

} // namespace hotsynctool
