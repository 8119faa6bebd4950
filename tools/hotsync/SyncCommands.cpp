// hotsync sync | backups | restore

#include "CommandTable.h"
#include "SyncConsole.h"

#include "hotsync/BackupStore.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/SyncLock.h"
#include "hotsync/SyncRunner.h"

#include <ctime>
#include <ostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

int terminalWidth()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::string localTime(std::chrono::system_clock::time_point when)
{
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string contents(const Backup &b)
{
    std::string text = std::to_string(b.handheld.size()) + " handheld databases";
    for (const auto &c : b.conduits)
        text += ", " + c.creator.text() + " " + std::to_string(c.files.size()) + " files";
    return text;
}

int sync(Invocation &inv)
{
    const auto &args = inv.args;
    SyncOptions options;
    options.handheldFolder = args.required("handheld");
    if (auto a = args.value("action"))
        options.action = parseAction(*a);
    if (auto w = args.value("wait")) {
        std::int32_t seconds = parseInt(*w, "--wait");
        if (seconds < 0)
            throw UsageError("--wait must not be negative");
        options.lockWait = std::chrono::seconds(seconds);
    }
    options.userId = selectUser(inv.hostRoot(), args).id;

    const bool quiet = args.flag("quiet");
    SyncConsole console(inv.out, inv.err,
                        {inv.outIsTerminal && !quiet, inv.errIsSeparate, inv.outIsTerminal ? terminalWidth() : 80});
    options.onProgress = [&](const std::string &conduit, const std::string &table, const std::string &stage,
                             std::int32_t done,
                             std::int32_t total) { console.progress(conduit, table, stage, done, total); };
    SyncReport report = SyncRunner(inv.hostRoot()).run(options, [&](const std::string &line) { console.line(line); });
    console.clear();
    if (!quiet)
        SyncConsole::printSummary(inv.out, report.tables);
    inv.out.flush();
    if (report.busy)
        return exitBusy;
    return report.success ? exitSuccess : exitFailure;
}

int backups(Invocation &inv)
{
    User user = selectUser(inv.hostRoot(), inv.args);
    for (const auto &b : BackupStore(inv.hostRoot(), user.id).list()) {
        inv.out << b.number << "\t" << localTime(b.created) << "\tbefore " << b.reason;
        if (b.outcome != BackupOutcome::Unknown)
            inv.out << " (" << (b.outcome == BackupOutcome::Completed ? "completed" : "failed") << ")";
        inv.out << "\t" << contents(b);
        if (!b.handheldFolder.empty())
            inv.out << "\tfrom " << b.handheldFolder.string();
        inv.out << "\n";
    }
    return exitSuccess;
}

int restore(Invocation &inv)
{
    const HostRoot &root = inv.hostRoot();
    const auto &args = inv.args;
    auto handheldOption = args.value("handheld");
    auto toOption = args.value("to");
    if (handheldOption && toOption)
        throw UsageError("give --handheld or --to, not both");
    std::optional<std::int32_t> number;
    if (auto n = args.value("backup"))
        number = parseInt(*n, "--backup");
    User user = selectUser(root, args);
    BackupStore store(root, user.id);
    // The backup goes back where it came from, unless --to says where
    // else; --handheld names the same folder, as a check.
    fs::path handheld;
    if (toOption)
        handheld = *toOption;
    else if (handheldOption)
        handheld = *handheldOption;
    else if (auto from = store.find(number).handheldFolder; !from.empty())
        handheld = from;
    else
        throw UsageError("this backup does not say which handheld folder it came from: give --handheld DIR");
    if (!fs::is_directory(handheld))
        throw CommandFailure("The handheld folder " + handheld.string() + " does not exist");
    std::string holder;
    auto lock = SyncLock::take(
        root, user, handheld, std::chrono::seconds(10), "restore",
        [&](const std::string &line) { inv.out << line << "\n"; }, holder);
    if (!lock)
        throw BusyFailure("Another HotSync or restore is running" + (holder.empty() ? "" : " (" + holder + ")") +
                          "; nothing was restored");
    auto scope = BackupScope::of(user, handheld, ConduitStore(root).list());
    auto report = store.restore(number, scope, std::chrono::system_clock::now(), toOption.has_value());
    inv.out << "Backup " << report.before.number << " saved: the state before this restore\n"
            << "Restored backup " << report.restored.number << " of " << localTime(report.restored.created) << ": "
            << contents(report.restored) << "\n";
    for (const auto &file : report.removedFiles)
        inv.out << "Removed " << file.string() << ": it was not in backup " << report.restored.number << " (backup "
                << report.before.number << " keeps it)\n";
    for (const auto &warning : report.warnings)
        inv.out << "WARNING (Backup): " << warning << "\n";
    return exitSuccess;
}

} // namespace

