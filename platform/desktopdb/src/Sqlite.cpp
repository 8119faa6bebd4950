#include "Sqlite.h"

#include "desktopdb/DesktopDbError.h"
#include "fileio/SystemCalls.h"

#include <mutex>
#include <unistd.h>
#include <utility>

namespace desktopdb::detail {

namespace {

ssize_t routedWrite(int fd, const void *data, size_t size)
{
    return fileio::systemCalls().write(fd, data, size);
}

ssize_t routedPwrite(int fd, const void *data, size_t size, off_t offset)
{
    return fileio::systemCalls().pwrite(fd, data, size, offset);
}

ssize_t routedPwrite64(int fd, const void *data, size_t size, off_t offset)
{
    return fileio::systemCalls().pwrite(fd, data, size, offset);
}

// SQLite's file layer lets a program replace the system calls it makes;
// its writes then pass the same table as the suite's own durable steps, so
// that a test can fail them as a full disk would.
void routeWritesThroughSystemCalls()
{
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs *vfs = sqlite3_vfs_find("unix");
        if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall)
            return;
        vfs->xSetSystemCall(vfs, "write", reinterpret_cast<sqlite3_syscall_ptr>(&routedWrite));
        vfs->xSetSystemCall(vfs, "pwrite", reinterpret_cast<sqlite3_syscall_ptr>(&routedPwrite));
        vfs->xSetSystemCall(vfs, "pwrite64", reinterpret_cast<sqlite3_syscall_ptr>(&routedPwrite64));
    });
}

} // namespace

void throwSqlite(sqlite3 *db, int rc, const std::string &context)
{
    const int primary = rc & 0xff;
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        message = "the file is locked by another program and the lock was not granted in time (" + message + ")";
    throw DesktopDbError(context.empty() ? message : context + ": " + message);
}

sqlite3 *openTableFile(const std::string &path, bool create, int busyTimeoutMs)
{
    routeWritesThroughSystemCalls();
    sqlite3 *db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw DesktopDbError("Cannot open table file '" + path + "': " + message);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // A whole table in memory: a sync visits every row, often twice, and
    // with the default cache the large tables were read from the file again
    // and again. The cache grows only as pages are read.
    sqlite3_exec(db, "PRAGMA cache_size = -65536; PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    return db;
}

void closeConnection(sqlite3 *db)
{
    // Every statement is finalized before; close_v2 also copes with strays.
    sqlite3_close_v2(db);
}

void execute(sqlite3 *db, const std::string &sql, const std::string &context)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        sqlite3_free(error);
        throwSqlite(db, rc, context);
    }
}

Statement::Statement(sqlite3 *db, const std::string &sql) : db_(db)
{
    const int rc =
        sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throwSqlite(db, rc, "");
    }
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement &&other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr))
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void Statement::bind(int index, const Value &value)
{
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(value))
        rc = sqlite3_bind_null(stmt_, index);
    else if (const auto *i = std::get_if<std::int64_t>(&value))
        rc = sqlite3_bind_int64(stmt_, index, *i);
    else if (const auto *d = std::get_if<double>(&value))
        rc = sqlite3_bind_double(stmt_, index, *d);
    else {
        const auto &text = std::get<std::string>(value);
        rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        throwSqlite(db_, rc, "");
}

bool Statement::step(const std::string &context)
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwSqlite(db_, rc, context);
}

Value Statement::column(int index) const
{
    switch (sqlite3_column_type(stmt_, index)) {
    case SQLITE_NULL:
        return std::monostate{};
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt_, index);
    default: {
        // Text, and blobs that another program stored, read as their bytes.
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, index));
        const int size = sqlite3_column_bytes(stmt_, index);
        return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
    }
    }
}

std::int64_t Statement::columnInt64(int index) const
{
    return sqlite3_column_int64(stmt_, index);
}

void Statement::reset()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

std::string quoteIdentifier(const std::string &name)
{
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace desktopdb::detail
