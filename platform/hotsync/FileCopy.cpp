#include "hotsync/FileCopy.h"

#include "hotsync/HostError.h"
#include "fileio/Descriptor.h"
#include "fileio/DurableFile.h"
#include "fileio/SystemCalls.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace hotsync {

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char *, 3> companionSuffixes{"-journal", "-wal", "-shm"};

[[noreturn]] void systemFailure(const std::string &what, int err)
{
    throw HostError(what + ": " + std::strerror(err));
}

using fileio::Descriptor;

// Removes a file on the way out unless it was kept.
class FileGuard {
public:
    explicit FileGuard(fs::path file) : file_(std::move(file)) {}
    ~FileGuard()
    {
        if (!file_.empty()) {
            std::error_code ec;
            fs::remove(file_, ec);
        }
    }
    FileGuard(const FileGuard &) = delete;
    FileGuard &operator=(const FileGuard &) = delete;
    void keep() { file_.clear(); }

private:
    fs::path file_;
};

void copyBytes(const fs::path &from, int out, const fs::path &to)
{
    Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        systemFailure("Cannot read " + from.string(), errno);
    struct stat st {};
    if (::fstat(in.get(), &st) == 0)
        ::fchmod(out, st.st_mode & 07777);
    std::array<char, 65536> buffer;
    for (;;) {
        ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            systemFailure("Cannot read " + from.string(), errno);
        if (n == 0)
            break;
        const char *p = buffer.data();
        auto left = static_cast<std::size_t>(n);
        while (left > 0) {
            ssize_t w = fileio::systemCalls().write(out, p, left);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                systemFailure("Cannot write " + to.string(), errno);
            p += w;
            left -= static_cast<std::size_t>(w);
        }
    }
}

void flushAndClose(Descriptor &fd, const fs::path &file)
{
    if (fileio::systemCalls().fsync(fd.get()) != 0)
        systemFailure("Cannot flush " + file.string() + " to disk", errno);
    if (int err = fd.close())
        systemFailure("Cannot write " + file.string(), err);
}

void flushFile(const fs::path &file)
{
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        systemFailure("Cannot open " + file.string(), errno);
    flushAndClose(fd, file);
}

// Copies byte for byte into the new file `to`, flushed to disk.
void copyFileContent(const fs::path &from, const fs::path &to)
{
    Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        systemFailure("Cannot create " + to.string(), errno);
    FileGuard guard(to);
    copyBytes(from, out.get(), to);
    flushAndClose(out, to);
    guard.keep();
}

class Connection {
public:
    Connection(const fs::path &file, int flags) { rc_ = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr); }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool ok() const { return rc_ == SQLITE_OK; }
    sqlite3 *get() const { return db_; }
    std::string message() const { return db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc_); }

private:
    sqlite3 *db_ = nullptr;
    int rc_ = SQLITE_OK;
};

enum class BackupOutcome { Done, NotADatabase };

std::string lockedText(int rc, const fs::path &file, std::chrono::milliseconds lockWait)
{
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return file.string() + " stayed locked by another program for " + std::to_string(lockWait.count()) + " ms";
    return file.string() + ": " + sqlite3_errstr(rc);
}