std::vector<CommandEntry> syncCommands()
{
    auto syncOptions = userOptions();
    syncOptions.insert(
        syncOptions.end(),
        {{"handheld", "DIR", "the handheld: a folder of Palm databases (*.pdb, *.prc)"},
         {"action", "ACTION", "synchronize, handheld-overwrites, desktop-overwrites or nothing, for every conduit"},
         {"wait", "SECONDS", "how long to wait for another HotSync of the user or handheld (default 10)"},
         {"quiet", nullptr, "show neither progress nor the summary, only the log lines"}});
    auto restoreOptions = userOptions();
    restoreOptions.insert(restoreOptions.end(),
                          {{"backup", "N", "the backup to restore (default: the newest)"},
                           {"handheld", "DIR", "the handheld folder the backup was taken of, as a check"},
                           {"to", "DIR", "another handheld folder to restore into"}});

    return {
        {"sync",
         "HotSync a user's handheld",
         "sync (--user NAME | --user-id ID) --handheld DIR [--action ACTION] [--wait SECONDS] [--quiet]",
         "Runs one HotSync of the user with the handheld folder DIR: backs up the handheld databases and the "
         "conduit folders, installs the files queued for the user, then runs every registered conduit in the "
         "order of their priorities. Each conduit runs the user's action for it (see \"hotsync action set\"), "
         "unless --action gives one for all.\n\n"
         "The HotSync log lines are printed as they come and appended to the user's log "
         "(ROOT/userdata/ID/HotSync.log); error lines go to standard error as well. On a terminal a progress line "
         "shows the table being read or written, records done out of all and the rate. At the end a table shows "
         "what changed in each desktop table and on the handheld: records added, changed and deleted on each "
         "side, and references renumbered.\n\n"
         "Only one HotSync or restore at a time works on a user and on a handheld folder; another one waits "
         "--wait seconds, then gives up having changed nothing. Exit status 0 when the HotSync completed, 1 when "
         "it ended with errors, 75 when it gave up waiting.",
         syncOptions,
         {},
         "hotsync sync --user \"Pat Driver\" --handheld ~/palm/pat",
         RootUse::Existing,
         sync},
        {"backups",
         "List a user's backups",
         "backups (--user NAME | --user-id ID)",
         "Prints one line per backup of the user, oldest first: its number, when it was taken, what it was taken "
         "before and how that ended (completed or failed), what it holds, and the handheld folder it was taken "
         "of, separated by tabs. Every HotSync and every restore takes a backup first; the newest five are kept, "
         "and the newest of a completed HotSync as well.",
         userOptions(),
         {},
         "hotsync backups --user \"Pat Driver\"",
         RootUse::Existing,
         backups},
        {"restore",
         "Put a backup back",
         "restore (--user NAME | --user-id ID) [--backup N] [--handheld DIR | --to DIR]",
         "Puts the handheld databases and the conduit folders of a backup (default: the newest) back as they "
         "were, into the handheld folder the backup was taken of, or into another one named with --to. First a "
         "backup of the present state is taken, so that a restore can be undone by restoring that one. Files "
         "made after the backup are removed (that first backup keeps them) and listed.",
         restoreOptions,
         {},
         "hotsync restore --user \"Pat Driver\" --backup 3",
         RootUse::Existing,
         restore},
    };
}

} // namespace hotsynctool
