#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "fileio/Descriptor.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace fileio {

// An exclusive advisory lock (flock) on a lock file, held for the lifetime
// of the object and released by the system when the process dies. Processes
// that read, modify and write a store take it around the whole sequence,
// so concurrent writers never lose updates. The lock file and its folder
// are created when missing. A folder can be locked itself (where no lock
// file can be created in it); its lock then carries no description.
class FileLock {
public:
    // Waits as long as it takes.
    explicit FileLock(const std::filesystem::path &lockFile);

    // Waits at most `wait`; nothing when the lock stayed taken. `holder`
    // (when given) then receives what the holder wrote with describe().
    static std::optional<FileLock> tryFor(const std::filesystem::path &lockFile, std::chrono::milliseconds wait,
                                          std::string *holder = nullptr);

    FileLock(FileLock &&) noexcept = default;
    FileLock &operator=(FileLock &&) noexcept = default;

    // Writes a line saying who holds the lock into the lock file, for those
    // who wait for it.
    void describe(const std::string &text);

    const std::filesystem::path &file() const { return file_; }

private:
    FileLock(std::filesystem::path file, Descriptor fd) : file_(std::move(file)), fd_(std::move(fd)) {}
    static Descriptor openLockFile(const std::filesystem::path &lockFile);

    std::filesystem::path file_;
    Descriptor fd_;
};

} // namespace fileio

#pragma GCC visibility pop
