#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace desktopdb {

// Executes SQL statements on a folder of table files: CREATE TABLE and
// CREATE INDEX as the desktop tables' schema writes them. The table named in
// the statement picks the file "<folder>/<TABLE>.db"; CREATE TABLE makes the
// file, CREATE INDEX needs it to exist. Other statements are refused.
class SqlQuery {
public:
    SqlQuery();
    ~SqlQuery();
    SqlQuery(const SqlQuery &) = delete;
    SqlQuery &operator=(const SqlQuery &) = delete;

    void setDatabaseName(const std::string &folder);
    const std::string &databaseName() const;
    // Milliseconds to wait for a lock held by another program (default 5000).
    void setBusyTimeout(int milliseconds);
    void close();                      // releases the file the last statement used
    void clear();                      // clears the statement text
    void add(const std::string &line); // adds one line
    std::string text() const;          // the lines joined by line breaks
    void execSql();                    // raises DesktopDbError with the engine's message

private:
    std::string folder_;
    std::vector<std::string> lines_;
    int busyTimeoutMs_ = 5000;
    sqlite3 *db_ = nullptr;
    std::string dbPath_;
};

} // namespace desktopdb
