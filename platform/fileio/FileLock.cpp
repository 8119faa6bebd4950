#include "fileio/FileLock.h"

#include "fileio/FileError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace fileio {

namespace fs = std::filesystem;

Descriptor FileLock::openLockFile(const fs::path &lockFile)
{
    std::error_code ec;
    if (fs::is_directory(lockFile, ec)) {
        Descriptor folder(::open(lockFile.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid())
            throwSystemError("Cannot open the folder " + lockFile.string() + " to lock it", errno);
        return folder;
    }
    fs::create_directories(lockFile.parent_path(), ec);
    if (ec)
        throw FileError("Cannot create the folder " + lockFile.parent_path().string() + ": " + ec.message(),
                        ec.value());
    Descriptor fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd.valid())
        throwSystemError("Cannot open the lock file " + lockFile.string(), errno);
    return fd;
}

FileLock::FileLock(const fs::path &lockFile) : file_(lockFile), fd_(openLockFile(lockFile))
{
    while (::flock(fd_.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            throwSystemError("Cannot lock " + lockFile.string(), errno);
    }
}

std::optional<FileLock> FileLock::tryFor(const fs::path &lockFile, std::chrono::milliseconds wait,
                                         std::string *holder)
{
    Descriptor fd = openLockFile(lockFile);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            return FileLock(lockFile, std::move(fd));
        if (errno != EWOULDBLOCK && errno != EINTR)
            throwSystemError("Cannot lock " + lockFile.string(), errno);
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
    if (holder) {
        holder->clear();
        char buffer[512];
        const ssize_t n = ::pread(fd.get(), buffer, sizeof buffer, 0);
        if (n > 0)
            holder->assign(buffer, static_cast<std::size_t>(n));
        while (!holder->empty() && (holder->back() == '\n' || holder->back() == '\0'))
            holder->pop_back();
    }
    return std::nullopt;
}

void FileLock::describe(const std::string &text)
{
    // Only a courtesy for those who wait: a failure changes nothing.
    if (::ftruncate(fd_.get(), 0) == 0)
        (void)!::pwrite(fd_.get(), text.data(), text.size(), 0);
}

} // namespace fileio
