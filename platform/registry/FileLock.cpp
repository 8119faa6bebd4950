#include "registry/FileLock.h"

#include "registry/RegistryError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace registry {

FileLock::FileLock(const std::filesystem::path &lockFile)
{
    std::error_code ec;
    std::filesystem::create_directories(lockFile.parent_path(), ec);
    if (ec)
        throw RegistryError("Cannot create folder " + lockFile.parent_path().string() + ": " + ec.message());
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw RegistryError("Cannot open lock file " + lockFile.string() + ": " + std::strerror(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        int err = errno;
        ::close(fd_);
        throw RegistryError("Cannot lock " + lockFile.string() + ": " + std::strerror(err));
    }
}

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    ::close(fd_);
}

} // namespace registry
