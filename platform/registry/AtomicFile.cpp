#include "registry/AtomicFile.h"

#include "registry/RegistryError.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

namespace fs = std::filesystem;

namespace {

std::atomic<int> faultStep{-1};
std::atomic<bool> faultLeavesTemp{false};

bool faultAt(WriteStep step)
{
    return faultStep.load() == static_cast<int>(step);
}

std::string systemReason(int err)
{
    return std::strerror(err);
}

[[noreturn]] void raise(const std::string &what, const fs::path &file, int err)
{
    throw RegistryError("Cannot " + what + " " + file.string() + ": " + systemReason(err));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }
    int close()
    {
        int r = 0;
        if (fd_ >= 0)
            r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

void writeAll(int fd, const std::string &content, const fs::path &temp)
{
    const char *p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        if (faultAt(WriteStep::Write))
            raise("write", temp, ENOSPC);
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raise("write", temp, errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void syncFolder(const fs::path &folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

void injectWriteFault(std::optional<WriteStep> step, bool leaveTemp)
{
    faultLeavesTemp = leaveTemp;
    faultStep = step ? static_cast<int>(*step) : -1;
}

void writeFileAtomically(const fs::path &file, const std::string &content)
{
    fs::path folder = file.parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw RegistryError("Cannot create folder " + folder.string() + ": " + ec.message());

    std::string pattern = (folder / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
    if (faultAt(WriteStep::CreateTemp))
        raise("create a temporary file for", file, EACCES);
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        raise("create a temporary file for", file, errno);
    fs::path temp = pattern;
    try {
        ::fchmod(fd.get(), 0644);
        writeAll(fd.get(), content, temp);
        if (faultAt(WriteStep::Sync))
            raise("flush", temp, EIO);
        if (::fsync(fd.get()) != 0)
            raise("flush", temp, errno);
        if (fd.close() != 0)
            raise("close", temp, errno);
        if (faultAt(WriteStep::Rename))
            raise("replace", file, EXDEV);
        if (::rename(temp.c_str(), file.c_str()) != 0)
            raise("replace", file, errno);
    } catch (...) {
        if (!faultLeavesTemp)
            ::unlink(temp.c_str());
        throw;
    }
    syncFolder(folder);
}

std::optional<std::string> readFileIfExists(const fs::path &file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        raise("open", file, errno);
    }
    std::string content;
    char buffer[8192];
    while (true) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raise("read", file, errno);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

} // namespace registry
