#pragma once

#include "Value.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace desktopdb::detail {

// Raises DesktopDbError for a failed SQLite call: context, then the engine's
// message. A lock that was not granted in time says so plainly.
[[noreturn]] void throwSqlite(sqlite3 *db, int rc, const std::string &context);

// Opens one table file read-write with the given busy time-out. With create
// false a missing file is an error and no file is made. Every commit is
// flushed to disk before it returns (rollback journal, full synchronous),
// and the engine's writes go through the suite's system-call table.
sqlite3 *openTableFile(const std::string &path, bool create, int busyTimeoutMs);
void closeConnection(sqlite3 *db);

// Runs a statement that returns no rows.
void execute(sqlite3 *db, const std::string &sql, const std::string &context);

// A prepared statement. It is reset after every use so that it never holds
// a read lock on the file between calls.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3 *db, const std::string &sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt *get() const { return stmt_; }
    void bind(int index, const Value &value); // index from 1
    bool step(const std::string &context);    // true while a row is there
    Value column(int index) const;            // index from 0
    std::int64_t columnInt64(int index) const;
    void reset();

private:
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *stmt_ = nullptr;
};

// Resets a statement when it leaves scope, also on failure.
class ResetGuard {
public:
    explicit ResetGuard(Statement &statement) : statement_(statement) {}
    ~ResetGuard() { statement_.reset(); }
    ResetGuard(const ResetGuard &) = delete;
    ResetGuard &operator=(const ResetGuard &) = delete;

private:
    Statement &statement_;
};

std::string quoteIdentifier(const std::string &name);

} // namespace desktopdb::detail
