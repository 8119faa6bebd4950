#include "palmsync/AtomicFile.h"

#include "crashpoints/CrashPoint.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace palmsync {

namespace {

std::string errnoText(int err)
{
    return std::strerror(err);
}

[[noreturn]] void writeError(const std::filesystem::path &file, const std::string &what, int err)
{
    throw std::runtime_error("Cannot write " + file.string() + ": " + what + " (" + errnoText(err) + ")");
}

// Closes a descriptor and removes the temporary file unless released.
class TempFile {
public:
    TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TempFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    int fd() const { return fd_; }
    const std::string &path() const { return path_; }
    // Closes the descriptor; returns errno of a failed close, else 0.
    int close()
    {
        int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void keep() { path_.clear(); }

private:
    int fd_;
    std::string path_;
};

void syncFolder(const std::filesystem::path &folder, const std::filesystem::path &file)
{
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        writeError(file, "cannot open its folder to flush it", errno);
    int rc = ::fsync(dfd);
    int err = errno;
    ::close(dfd);
    // Some file systems cannot flush a folder; the rename has happened then.
    if (rc != 0 && err != EINVAL && err != EROFS)
        writeError(file, "cannot flush its folder", err);
}

} // namespace

void writeFileAtomically(const std::filesystem::path &file, std::span<const std::uint8_t> bytes)
{
    std::filesystem::path folder = file.parent_path();
    if (folder.empty())
        folder = ".";
    std::string pattern = (folder / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        writeError(file, "cannot create a temporary file", errno);
    TempFile temp(fd, pattern);

    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0)
        ::fchmod(temp.fd(), st.st_mode & 07777);
    else
        ::fchmod(temp.fd(), 0644);

    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(temp.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            writeError(file, "cannot write the temporary file", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(temp.fd()) != 0)
        writeError(file, "cannot flush the temporary file", errno);
    if (int err = temp.close())
        writeError(file, "cannot close the temporary file", err);
    crashpoints::crashPoint("handheld-before-rename");
    if (::rename(temp.path().c_str(), file.c_str()) != 0)
        writeError(file, "cannot replace the file", errno);
    temp.keep();
    syncFolder(folder, file);
    crashpoints::crashPoint("handheld-after-rename");
}

} // namespace palmsync
