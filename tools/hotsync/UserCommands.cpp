// hotsync users add | list | remove | rename

#include "CommandTable.h"
#include "DesktopTables.h"

#include "fileio/FileLock.h"
#include "hotsync/BackupStore.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"

#include <ostream>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

// Holds the user's HotSync lock, so that no HotSync or restore of the user
// runs while its name or its registration changes.
fileio::FileLock lockUser(const HostRoot &root, const User &user, const std::string &nothingDone)
{
    std::string holder;
    auto lock = fileio::FileLock::tryFor(root.userLockFile(user.id), std::chrono::milliseconds(0), &holder);
    if (!lock)
        throw BusyFailure("A HotSync or restore of " + user.name + " is running" +
                          (holder.empty() ? "" : " (" + holder + ")") + "; " + nothingDone);
    return std::move(*lock);
}

int usersAdd(Invocation &inv)
{
    std::optional<fs::path> dir;
    if (auto d = inv.args.value("directory"))
        dir = *d;
    inv.out << UserStore(inv.hostRoot()).addUnique(inv.args.words[0], dir).id << "\n";
    return exitSuccess;
}

int usersList(Invocation &inv)
{
    for (const auto &u : UserStore(inv.hostRoot()).list())
        inv.out << u.id << "\t" << u.name << "\t" << u.directory.string() << "\n";
    return exitSuccess;
}

int usersRemove(Invocation &inv)
{
    const HostRoot &root = inv.hostRoot();
    const User user = selectUser(root, inv.args);
    auto lock = lockUser(root, user, "nothing was removed");
    const auto queued = InstallQueue(root).list(user.id);
    const bool hadActions = fs::exists(root.actionsFile(user.id));
    const auto backups = BackupStore(root, user.id).list();
    if (!UserStore(root).remove(user.id))
        throw CommandFailure("No HotSync user with id " + std::to_string(user.id));

    inv.out << "Removed the HotSync user " << user.name << " (id " << user.id << ")\n";
    if (!queued.empty()) {
        inv.out << "No longer queued for its handheld (the files themselves stay):\n";
        for (const auto &file : queued)
            inv.out << "  " << file.string() << "\n";
    }
    if (hadActions)
        inv.out << "Its conduit actions are forgotten\n";
    inv.out << "Kept: its data folder " << user.directory.string() << " (the conduits' desktop tables)\n";
    if (fs::exists(root.logFile(user.id)))
        inv.out << "Kept: its HotSync log " << root.logFile(user.id).string() << "\n";
    if (!backups.empty())
        inv.out << "Kept: its " << backups.size() << (backups.size() == 1 ? " backup in " : " backups in ")
                << BackupStore(root, user.id).folder().string() << "\n";
    inv.out << "Delete what is kept by hand when it is no longer needed; no later user gets id " << user.id << ".\n";
    return exitSuccess;
}

int usersRename(Invocation &inv)
{
    const HostRoot &root = inv.hostRoot();
    const User user = selectUser(root, inv.args);
    const std::string newName = inv.args.words[0];
    if (newName == user.name)
        throw CommandFailure("The HotSync user " + std::to_string(user.id) + " is named \"" + newName + "\" already");
    auto lock = lockUser(root, user, "nothing was renamed");

    // The Gearvane conduit finds a record's desktop row by user name and
    // record id: rows left under the old name would come back as new rows
    // at the next HotSync. The rows and the user change together.
    std::vector<std::pair<std::string, int>> rows;
    fs::path tables;
    auto rename = [&] { UserStore(root).rename(user.id, newName); };
    if (auto conduit = ConduitStore(root).find(CreatorId::fromText(gearvaneCreator))) {
        tables = conduit->folderIn(user.directory);
        rows = renameUserRows(tables, user.name, newName, rename);
    } else {
        rename();
    }

    inv.out << "Renamed the HotSync user " << user.id << " from " << user.name << " to " << newName << "\n";
    if (!rows.empty()) {
        inv.out << "Desktop rows given the new name in " << tables.string() << ":";
        for (std::size_t i = 0; i < rows.size(); ++i)
            inv.out << (i ? ", " : " ") << rows[i].first << " " << rows[i].second;
        inv.out << "\n";
    }
    inv.out << "Its data folder stays " << user.directory.string()
            << "; its log, backups, conduit actions and install queue stay its own\n";
    return exitSuccess;
}

} // namespace

std::vector<CommandEntry> userCommands()
{
    return {
        {"users add",
         "Add a HotSync user",
         "users add NAME [--directory DIR]",
         "Adds a HotSync user and creates its data folder, in which each conduit keeps its own folder (the "
         "Gearvane conduit its desktop tables). Prints the new user's id. A name that another user has already is "
         "refused. Creates the HotSync root when it does not exist yet.",
         {{"directory", "DIR", "the user's data folder (default: ROOT/users/ID-NAME)"}},
         {1, 1, "one NAME"},
         "hotsync users add \"Pat Driver\"",
         RootUse::Creates,
         usersAdd},
        {"users list",
         "List the HotSync users",
         "users list",
         "Prints one line per HotSync user: its id, its name and its data folder, separated by tabs.",
         {},
         {},
         "hotsync users list",
         RootUse::Existing,
         usersList},
        {"users remove",
         "Remove a HotSync user",
         "users remove (--user NAME | --user-id ID)",
         "Removes a HotSync user together with its install queue (the queued files themselves stay) and its "
         "conduit actions. Nothing else is deleted: the user's data folder with the conduits' desktop tables, its "
         "HotSync log and its backups stay where they are, and the command lists them. A user whose HotSync or "
         "restore is running is not removed (exit status 75). The id of a removed user is never given again.",
         userOptions(),
         {},
         "hotsync users remove --user \"Pat Driver\"",
         RootUse::Existing,
         usersRemove},
        {"users rename",
         "Give a HotSync user another name",
         "users rename (--user NAME | --user-id ID) NEWNAME",
         "Gives a HotSync user another name, refusing a name that another user has. The user keeps its id, its "
         "data folder (whose name does not change), its log, backups, conduit actions and install queue. The rows "
         "of the Gearvane desktop tables carry the user's name, by which the conduit finds them: they are given "
         "the new name in the same step, so that the next HotSync finds them. Backups taken before the rename "
         "hold the rows under the old name. A user whose HotSync or restore is running is not renamed (exit "
         "status 75).",
         userOptions(),
         {1, 1, "one NEWNAME"},
         "hotsync users rename --user \"Pat Driver\" \"Pat Rider\"",
         RootUse::Existing,
         usersRename},
    };
}

} // namespace hotsynctool
