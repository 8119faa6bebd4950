#include "hotsync/SyncRunner.h"

#include "com/ComError.h"
#include "hotsync/ActionStore.h"
#include "hotsync/BackupStore.h"
#include "hotsync/ComConduit.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/HostError.h"
#include "hotsync/HotSyncLog.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/SyncLock.h"
#include "hotsync/UserStore.h"
#include "palmsync/FolderHandheld.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <algorithm>
#include <unistd.h>

namespace hotsync {

namespace fs = std::filesystem;

namespace {

class RunLog {
public:
    explicit RunLog(const std::function<void(const std::string &)> &onLine) : onLine_(onLine) {}

    void add(const std::string &line)
    {
        lines.push_back(line);
        if (line.rfind("ERROR", 0) == 0)
            failed = true;
        if (onLine_)
            onLine_(line);
    }
    void error(const std::string &who, const std::string &message) { add("ERROR (" + who + "): " + message); }

    std::vector<std::string> lines;
    bool failed = false;

private:
    const std::function<void(const std::string &)> &onLine_;
};

std::string conduitLabel(const ConduitRegistration &c)
{
    return c.title.empty() ? c.creator.text() : c.title;
}

void installQueuedFiles(const HostRoot &root, const User &user, handheld::HandheldLink &handheld, RunLog &log)
{
    InstallQueue queue(root);
    for (const auto &file : queue.list(user.id)) {
        try {
            std::string target = handheld.installDatabase(file);
            queue.remove(user.id, file);
            log.add("Installed " + file.filename().string() + " as " + target);
        } catch (const std::exception &e) {
            // The file stays queued, so that nothing queued is lost unnoticed.
            log.error("Install", e.what());
        }
    }
}

void addUp(std::vector<TableSummary> &tables, const std::string &conduit, const std::string &table,
           const palmsync::SyncCounts &c)
{
    auto it = std::find_if(tables.begin(), tables.end(),
                           [&](const TableSummary &t) { return t.conduit == conduit && t.table == table; });
    if (it == tables.end())
        it = tables.insert(tables.end(), TableSummary{conduit, table, {}});
    palmsync::SyncCounts &sum = it->counts;
    sum.handheldAdded += c.handheldAdded;
    sum.handheldChanged += c.handheldChanged;
    sum.handheldDeleted += c.handheldDeleted;
    sum.desktopAdded += c.desktopAdded;
    sum.desktopChanged += c.desktopChanged;
    sum.desktopDeleted += c.desktopDeleted;
    sum.renumbered += c.renumbered;
}

void runComConduit(const HostRoot &root, const User &user, const ConduitRegistration &conduit, std::int32_t syncType,
                   const fs::path &handheld, const std::shared_ptr<handheld::HandheldLink> &device,
                   const SyncOptions &options, std::vector<TableSummary> &tables, RunLog &log)
{
    const std::string label = conduitLabel(conduit);
    fs::path pathName;
    try {
        pathName = conduit.folderIn(user.directory);
    } catch (const HostError &e) {
        log.error(label, e.what());
        return;
    }
    std::error_code ec;
    fs::create_directories(pathName, ec);
    if (ec) {
        log.error(label, "Cannot create the conduit folder " + pathName.string() + ": " + ec.message());
        return;
    }

    std::unique_ptr<ComConduit> module;
    try {
        module = std::make_unique<ComConduit>(root.registry(), conduit);
    } catch (const std::exception &e) {
        log.error(label, e.what());
        return;
    }

    bool unloadable = true;
    try {
        palmsync::HotSyncSession session({user.name, pathName.string(), syncType, handheld}, device);
        palmsync::SessionObserver observer;
        if (options.onProgress)
            observer.onProgress = [&](const std::string &table, const std::string &stage, std::int32_t done,
                                      std::int32_t total) { options.onProgress(label, table, stage, done, total); };
        observer.onStepDone = [&](const std::string &table, const palmsync::SyncCounts &counts) {
            addUp(tables, label, table, counts);
        };
        session.observe(std::move(observer));
        std::int16_t result = 0;
        com::SetErrorInfo({});
        com::HRESULT hr = module->notify().BeginProcess(&result);
        std::string failure = com::FAILED(hr) ? failureText(hr) : std::string();
        // The sync object goes first, so that the databases it still holds
        // are written while the HotSync is running.
        unloadable = module->release();
        std::vector<std::string> lines = session.logLines();
        std::string endFailure;
        try {
            session.end();
        } catch (const std::exception &e) {
            endFailure = e.what();
        }
        for (const auto &line : lines)
            log.add(line);
        if (com::FAILED(hr))
            log.error(label, "BeginProcess failed: " + failure);
        if (!endFailure.empty())
            log.error(label, endFailure);
    } catch (const std::exception &e) {
        log.error(label, e.what());
    }
    if (!unloadable)
        log.add("WARNING (" + label + "): " + module->libraryPath() + " still has live objects and stays loaded");
}

// Copies the handheld databases and the conduit folders before anything
// changes them; without that copy the HotSync does not go on. Returns the
// backup's number.
std::optional<std::int32_t> backUp(const HostRoot &root, const User &user, const fs::path &handheld,
                                   const std::vector<ConduitRegistration> &conduits,
                                   std::chrono::system_clock::time_point when, RunLog &log)
{
    try {
        Backup backup = BackupStore(root, user.id).create(BackupScope::of(user, handheld, conduits), when, "HotSync");
        log.add("Backup " + std::to_string(backup.number) + " saved");
        return backup.number;
    } catch (const std::exception &e) {
        log.error("Backup", std::string("Cannot back up the handheld and the desktop data: ") + e.what());
        log.add("HotSync stopped before any change");
        return std::nullopt;
    }
}

// The databases of the registered conduits' creators, read from a live
// handheld into `folder` (which then holds nothing else of the kind).
void readDeviceDatabases(handheld::HandheldLink &device, const std::vector<ConduitRegistration> &conduits,
                         const fs::path &folder, RunLog &log)
{
    fs::create_directories(folder);
    for (const auto &entry : fs::directory_iterator(folder)) {
        const auto ext = entry.path().extension();
        if (entry.is_regular_file() && (ext == ".pdb" || ext == ".prc"))
            fs::remove(entry.path());
    }
    for (const auto &db : device.listDatabases()) {
        const bool registered = std::any_of(conduits.begin(), conduits.end(),
                                            [&](const ConduitRegistration &c) { return c.creator.text() == db.creator; });
        if (!registered)
            continue;
        try {
            palmsync::HandheldFolder::checkDatabaseName(db.name);
        } catch (const std::exception &) {
            log.add("WARNING (Backup): the database \"" + db.name + "\" has a name no file can have; not backed up");
            continue;
        }
        device.copyDatabase(db.name, folder / (db.name + (db.resource ? ".prc" : ".pdb")));
    }
}

// Notes the outcome with the backup, then lets old backups go: the last
// backup of a completed HotSync always stays.
void settleBackups(const HostRoot &root, const User &user, std::int32_t number, bool completed, RunLog &log)
{
    BackupStore backups(root, user.id);
    try {
        backups.recordOutcome(number, completed ? BackupOutcome::Completed : BackupOutcome::Failed);
        backups.prune();
    } catch (const std::exception &e) {
        log.add("WARNING (Backup): " + std::string(e.what()));
    }
}

} // namespace

SyncRunner::SyncRunner(HostRoot root, Clock clock) : root_(std::move(root)), clock_(std::move(clock)) {}

std::uint32_t SyncRunner::hostId()
{
    const auto id = static_cast<std::uint32_t>(::gethostid());
    return id != 0 ? id : 0x47564856; // "GVHV"
}

SyncReport SyncRunner::run(const SyncOptions &options, const std::function<void(const std::string &)> &onLine)
{
    User user = UserStore(root_).require(options.userId);
    const bool live = options.device != nullptr;
    // A live handheld's databases are copied here for the backup.
    const fs::path handheldFolder = live ? root_.userDataFolder(user.id) / "device" : options.handheldFolder;
    if (!live && !fs::is_directory(handheldFolder))
        throw HostError("The handheld folder " + handheldFolder.string() + " does not exist");
    std::shared_ptr<handheld::HandheldLink> handheld =
        live ? options.device : std::make_shared<palmsync::FolderHandheld>(handheldFolder);

    std::string holder;
    auto lock = SyncLock::take(root_, user, live ? fs::path() : handheldFolder, options.lockWait, "HotSync", onLine,
                               holder);
    if (!lock) {
        SyncReport busy;
        busy.success = false;
        busy.busy = true;
        busy.lines.push_back("ERROR (HotSync): Another HotSync is running" +
                             (holder.empty() ? std::string() : " (" + holder + ")") + "; this one gave up after waiting " +
                             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(options.lockWait).count()) +
                             " s and changed nothing");
        if (onLine)
            onLine(busy.lines.back());
        return busy;
    }

