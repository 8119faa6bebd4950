#pragma once

#include "hotsync/ConduitStore.h"
#include "hotsync/CreatorId.h"
#include "hotsync/FileCopy.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

// One file kept in a backup: its path relative to the folder it was copied
// from ("/"-separated) and its size in the backup.
struct BackupFile {
    std::string path;
    std::uintmax_t size = 0;
    friend bool operator==(const BackupFile &, const BackupFile &) = default;
};

// The copy of one conduit's folder: the conduit's creator, its folder name
// inside the user's folder, and the files found there.
struct BackupConduit {
    CreatorId creator = CreatorId::fromText("    ");
    std::string directory;
    std::vector<BackupFile> files;
};

// What became of the HotSync a backup was taken before.
enum class BackupOutcome {
    Unknown,   // still running, or ended before it could say (killed)
    Completed, // the HotSync completed without an error
    Failed,    // it ended with errors
};

// One complete backup of a user's handheld databases and conduit folders.
struct Backup {
    std::int32_t number = 0;
    std::chrono::system_clock::time_point created;
    std::string reason; // what it was taken before, e.g. "HotSync"
    std::filesystem::path folder;
    std::filesystem::path handheldFolder; // where the handheld files came from (empty in old backups)
    BackupOutcome outcome = BackupOutcome::Unknown;
    // *.pdb and *.prc files of the handheld folder, and staged changes of
    // a HotSync that was interrupted (settled by the next HotSync)
    std::vector<BackupFile> handheld;
    std::vector<BackupConduit> conduits;
};

// What a backup covers.
struct BackupScope {
    std::filesystem::path handheldFolder;
    std::filesystem::path userDirectory;
    // Creator and folder name of each conduit whose folder is copied.
    std::vector<std::pair<CreatorId, std::string>> conduits;

    static BackupScope of(const User &user, const std::filesystem::path &handheldFolder,
                          const std::vector<ConduitRegistration> &conduits);
};

struct RestoreReport {
    Backup restored;
    Backup before;                                // the state just before the restore
    std::vector<std::filesystem::path> removedFiles; // files that were not in the backup (kept in `before`)
    std::vector<std::int32_t> removed;            // old backups removed afterwards
    std::vector<std::string> warnings;            // old backups that could not be removed
};

// The numbered backups of one user, newest numbers highest:
//
//   <root>/userdata/<id>/backups/<n>-<YYYYMMDD-HHMMSS>/handheld/<file>
//   <root>/userdata/<id>/backups/<n>-<YYYYMMDD-HHMMSS>/conduits/<creator>/<path>
//   <root>/userdata/<id>/backups/<n>-<YYYYMMDD-HHMMSS>/manifest
//
// A backup is written into a hidden folder, every file flushed to disk, the
// manifest (which lists every file and its size) written last, and the
// folder then renamed to its number: a numbered folder with a readable
// manifest is complete, and a crash leaves at most a hidden folder that the
// next backup removes. Old backups are renamed to a hidden name before they
// are removed. Creating, pruning and restoring hold the user's lock file
// "<backups>/.lock", so two of them never interleave.
class BackupStore {
public:
    // The newest backups kept; the newest backup taken before a HotSync
    // that completed is kept as well, however old, so that failing
    // HotSyncs never push the last good state out.
    static constexpr std::size_t kept = 5;

    BackupStore(HostRoot root, std::int32_t userId, std::chrono::milliseconds lockWait = defaultLockWait);

    std::filesystem::path folder() const;

    // Takes a new backup; raises a HostError saying why when it cannot be
    // made complete (nothing but a hidden folder is left then).
    Backup create(const BackupScope &scope, std::chrono::system_clock::time_point when, const std::string &reason);
    // Notes what became of the HotSync the backup was taken before.
    void recordOutcome(std::int32_t number, BackupOutcome outcome);
    // Removes every backup but the newest `kept` and the newest one of a
    // completed HotSync; returns their numbers.
    std::vector<std::int32_t> prune();

    // The complete backups, oldest first.
    std::vector<Backup> list() const;
    // The backup of that number, or the newest; raises a HostError when
    // there is none.
    Backup find(std::optional<std::int32_t> number) const;

    // Puts a backup (default the newest) back: first takes a backup of the
    // current state covering the same folders and the conduits of `scope`,
    // then makes the *.pdb and *.prc files of the handheld folder and the
    // files of each conduit folder in the backup exactly the backed-up
    // ones: each file is replaced atomically, and files that did not exist
    // when the backup was taken are removed (they stay in the backup taken
    // first, and the report lists them). Other files of the handheld folder
    // are left alone, but for the temporary files an interrupted restore
    // left. A backup goes back into the handheld folder it was taken of;
    // into another only with `intoOtherFolder`. Raises a HostError when
    // the backup is damaged or meant for another folder (nothing changes
    // then) or a file cannot be put back (the message names the backup
    // that undoes it).
    RestoreReport restore(std::optional<std::int32_t> number, const BackupScope &scope,
                          std::chrono::system_clock::time_point when, bool intoOtherFolder = false);

private:
    Backup createLocked(const BackupScope &scope, std::chrono::system_clock::time_point when,
                        const std::string &reason);
    std::vector<std::int32_t> pruneLocked();
    void verify(const Backup &backup) const;
    void restoreLocked(const Backup &backup, const BackupScope &scope, std::vector<std::filesystem::path> &removed) const;

    HostRoot root_;
    std::int32_t userId_;
    std::chrono::milliseconds lockWait_;
};

} // namespace hotsync
