#pragma once

#include "fileio/FileLock.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace hotsync {

// What lets one HotSync (or one restore) at a time work on a user's data and
// on a handheld folder: a lock on each, held for the whole run and released
// by the system when the process dies. The user's lock file says who holds
// it; the handheld folder is locked itself, so that nothing is written into
// it and a read-only folder can be locked too. The user is always locked
// first, so that two runs never wait for each other.
class SyncLock {
public:
    // Takes both locks, waiting at most `wait` in all; `onWait` hears once
    // whom it waits for. An empty `handheld` takes the user's lock alone (a
    // live handheld is held by its connection). Nothing when another run kept either: `holder` then
    // says who, when that is known. `purpose` is what the holder is doing
    // ("HotSync", "restore").
    static std::optional<SyncLock> take(const HostRoot &root, const User &user, const std::filesystem::path &handheld,
                                        std::chrono::milliseconds wait, const std::string &purpose,
                                        const std::function<void(const std::string &)> &onWait, std::string &holder);

private:
    SyncLock(fileio::FileLock user, std::optional<fileio::FileLock> handheld)
        : user_(std::move(user)), handheld_(std::move(handheld))
    {
    }

    fileio::FileLock user_;
    std::optional<fileio::FileLock> handheld_;
};

} // namespace hotsync
