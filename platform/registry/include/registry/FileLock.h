#pragma once

#include <filesystem>

namespace registry {

// An exclusive advisory lock (flock) on a lock file, held for the lifetime
// of the object. Processes that read, modify and write a store take it
// around the whole sequence, so concurrent writers never lose updates.
// The lock file and its folder are created when missing.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path &lockFile);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int fd_ = -1;
};

} // namespace registry
