#pragma once

#include "registry/Registry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace hotsync {

// The folder that holds all of the HotSync host's state:
//
//   <root>/registry/HKEY_*.reg          registry hives (with their .lock files)
//   <root>/users.list                   HotSync users and the next user id
//   <root>/conduits.list                conduit registrations by creator
//   <root>/userdata/<id>/actions        the user's conduit actions
//   <root>/userdata/<id>/install-queue  files queued for the user's handheld
//   <root>/userdata/<id>/HotSync.log    the user's HotSync log
//   <root>/userdata/<id>/hotsync.lock   held by the user's running HotSync or restore
//   <root>/users/<id>-<name>/           default data folder of a user
//   <root>/host.lock                    lock taken around every store update
//
// Store files use the escaped field format of registry/FieldCodec.h.
class HostRoot {
public:
    explicit HostRoot(std::filesystem::path root);
    // The root given explicitly, else the one registry::resolveHostRoot finds.
    static HostRoot resolve(const std::optional<std::filesystem::path> &explicitRoot = std::nullopt);

    const std::filesystem::path &path() const { return root_; }
    // The root's registry; classes it lacks are looked up in the machine's.
    registry::Registry registry() const;

    std::filesystem::path lockFile() const { return root_ / "host.lock"; }
    std::filesystem::path usersFile() const { return root_ / "users.list"; }
    std::filesystem::path conduitsFile() const { return root_ / "conduits.list"; }
    std::filesystem::path userDataFolder(std::int32_t userId) const;
    std::filesystem::path actionsFile(std::int32_t userId) const { return userDataFolder(userId) / "actions"; }
    std::filesystem::path installQueueFile(std::int32_t userId) const
    {
        return userDataFolder(userId) / "install-queue";
    }
    std::filesystem::path logFile(std::int32_t userId) const { return userDataFolder(userId) / "HotSync.log"; }
    std::filesystem::path userLockFile(std::int32_t userId) const { return userDataFolder(userId) / "hotsync.lock"; }
    // <root>/users/<id>-<name>, with characters that cannot stand in a file
    // name ("/", control characters, a leading ".") replaced by "_".
    std::filesystem::path defaultUserDirectory(std::int32_t userId, const std::string &name) const;

private:
    std::filesystem::path root_;
};

} // namespace hotsync
