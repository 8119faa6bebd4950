#pragma once

#include "hotsync/HostRoot.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace hotsync {

// Files queued for installation on a user's handheld at its next HotSync,
// in the order they were queued. A file is queued once.
class InstallQueue {
public:
    explicit InstallQueue(HostRoot root);

    // Queues the file (made absolute); raises a HostError for an unknown
    // user or when the file does not exist.
    void enqueue(std::int32_t userId, const std::filesystem::path &file);
    std::vector<std::filesystem::path> list(std::int32_t userId) const;
    bool remove(std::int32_t userId, const std::filesystem::path &file);
    void clear(std::int32_t userId);

private:
    HostRoot root_;
};

} // namespace hotsync
