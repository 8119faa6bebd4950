#include "desktopdb/SqlQuery.h"

#include "Schema.h"
#include "Sqlite.h"
#include "desktopdb/DesktopDbError.h"

#include <filesystem>
#include <system_error>

namespace desktopdb {

namespace {

// Runs exactly one statement; a second one in the text is refused.
void executeOne(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        detail::throwSqlite(db, rc, "");
    }
    for (const char *p = tail; p && *p; ++p) {
        if (*p != ';' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
            sqlite3_finalize(stmt);
            throw DesktopDbError("Only one statement can be executed at a time");
        }
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        detail::throwSqlite(db, rc, "");
}

void removeFileSet(const std::string &path)
{
    std::error_code ignored;
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(path + suffix, ignored);
}

} // namespace

SqlQuery::SqlQuery() = default;

SqlQuery::~SqlQuery()
{
    close();
}

void SqlQuery::setDatabaseName(const std::string &folder)
{
    close();
    folder_ = folder;
}

const std::string &SqlQuery::databaseName() const
{
    return folder_;
}

void SqlQuery::setBusyTimeout(int milliseconds)
{
    busyTimeoutMs_ = milliseconds;
    if (db_)
        sqlite3_busy_timeout(db_, milliseconds);
}

void SqlQuery::close()
{
    if (db_)
        detail::closeConnection(db_);
    db_ = nullptr;
    dbPath_.clear();
}

void SqlQuery::clear()
{
    lines_.clear();
}

void SqlQuery::add(const std::string &line)
{
    lines_.push_back(line);
}

std::string SqlQuery::text() const
{
    std::string joined;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0)
            joined += '\n';
        joined += lines_[i];
    }
    return joined;
}

void SqlQuery::execSql()
{
    const detail::SchemaStatement statement = detail::parseSchemaStatement(text());
    const std::string path = detail::tableFilePath(folder_, statement.table);
    const bool exists = std::filesystem::exists(path);

    if (statement.kind == detail::SchemaStatement::Kind::CreateIndex && !exists)
        throw DesktopDbError("Table " + statement.table + " does not exist (no file '" + path + "')");

    if (dbPath_ != path) {
        close();
        db_ = detail::openTableFile(path, !exists, busyTimeoutMs_);
        dbPath_ = path;
    }
    try {
        executeOne(db_, statement.sql);
    } catch (const DesktopDbError &error) {
        close();
        // A table that could not be created leaves no file behind: a file in
        // the folder means the table exists.
        if (statement.kind == detail::SchemaStatement::Kind::CreateTable && !exists)
            removeFileSet(path);
        throw DesktopDbError("Table " + statement.table + " ('" + path + "'): " + error.what());
    }
}

} // namespace desktopdb
