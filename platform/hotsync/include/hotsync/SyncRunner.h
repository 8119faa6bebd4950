#pragma once

#include "hotsync/HostRoot.h"

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
};

struct SyncReport {
    std::vector<std::string> lines; // the HotSync log of this run
    bool success = true;            // no "ERROR" line and every conduit returned success
};

// One HotSync of one user: installs the user's queued files on the handheld,
// then runs every registered conduit in priority order, each inside its own
// HotSync session, and appends the log to the user's log file. Failures of
// one conduit become log lines; the next conduit still runs.
class SyncRunner {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit SyncRunner(HostRoot root, Clock clock = std::chrono::system_clock::now);

    // `onLine` sees each log line as it is made. Raises a HostError only
    // when the HotSync cannot start (unknown user, missing handheld folder).
    SyncReport run(const SyncOptions &options, const std::function<void(const std::string &)> &onLine = {});

private:
    HostRoot root_;
    Clock clock_;
};

} // namespace hotsync
