#include "HotSyncTool.h"

#include "ArgumentParser.h"
#include "CommandTable.h"
#include "HelpText.h"

#include "registry/HostRootPath.h"

#include <cstdlib>
#include <ostream>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

std::string joined(const std::vector<std::string> &words, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count && i < words.size(); ++i)
        text += (i ? " " : "") + words[i];
    return text;
}

// "hotsync help [COMMAND | --all | --man]"
int help(const std::vector<std::string> &words, const RootOrigin &root, std::ostream &out)
{
    if (words.empty()) {
        printOverview(out, root);
        return exitSuccess;
    }
    if (words.size() == 1 && words[0] == "--man") {
        printManPage(out);
        return exitSuccess;
    }
    if (words.size() == 1 && words[0] == "--all") {
        printAllHelp(out, root);
        return exitSuccess;
    }
    std::size_t used = 0;
    const CommandEntry *command = findCommand(words, used);
    if (command && used == words.size()) {
        printCommandHelp(out, *command);
        return exitSuccess;
    }
    if (words.size() == 1) {
        auto group = commandsOfGroup(words[0]);
        if (!group.empty()) {
            printGroupHelp(out, words[0], group);
            return exitSuccess;
        }
    }
    throw UsageError("no command \"" + joined(words, words.size()) + "\"");
}

// The usage error for words that name no command: an unknown command, or a
// group without one of its commands.
UsageError noSuchCommand(const std::vector<std::string> &words)
{
    auto group = commandsOfGroup(words[0]);
    if (group.empty())
        return UsageError("unknown command \"" + words[0] + "\"");
    std::string names;
    for (std::size_t i = 0; i < group.size(); ++i) {
        std::string name = group[i]->name.substr(words[0].size() + 1);
        names += (i == 0 ? "" : i + 1 == group.size() ? " or " : ", ") + name;
    }
    return UsageError(words[0] + " needs " + names);
}

// Finds the root a command works in, and checks that it is there when the
// command needs it.
std::optional<HostRoot> rootFor(const CommandEntry &command, const RootOrigin &origin)
{
    if (!origin.folder) {
        if (command.root == RootUse::None)
            return std::nullopt;
        throw CommandFailure("Cannot find the HotSync root folder: give --root, or set HOTSYNC_ROOT or HOME");
    }
    HostRoot root(*origin.folder);
    if (command.root == RootUse::Existing) {
        std::error_code ec;
        if (!fs::exists(root.path(), ec))
            throw CommandFailure("There is no HotSync root at " + root.path().string() + " (from " + origin.from +
                                 "): add a user to create it (hotsync users add NAME), or name another root with "
                                 "--root DIR or HOTSYNC_ROOT");
        if (!fs::is_directory(root.path(), ec))
            throw CommandFailure("The HotSync root " + root.path().string() + " (from " + origin.from +
                                 ") is not a folder");
    }
    return root;
}

} // namespace

HotSyncTool::HotSyncTool(std::ostream &out, std::ostream &err, Streams streams)
    : out_(out), err_(err), streams_(streams)
{
}

int HotSyncTool::run(std::vector<std::string> args)
{
    const CommandEntry *command = nullptr;
    std::string group;
    try {
        GlobalOptions global = parseGlobalOptions(args);
        if (global.version) {
            printVersion(out_);
            return exitSuccess;
        }
        if (global.root && global.root->empty())
            throw UsageError("option --root needs a folder");
        std::vector<std::string> &words = global.rest;
        if (global.help || (!words.empty() && words[0] == "help")) {
            if (!words.empty() && words[0] == "help")
                words.erase(words.begin());
            return help(words, findRoot(global.root ? std::optional<fs::path>(*global.root) : std::nullopt), out_);
        }
        if (words.empty())
            throw UsageError("no command given");

        std::size_t used = 0;
        command = findCommand(words, used);
        if (!command) {
            if (!commandsOfGroup(words[0]).empty())
                group = words[0];
            throw noSuchCommand(words);
        }
        const std::vector<std::string> commandArgs(words.begin() + static_cast<std::ptrdiff_t>(used), words.end());
        if (asksForHelp(commandArgs)) {
            printCommandHelp(out_, *command);
            return exitSuccess;
        }
        const Arguments arguments = parseArguments(*command, commandArgs);
        std::optional<std::string> rootOption = global.root;
        if (auto r = arguments.value("root")) {
            if (rootOption)
                throw UsageError("option --root given twice");
            if (r->empty())
                throw UsageError("option --root needs a folder");
            rootOption = r;
        }

        std::optional<HostRoot> root =
            rootFor(*command, findRoot(rootOption ? std::optional<fs::path>(*rootOption) : std::nullopt));
        // Libraries this program loads find the same root.
        if (root)
            ::setenv(registry::hostRootVariable, root->path().c_str(), 1);
        Invocation invocation{arguments, out_, err_, root, streams_.outIsTerminal, streams_.errIsSeparate};
        const int status = command->run(invocation);
        out_.flush();
        return status;
    } catch (const UsageError &e) {
        out_.flush();
        err_ << "hotsync: " << e.what() << "\n";
        printUsageHint(err_, command, group);
        return exitUsage;
    } catch (const BusyFailure &e) {
        out_.flush();
        err_ << "hotsync: " << e.what() << "\n";
        return exitBusy;
    } catch (const std::exception &e) {
        out_.flush();
        err_ << "hotsync: " << e.what() << "\n";
        return exitFailure;
    } catch (...) {
        err_ << "hotsync: unknown error\n";
        return exitFailure;
    }
}

} // namespace hotsynctool