    RunLog log(onLine);
    std::vector<TableSummary> tables;
    log.add("HotSync started for " + user.name + (live ? " with " + handheld->describe() : std::string()));
    auto conduits = ConduitStore(root_).list();
    std::optional<std::int32_t> backup;
    if (live) {
        try {
            readDeviceDatabases(*handheld, conduits, handheldFolder, log);
        } catch (const std::exception &e) {
            log.error("Backup", std::string("Cannot read the handheld's databases: ") + e.what());
            log.add("HotSync stopped before any change");
        }
    }
    if (!log.failed)
        backup = backUp(root_, user, handheldFolder, conduits, clock_(), log);
    if (backup) {
        installQueuedFiles(root_, user, *handheld, log);

        ActionStore actions(root_);
        const std::size_t conduitLinesFrom = log.lines.size();
        for (const auto &conduit : conduits) {
            std::int32_t syncType = syncaction::synchronize;
            if (options.action)
                syncType = *options.action;
            else if (auto next = actions.takeNextAction(user.id, conduit.creator))
                syncType = *next;
            if (live) {
                try {
                    handheld->openConduit();
                } catch (const std::exception &e) {
                    log.error(conduitLabel(conduit), e.what());
                    continue;
                }
            }
            runComConduit(root_, user, conduit, syncType, handheldFolder, options.device, options, tables, log);
        }
        settleBackups(root_, user, *backup, !log.failed, log);
        log.add(log.failed ? "HotSync completed with errors" : "HotSync completed");
        if (live) {
            // The handheld shows the conduits' lines and the outcome in its
            // own HotSync log.
            std::string text;
            for (std::size_t i = conduitLinesFrom; i < log.lines.size(); ++i)
                text += (text.empty() ? "" : "\n") + log.lines[i];
            const bool synced = !log.failed;
            try {
                handheld->addLogEntry(text);
                handheld->writeSyncInfo(hostId(), std::chrono::system_clock::to_time_t(clock_()), synced);
            } catch (const std::exception &e) {
                log.error("HotSync", e.what());
            }
        }
    }

    SyncReport report;
    report.success = !log.failed;
    report.lines = std::move(log.lines);
    report.tables = std::move(tables);
    try {
        HotSyncLog(root_, user.id).append(report.lines, clock_());
    } catch (const std::exception &e) {
        report.lines.push_back("ERROR (HotSync): " + std::string(e.what()));
        report.success = false;
        if (onLine)
            onLine(report.lines.back());
    }
    return report;
}

} // namespace hotsync
