#include "utils/FileAccess.h"

#include "utils/FlagFile.h"

#include "utils/TextFormat.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gvutils {

namespace {

int accessFlags(std::uint32_t access)
{
    const bool read = access & GENERIC_READ;
    const bool write = access & GENERIC_WRITE;
    if (read && write)
        return O_RDWR;
    return write ? O_WRONLY : O_RDONLY;
}

bool creationFlags(std::uint32_t creation, int &flags, bool &truncate)
{
    truncate = false;
    switch (creation) {
    case CREATE_NEW:
        flags = O_CREAT | O_EXCL;
        return true;
    case CREATE_ALWAYS:
        flags = O_CREAT;
        truncate = true;
        return true;
    case OPEN_EXISTING:
        flags = 0;
        return true;
    case OPEN_ALWAYS:
        flags = O_CREAT;
        return true;
    case TRUNCATE_EXISTING:
        flags = 0;
        truncate = true;
        return true;
    default:
        return false;
    }
}

int closeKeepingErrno(int fd)
{
    const int saved = errno;
    const int rc = ::close(fd);
    errno = saved;
    return rc;
}

} // namespace

THandle openFile(const std::string &fileName, std::uint32_t access, std::uint32_t creation, std::uint32_t shareMode)
{
    int createFlags = 0;
    bool truncate = false;
    if (fileName.empty() || !creationFlags(creation, createFlags, truncate))
        return INVALID_HANDLE_VALUE;
    const bool writes = access & GENERIC_WRITE;
    if (truncate && !writes)
        return INVALID_HANDLE_VALUE;

    // Truncation waits until the lock is ours, so that a file another
    // process holds is never emptied under it.
    const int fd = ::open(fileName.c_str(), accessFlags(access) | createFlags | O_CLOEXEC, 0666);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        closeKeepingErrno(fd);
        return INVALID_HANDLE_VALUE;
    }
    if (!(shareMode & FILE_SHARE_WRITE)) {
        const int lockMode = writes ? LOCK_EX : LOCK_SH;
        if (::flock(fd, lockMode | LOCK_NB) != 0) {
            closeKeepingErrno(fd);
            return INVALID_HANDLE_VALUE;
        }
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        closeKeepingErrno(fd);
        return INVALID_HANDLE_VALUE;
    }
    return fd;
}

bool closeFile(THandle handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    return ::close(handle) == 0;
}

std::uint32_t writeBuffer(THandle handle, const void *buffer, std::uint32_t count)
{
    if (handle == INVALID_HANDLE_VALUE || (buffer == nullptr && count > 0))
        return 0;
    ssize_t written;
    do {
        written = ::write(handle, buffer, count);
    } while (written < 0 && errno == EINTR);
    return written < 0 ? 0 : static_cast<std::uint32_t>(written);
}

void writeLine(THandle handle, const std::string &text)
{
    std::string line = text + "\r\n";
    if (line.size() > 255)
        line.resize(255);
    writeBuffer(handle, line.data(), static_cast<std::uint32_t>(line.size()));
}

void readLine(THandle handle, const std::string &terminator, std::string &line, bool &eof)
{
    line.clear();
    eof = false;
    const off_t start = handle == INVALID_HANDLE_VALUE ? -1 : ::lseek(handle, 0, SEEK_CUR);
    if (start < 0) {
        eof = true;
        return;
    }
    constexpr std::size_t blockSize = 199;
    char block[blockSize];
    std::string collected;
    for (;;) {
        ssize_t got;
        do {
            got = ::read(handle, block, blockSize);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            eof = true;
            line = std::move(collected);
            return;
        }
        // A terminator may straddle two blocks: search from just before the
        // end of what was collected until now.
        const std::size_t overlap = terminator.empty() ? 0 : terminator.size() - 1;
        const std::size_t from = collected.size() > overlap ? collected.size() - overlap : 0;
        collected.append(block, static_cast<std::size_t>(got));
        if (terminator.empty())
            continue;
        const auto at = collected.find(terminator, from);
        if (at != std::string::npos) {
            line = collected.substr(0, at);
            ::lseek(handle, start + static_cast<off_t>(at + terminator.size()), SEEK_SET);
            return;
        }
    }
}

bool appendLines(const std::string &fileName, const std::vector<std::string> &lines)
{
    const THandle handle = openFile(fileName, GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    ::lseek(handle, 0, SEEK_END);
    for (const auto &line : lines)
        writeLine(handle, line);
    closeFile(handle);
    return true;
}

std::vector<std::string> deleteFiles(const std::string &pattern)
{
    const auto slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash);
    if (folder.empty())
        folder = "/";
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (mask == "*.*")
        mask = "*";
    if (mask.empty())
        return {};

    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return {};
    std::vector<std::string> doomed;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || ::fnmatch(mask.c_str(), name.c_str(), 0) != 0)
            continue;
        const std::string path = addPathSeparator(folder) + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
            doomed.push_back(path);
    }
    ::closedir(dir);
    std::vector<std::string> left;
    for (const auto &path : doomed) {
        struct stat st {};
        const bool link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        // A regular file goes only when no other process holds its lock,
        // which is how a held flag file is told from a stale one.
        const bool deleted = link ? ::unlink(path.c_str()) == 0 || errno == ENOENT : deleteFlagFile(path);
        if (!deleted)
            left.push_back(path);
    }
    return left;
}

std::string tempDirectory()
{
    const char *tmp = std::getenv("TMPDIR");
    return addPathSeparator(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
}

std::string tempFileName(const std::string &directory)
{
    if (directory.empty())
        return {};
    std::string name = addPathSeparator(directory) + "~XXXXXX.tmp";
    const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

} // namespace gvutils
