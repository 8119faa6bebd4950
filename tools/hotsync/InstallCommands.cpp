// hotsync install | queue list | queue remove | queue clear

#include "CommandTable.h"

#include "hotsync/HostError.h"
#include "hotsync/InstallQueue.h"

#include <ostream>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

int install(Invocation &inv)
{
    User user = selectUser(inv.hostRoot(), inv.args);
    InstallQueue queue(inv.hostRoot());
    for (const auto &file : inv.args.words) {
        const fs::path absolute = fs::absolute(file).lexically_normal();
        std::error_code ec;
        if (!fs::is_regular_file(file, ec))
            throw HostError("Cannot queue " + absolute.string() + ": no such file");
        queue.enqueue(user.id, file);
        inv.out << "Queued " << absolute.string() << " for " << user.name << "\n";
    }
    return exitSuccess;
}

int queueList(Invocation &inv)
{
    User user = selectUser(inv.hostRoot(), inv.args);
    for (const auto &file : InstallQueue(inv.hostRoot()).list(user.id))
        inv.out << file.string() << "\n";
    return exitSuccess;
}

// The queued file that `given` names: its path, or (when no queued path is
// that) the one queued file of that file name.
std::optional<fs::path> queuedFile(const std::vector<fs::path> &queued, const std::string &given)
{
    const fs::path absolute = fs::absolute(given).lexically_normal();
    std::optional<fs::path> byName;
    int named = 0;
    for (const auto &file : queued) {
        if (file == absolute)
            return file;
        if (file.filename() == fs::path(given)) {
            byName = file;
            ++named;
        }
    }
    if (named > 1)
        throw CommandFailure("Several queued files are named " + given + ": give the whole path");
    return byName;
}

int queueRemove(Invocation &inv)
{
    User user = selectUser(inv.hostRoot(), inv.args);
    InstallQueue queue(inv.hostRoot());
    int status = exitSuccess;
    for (const auto &given : inv.args.words) {
        auto file = queuedFile(queue.list(user.id), given);
        if (file && queue.remove(user.id, *file)) {
            inv.out << "Removed " << file->string() << " from the install queue of " << user.name << "\n";
        } else {
            inv.err << "hotsync: " << given << " is not queued for " << user.name << "\n";
            status = exitFailure;
        }
    }
    return status;
}

int queueClear(Invocation &inv)
{
    User user = selectUser(inv.hostRoot(), inv.args);
    InstallQueue queue(inv.hostRoot());
    const auto before = queue.list(user.id);
    queue.clear(user.id);
    inv.out << "Removed " << before.size() << (before.size() == 1 ? " file" : " files") << " from the install queue of "
            << user.name << "\n";
    return exitSuccess;
}

} // namespace

std::vector<CommandEntry> installCommands()
{
    return {
        {"install",
         "Queue files for a user's handheld",
         "install (--user NAME | --user-id ID) FILE...",
         "Queues Palm databases and applications (*.pdb, *.prc) for installation on the user's handheld at its "
         "next HotSync. A file that cannot be installed then stays queued and the HotSync reports it; \"hotsync "
         "queue\" shows and edits the queue.",
         userOptions(),
         {1, -1, "at least one FILE"},
         "hotsync install --user \"Pat Driver\" Gearvane.prc",
         RootUse::Existing,
         install},
        {"queue list",
         "List the files queued for a user's handheld",
         "queue list (--user NAME | --user-id ID)",
         "Prints the files queued for installation on the user's handheld, one per line, in the order they will "
         "be installed.",
         userOptions(),
         {},
         "hotsync queue list --user \"Pat Driver\"",
         RootUse::Existing,
         queueList},
        {"queue remove",
         "Take files out of a user's install queue",
         "queue remove (--user NAME | --user-id ID) FILE...",
         "Takes files out of the user's install queue, for example one that every HotSync fails to install. A "
         "FILE is a queued path, or the name of one queued file. The files themselves stay. Exit status 1 when a "
         "FILE was not queued.",
         userOptions(),
         {1, -1, "at least one FILE"},
         "hotsync queue remove --user \"Pat Driver\" broken.pdb",
         RootUse::Existing,
         queueRemove},
        {"queue clear",
         "Empty a user's install queue",
         "queue clear (--user NAME | --user-id ID)",
         "Takes every file out of the user's install queue. The files themselves stay.",
         userOptions(),
         {},
         "hotsync queue clear --user \"Pat Driver\"",
         RootUse::Existing,
         queueClear},
    };
}

} // namespace hotsynctool
