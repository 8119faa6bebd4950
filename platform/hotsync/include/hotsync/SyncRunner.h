#pragma once

#include "handheld/HandheldLink.h"
#include "hotsync/HostRoot.h"
#include "palmsync/SyncSuite.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

struct SyncOptions {
    std::int32_t userId = 0;
    std::filesystem::path handheldFolder;
    // Sync type for every conduit of this HotSync; without it each conduit
    // gets the user's temporary action (used once), else the permanent one,
    // else synchronise.
    std::optional<std::int32_t> action;
    // How long to wait for another HotSync of the same user or handheld.
    std::chrono::milliseconds lockWait{10000};
    // A live handheld on the HotSync link instead of a folder; then
    // handheldFolder is not used.
    std::shared_ptr<handheld::HandheldLink> device;
    // Hears how far a conduit has got with a table (may be empty).
    std::function<void(const std::string &conduit, const std::string &table, const std::string &stage,
                       std::int32_t done, std::int32_t total)>
        onProgress;
};

// What a HotSync changed in one table of a conduit (its steps added up).
struct TableSummary {
    std::string conduit;
    std::string table;
    palmsync::SyncCounts counts;
};

struct SyncReport {
    std::vector<std::string> lines; // the HotSync log of this run
    bool success = true;            // no "ERROR" line and every conduit returned success
    bool busy = false;              // another HotSync held the user or the handheld; nothing was done
    std::vector<TableSummary> tables; // in the order the conduits first committed them
};

// One HotSync of one user. Only one HotSync at a time runs for a user and
// for a handheld folder: it holds a lock on each (released by the system
// when the process dies) for its whole length. Another HotSync waits for
// them at most `lockWait`, saying whom it waits for, then gives up having
// changed nothing (busy, not logged in the user's log).
//
// The HotSync first keeps a backup of the handheld databases
// and of every registered conduit's folder (see BackupStore; when it cannot
// be made, the HotSync stops there with an error line and changes nothing),
// then installs the user's queued files on the handheld, runs every
// registered conduit in priority order, each inside its own HotSync
// session, and appends the log to the user's log file. Failures of one
// conduit become log lines; the next conduit still runs.
//
// With a live handheld, the databases of the registered conduits' creators
// are read over the link into the user's folder "device" (see HostRoot),
// which the backup then keeps; the handheld's own log gets the conduits'
// lines and the outcome; the last sync PC id, and the sync date when the
// HotSync succeeded, are written to the handheld at the end.
class SyncRunner {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit SyncRunner(HostRoot root, Clock clock = std::chrono::system_clock::now);

    // `onLine` sees each log line as it is made. Raises a HostError only
    // when the HotSync cannot start (unknown user, missing handheld folder).
    SyncReport run(const SyncOptions &options, const std::function<void(const std::string &)> &onLine = {});

    // The id this host writes to a handheld as its last sync PC.
    static std::uint32_t hostId();

private:
    HostRoot root_;
    Clock clock_;
};

} // namespace hotsync
