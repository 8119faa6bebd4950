#pragma once

#include "desktopdb/SqlQuery.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace desktopdbtest {

// The statements that create one desktop table, each as its lines, in the
// order they are executed.
std::vector<std::vector<std::string>> schemaStatements(const std::string &table);

// Creates the table in folder the way the conduit does: one statement at a
// time, the text cleared and the lines added one by one.
void createTable(const std::string &folder, const std::string &table);

// A plain SQLite connection to a table file, as another program has it.
class PlainConnection {
public:
    explicit PlainConnection(const std::string &path);
    ~PlainConnection();
    PlainConnection(const PlainConnection &) = delete;
    PlainConnection &operator=(const PlainConnection &) = delete;

    void exec(const std::string &sql);
    // The first column of every row of a query, as text ("NULL" for null).
    std::vector<std::string> column(const std::string &sql);
    std::string scalar(const std::string &sql);

private:
    sqlite3 *db_ = nullptr;
};

} // namespace desktopdbtest
