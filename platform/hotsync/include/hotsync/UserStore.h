#pragma once

#include "hotsync/HostRoot.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

struct User {
    std::int32_t id = 0;
    std::string name;
    std::filesystem::path directory; // the user's data folder; conduit folders lie inside
};

// The HotSync users. Ids are counted up from 1 and never handed out again,
// not even after the user was removed; names may repeat.
class UserStore {
public:
    explicit UserStore(HostRoot root);

    // Adds a user and creates its data folder (by default below the root).
    // Raises a HostError for an empty name or when the ids are used up.
    User add(const std::string &name, const std::optional<std::filesystem::path> &directory = std::nullopt);
    // As add(), but raises a HostError when a user of that name exists.
    User addUnique(const std::string &name, const std::optional<std::filesystem::path> &directory = std::nullopt);
    // Users in the order they were added.
    std::vector<User> list() const;
    std::optional<User> find(std::int32_t id) const;
    std::vector<User> findByName(const std::string &name) const;
    // The one user of that name; raises a HostError when there is none or
    // several share it (the message lists their ids).
    User requireByName(const std::string &name) const;
    User require(std::int32_t id) const;
    // Gives the user another name; its id, data folder, log, backups,
    // actions and queue stay its own. Raises a HostError for an unknown
    // user, an empty name, or a name another user has.
    User rename(std::int32_t id, const std::string &name);
    // Forgets the user with its install queue and conduit actions. Its data
    // folder, log and backups stay (no later user gets its id).
    bool remove(std::int32_t id);

private:
    struct Content {
        std::int64_t nextId = 1;
        std::vector<User> users;
    };
    Content load() const;
    void save(const Content &content) const;
    User addLocked(Content &content, const std::string &name, const std::optional<std::filesystem::path> &directory);

    HostRoot root_;
};

} // namespace hotsync
