#include "hotsync/SyncLock.h"

#include <ctime>
#include <unistd.h>

namespace hotsync {

namespace fs = std::filesystem;

namespace {

std::string now()
{
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The lock of `what`, waiting at most until `deadline`; says once whom it
// waits for.
std::optional<fileio::FileLock> lockFor(const fs::path &file, const std::string &what,
                                        std::chrono::steady_clock::time_point deadline, std::string &holder,
                                        const std::function<void(const std::string &)> &onWait)
{
    if (auto lock = fileio::FileLock::tryFor(file, std::chrono::milliseconds(0), &holder))
        return lock;
    if (onWait)
        onWait("Waiting for the run that holds " + what + (holder.empty() ? "" : " (" + holder + ")") + " to end");
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return fileio::FileLock::tryFor(file, std::max(left, std::chrono::milliseconds(0)), &holder);
}

} // namespace

std::optional<SyncLock> SyncLock::take(const HostRoot &root, const User &user, const fs::path &handheld,
                                       std::chrono::milliseconds wait, const std::string &purpose,
                                       const std::function<void(const std::string &)> &onWait, std::string &holder)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    holder.clear();
    auto userLock = lockFor(root.userLockFile(user.id), "the user " + user.name, deadline, holder, onWait);
    if (!userLock)
        return std::nullopt;
    std::optional<fileio::FileLock> handheldLock;
    if (!handheld.empty()) {
        handheldLock = lockFor(handheld, "the handheld " + handheld.string(), deadline, holder, onWait);
        if (!handheldLock)
            return std::nullopt;
    }
    userLock->describe(purpose + " of " + user.name +
                       (handheld.empty() ? std::string(" with a handheld on the link") : " with " + handheld.string()) +
                       ", process " + std::to_string(::getpid()) + ", since " + now());
    return SyncLock(std::move(*userLock), std::move(*handheldLock));
}

} // namespace hotsync
