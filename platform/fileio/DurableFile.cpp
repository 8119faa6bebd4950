#include "fileio/DurableFile.h"

#include "fileio/CrashPoint.h"
#include "fileio/Descriptor.h"
#include "fileio/FileError.h"
#include "fileio/SystemCalls.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

namespace fs = std::filesystem;

void throwSystemError(const std::string &what, int err)
{
    throw FileError(what + ": " + std::strerror(err), err);
}

namespace {

void writeAll(int fd, std::span<const std::uint8_t> bytes, const fs::path &file)
{
    const SystemCalls &sys = systemCalls();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = sys.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("Cannot write " + file.string(), errno);
        }
        if (n == 0)
            throwSystemError("Cannot write " + file.string(), ENOSPC);
        done += static_cast<std::size_t>(n);
    }
}

fs::path folderOf(const fs::path &file)
{
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string randomSuffix()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine([] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
               static_cast<std::uint64_t>(::getpid()) ^
               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }());
    std::string text(8, 'x');
    for (char &c : text)
        c = alphabet[engine() % (sizeof alphabet - 1)];
    return text;
}

} // namespace

void writeNewFile(const fs::path &file, std::span<const std::uint8_t> bytes, const fs::path &modeFrom)
{
    // 0666 lets the umask decide, as for any file a program creates.
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        throwSystemError("Cannot create " + file.string(), errno);
    try {
        struct stat st {};
        if (!modeFrom.empty() && ::stat(modeFrom.c_str(), &st) == 0 && ::fchmod(fd.get(), st.st_mode & 07777) != 0)
            throwSystemError("Cannot set the permissions of " + file.string(), errno);
        writeAll(fd.get(), bytes, file);
        if (systemCalls().fsync(fd.get()) != 0)
            throwSystemError("Cannot flush " + file.string() + " to disk", errno);
        if (const int err = fd.close())
            throwSystemError("Cannot write " + file.string(), err);
    } catch (...) {
        ::unlink(file.c_str());
        throw;
    }
}

void syncFolder(const fs::path &folder)
{
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        throwSystemError("Cannot open the folder " + folder.string() + " to flush it", errno);
    if (systemCalls().fsyncFolder(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        throwSystemError("Cannot flush the folder " + folder.string() + " to disk", errno);
}

void syncFile(const fs::path &file)
{
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        throwSystemError("Cannot open " + file.string(), errno);
    if (systemCalls().fsync(fd.get()) != 0)
        throwSystemError("Cannot flush " + file.string() + " to disk", errno);
}

void renameDurably(const fs::path &from, const fs::path &to)
{
    if (systemCalls().rename(from.c_str(), to.c_str()) != 0)
        throwSystemError("Cannot rename " + from.string() + " to " + to.string(), errno);
    syncFolder(folderOf(to));
    if (folderOf(from) != folderOf(to))
        syncFolder(folderOf(from));
}

void removeDurably(const fs::path &file)
{
    if (::unlink(file.c_str()) != 0) {
        if (errno == ENOENT)
            return;
        throwSystemError("Cannot remove " + file.string(), errno);
    }
    syncFolder(folderOf(file));
}

fs::path temporaryNameBeside(const fs::path &file, const std::string &tag)
{
    return folderOf(file) / ("." + file.filename().string() + "." + tag + "-" + randomSuffix());
}

void writeFileAtomically(const fs::path &file, std::span<const std::uint8_t> bytes, bool createFolders)
{
    if (createFolders) {
        std::error_code ec;
        fs::create_directories(folderOf(file), ec);
        if (ec)
            throw FileError("Cannot create the folder " + folderOf(file).string() + ": " + ec.message(),
                            ec.value());
    }
    fs::path temp;
    for (int attempt = 0;; ++attempt) {
        temp = temporaryNameBeside(file, "tmp");
        try {
            writeNewFile(temp, bytes, file);
            break;
        } catch (const FileError &e) {
            if (e.code() != EEXIST || attempt >= 8)
                throw;
        }
    }
    try {
        crashPoint("file-before-rename");
        if (systemCalls().rename(temp.c_str(), file.c_str()) != 0)
            throwSystemError("Cannot replace " + file.string(), errno);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    syncFolder(folderOf(file));
    crashPoint("file-after-rename");
}

void writeFileAtomically(const fs::path &file, std::string_view text, bool createFolders)
{
    writeFileAtomically(
        file, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()),
        createFolders);
}

std::vector<std::uint8_t> readFile(const fs::path &file, std::uintmax_t maxBytes)
{
    // Non-blocking, so that a FIFO planted in place of a file cannot hang
    // the open; it is refused below.
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        throwSystemError("Cannot open " + file.string(), errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throwSystemError("Cannot read " + file.string(), errno);
    if (!S_ISREG(st.st_mode))
        throw FileError("Cannot read " + file.string() + ": it is not a regular file", EINVAL);
    auto tooLarge = [&] {
        return FileError("Cannot read " + file.string() + ": it is larger than " + std::to_string(maxBytes) +
                             " bytes",
                         EFBIG);
    };
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        throw tooLarge();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("Cannot read " + file.string(), errno);
        }
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            throw tooLarge();
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

std::string readTextFile(const fs::path &file, std::uintmax_t maxBytes)
{
    std::vector<std::uint8_t> bytes = readFile(file, maxBytes);
    return std::string(bytes.begin(), bytes.end());
}

std::optional<std::string> readTextFileIfExists(const fs::path &file, std::uintmax_t maxBytes)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec)) && ec.value() != 0 && ec != std::errc::no_such_file_or_directory)
        throw FileError("Cannot read " + file.string() + ": " + ec.message(), ec.value());
    try {
        return readTextFile(file, maxBytes);
    } catch (const FileError &e) {
        if (e.code() == ENOENT)
            return std::nullopt;
        throw;
    }
}

} // namespace fileio
