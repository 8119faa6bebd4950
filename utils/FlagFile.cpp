#include "utils/FlagFile.h"

#include "utils/TextFormat.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gvutils {

namespace {

// A holder or deleter may swap the file between our open and our lock; a few
// rounds settle it, since each round that loses sees a change of hands.
constexpr int lockRounds = 20;

enum class Identity { Same, Different, Gone, Unknown };

Identity compareWithPath(int fd, const std::string &fileName)
{
    struct stat byHandle {};
    struct stat byName {};
    if (::fstat(fd, &byHandle) != 0)
        return Identity::Unknown;
    if (::stat(fileName.c_str(), &byName) != 0)
        return errno == ENOENT ? Identity::Gone : Identity::Unknown;
    return byHandle.st_dev == byName.st_dev && byHandle.st_ino == byName.st_ino ? Identity::Same : Identity::Different;
}

} // namespace

std::string flagFilePath(const std::optional<std::string> &firstParameter, const std::string &programDirectory)
{
    std::string folder = firstParameter ? *firstParameter : addPathSeparator(programDirectory) + "Data/";
    if (folder.find('/') == std::string::npos)
        folder = programDirectory;
    return addPathSeparator(folder) + FlagFileName;
}

THandle createFlagFile(const std::string &fileName)
{
    for (int round = 0; round < lockRounds; ++round) {
        const THandle handle = openFile(fileName, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_READ);
        if (handle == INVALID_HANDLE_VALUE)
            return INVALID_HANDLE_VALUE;
        // A stale file deleted between our open and our lock leaves us holding
        // a file without a name; open again so we hold the one others see.
        const Identity identity = compareWithPath(handle, fileName);
        if (identity == Identity::Same)
            return handle;
        closeFile(handle);
        if (identity == Identity::Unknown)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

bool deleteFlagFile(const std::string &fileName)
{
    for (int round = 0; round < lockRounds; ++round) {
        const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        const Identity identity = compareWithPath(fd, fileName);
        if (identity == Identity::Same) {
            const bool deleted = ::unlink(fileName.c_str()) == 0 || errno == ENOENT;
            ::close(fd);
            return deleted;
        }
        ::close(fd);
        if (identity == Identity::Gone)
            return true;
        if (identity == Identity::Unknown)
            return false;
    }
    return false;
}

bool rewriteFlagFile(THandle handle, const std::string &fileName, const std::vector<std::string> &lines)
{
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // Taking a lock the handle already holds succeeds without a gap.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0 || compareWithPath(handle, fileName) != Identity::Same)
        return false;
    if (::lseek(handle, 0, SEEK_SET) != 0)
        return false;
    for (const auto &line : lines)
        writeLine(handle, line);
    const off_t end = ::lseek(handle, 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(handle, end) == 0;
}

} // namespace gvutils