// Copies every page of `from` into `to` in one step, under one lock of each.
BackupOutcome sqliteBackup(Connection &from, const fs::path &fromFile, Connection &to, const fs::path &toFile,
                           std::chrono::milliseconds lockWait, const std::string &what)
{
    auto ms = static_cast<int>(lockWait.count());
    sqlite3_busy_timeout(from.get(), ms);
    sqlite3_busy_timeout(to.get(), ms);
    sqlite3_backup *backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
    if (!backup)
        throw HostError(what + ": " + to.message());
    int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return BackupOutcome::Done;
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
        return BackupOutcome::NotADatabase;
    const fs::path &locked = (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ? fromFile : toFile;
    throw HostError(what + ": " + lockedText(rc, locked, lockWait));
}

bool copySqlite(const fs::path &from, const fs::path &to, std::chrono::milliseconds lockWait)
{
    std::string what = "Cannot copy " + from.string();
    FileGuard guard(to);
    {
        // Read-write where the file allows it, so that a journal left by a
        // program that crashed mid-commit is rolled back first, as any reader
        // of the database would do.
        Connection source(from, SQLITE_OPEN_READWRITE);
        if (!source.ok())
            throw HostError(what + ": " + source.message());
        Connection target(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!target.ok())
            throw HostError("Cannot create " + to.string() + ": " + target.message());
        if (sqliteBackup(source, from, target, to, lockWait, what) == BackupOutcome::NotADatabase)
            return false;
    }
    flushFile(to);
    guard.keep();
    return true;
}

void removeCompanions(const fs::path &file)
{
    for (const char *suffix : companionSuffixes) {
        std::error_code ec;
        fs::path companion = file;
        companion += suffix;
        fs::remove(companion, ec);
        if (ec)
            throw HostError("Cannot remove " + companion.string() + ": " + ec.message());
    }
}

// Writes a copy of `source` beside `target`, flushes it and renames it over.
void replaceByRename(const fs::path &source, const fs::path &target)
{
    fs::path folder = target.parent_path();
    const std::string pattern = fileio::temporaryNameBeside(target, "restore").string();
    Descriptor out(::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        systemFailure("Cannot create a temporary file beside " + target.string(), errno);
    FileGuard guard(pattern);
    copyBytes(source, out.get(), pattern);
    flushAndClose(out, pattern);
    if (isSqliteDatabase(source) || isSqliteDatabase(target))
        removeCompanions(target);
    if (fileio::systemCalls().rename(pattern.c_str(), target.c_str()) != 0)
        systemFailure("Cannot replace " + target.string(), errno);
    guard.keep();
    fileio::syncFolder(folder);
}

} // namespace

bool isSqliteDatabase(const fs::path &file)
{
    static constexpr char header[] = "SQLite format 3"; // with its terminating NUL: 16 bytes
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    char start[sizeof header] = {};
    ssize_t n = ::read(fd.get(), start, sizeof start);
    return n == static_cast<ssize_t>(sizeof header) && std::memcmp(start, header, sizeof header) == 0;
}

bool isSqliteCompanion(const fs::path &file)
{
    std::string name = file.filename().string();
    for (std::string suffix : companionSuffixes) {
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return isSqliteDatabase(file.parent_path() / name.substr(0, name.size() - suffix.size()));
        }
    }
    // The super-journal of a commit that spanned several database files
    // ("X-mj" and hex digits): left by a process killed in such a commit,
    // it goes away when the first of them is opened again.
    const auto mark = name.rfind("-mj");
    if (mark != std::string::npos && mark > 0 && mark + 3 < name.size() &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(mark) + 3, name.end(),
                    [](unsigned char c) { return std::isxdigit(c) != 0; }))
        return isSqliteDatabase(file.parent_path() / name.substr(0, mark));
    return false;
}

void copyDurably(const fs::path &from, const fs::path &to, std::chrono::milliseconds lockWait)
{
    if (isSqliteDatabase(from) && copySqlite(from, to, lockWait))
        return;
    copyFileContent(from, to);
}

void replaceDurably(const fs::path &source, const fs::path &target, std::chrono::milliseconds lockWait)
{
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec)
        throw HostError("Cannot create the folder " + target.parent_path().string() + ": " + ec.message());
    if (isSqliteDatabase(source) && isSqliteDatabase(target)) {
        std::string what = "Cannot restore " + target.string();
        Connection from(source, SQLITE_OPEN_READONLY);
        Connection to(target, SQLITE_OPEN_READWRITE);
        if (!from.ok())
            throw HostError("Cannot read " + source.string() + ": " + from.message());
        if (to.ok() && sqliteBackup(from, source, to, target, lockWait, what) == BackupOutcome::Done)
            return;
    }
    replaceByRename(source, target);
}

void removeWithCompanions(const fs::path &file)
{
    bool database = isSqliteDatabase(file);
    std::error_code ec;
    fs::remove(file, ec);
    if (ec)
        throw HostError("Cannot remove " + file.string() + ": " + ec.message());
    if (database)
        removeCompanions(file);
}

} // namespace hotsync
