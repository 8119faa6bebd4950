#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "handheld/HandheldLink.h"
#include "palmsync/SyncSuite.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace palmsync {

// What the host knows about one HotSync of one user.
struct SessionSettings {
    std::string userName;                 // GetUserName
    std::string pathName;                 // GetPathName, handed over exactly as given
    std::int32_t syncType = 0;            // GetSyncType
    std::filesystem::path handheldFolder; // the handheld: one Palm database file per database
};

// Hears what a conduit reports through IPDSyncProgress.
struct SessionObserver {
    std::function<void(const std::string &table, const std::string &stage, std::int32_t done, std::int32_t total)>
        onProgress;
    std::function<void(const std::string &table, const SyncCounts &counts)> onStepDone;
};

// The host side of one HotSync. While a session exists, the sync suite's
// classes (system adapter, database query, utility) are registered in the
// process's COM class table and act on this HotSync: databases are opened on
// the handheld (the folder, or the handheld given), log lines collect here.
// One session at a time per process. Changes made outside a transaction are
// written when the database's last record adapter is released, and at end()
// for those still referenced.
class HotSyncSession {
public:
    explicit HotSyncSession(SessionSettings settings);
    // A HotSync with a handheld of another kind (a device on the HotSync
    // link); settings.handheldFolder is not used then.
    HotSyncSession(SessionSettings settings, std::shared_ptr<handheld::HandheldLink> handheld);
    ~HotSyncSession(); // calls end() when it has not run
    HotSyncSession(const HotSyncSession &) = delete;
    HotSyncSession &operator=(const HotSyncSession &) = delete;

    const SessionSettings &settings() const;
    // What the conduit reports from now on goes to `observer`.
    void observe(SessionObserver observer);

    // Ends the HotSync: writes every database changed and not yet written,
    // and revokes the sync suite's classes. Raises when a file cannot be
    // written (after trying all of them).
    void end();

    // The HotSync log lines, in the order they were added.
    std::vector<std::string> logLines() const;
    void addLogLine(const std::string &line);

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace palmsync

#pragma GCC visibility pop
