#pragma once

#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace hotsynctool {

// The creator of the Gearvane conduit, whose registration names the folder
// of the desktop tables inside a user's folder.
inline constexpr const char *gearvaneCreator = "KLXC";

// The Gearvane desktop tables, in the order they refer to each other.
const std::vector<std::string> &gearvaneTables();

// A column that holds the record id (DBID) of a row of another table, and
// the column of that table that names the row.
struct Reference {
    std::string column;     // "VehicleId"
    std::string table;      // "VEHICLE"
    std::string nameColumn; // "Name"
    std::string resolvedAs; // the column an export adds for the name: "Vehicle"
};
std::vector<Reference> referencesOf(const std::string &table);

// A value of a desktop row, read by the column's declared type: nothing,
// a whole number (INTEGER), a truth value (BOOLEAN), a number (MONEY,
// FLOAT), a date as "YYYY-MM-DD" text (DATE) or a text (VARCHAR).
struct DateText {
    std::string iso;
};
using Cell = std::variant<std::monostate, std::int64_t, bool, double, DateText, std::string>;

// The rows of one desktop table that are not marked deleted, in the order
// of their InternalID.
struct DesktopRows {
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;

    // The column's index; raises a CommandFailure when the table lacks it.
    std::size_t column(const std::string &name) const;
};

// Reads a user's Gearvane desktop tables without changing them: each table
// file is opened read-only, and a file that another program holds locked
// is waited for a few seconds.
class DesktopTables {
public:
    explicit DesktopTables(std::filesystem::path folder);
    // The tables of `user`: the folder the Gearvane conduit's registration
    // names inside the user's folder. Raises a CommandFailure when the
    // conduit is not registered.
    static DesktopTables of(const hotsync::HostRoot &root, const hotsync::User &user);

    const std::filesystem::path &folder() const { return folder_; }
    // The table's file, found without regard to case; nothing when missing.
    std::optional<std::filesystem::path> file(const std::string &table) const;
    // Raises a CommandFailure saying why when the table cannot be read.
    DesktopRows read(const std::string &table) const;
    // As read(), but a missing table reads as no rows.
    DesktopRows readIfPresent(const std::string &table) const;

private:
    std::filesystem::path folder_;
};

// The name of the row of `rows` whose DBID is `id` (read from
// `nameColumn`); nothing for id 0 or when no row has it.
class NameIndex {
public:
    NameIndex(const DesktopRows &rows, const std::string &nameColumn);
    std::optional<std::string> find(std::int64_t id) const;

private:
    std::vector<std::pair<std::int64_t, std::string>> names_; // sorted by id
};

// Gives every row of `oldName` in the Gearvane tables of `folder` the user
// name `newName`, each as the UserName column holds it (cut to the
// column's width), in one transaction over all table files. `beforeCommit`
// runs inside it: when it raises, or the commit fails, nothing changes.
// Returns the rows changed per table.
std::vector<std::pair<std::string, int>> renameUserRows(const std::filesystem::path &folder, const std::string &oldName,
                                                        const std::string &newName,
                                                        const std::function<void()> &beforeCommit);

std::int64_t asInteger(const Cell &cell);
double asNumber(const Cell &cell);
std::string asText(const Cell &cell);
bool isNull(const Cell &cell);

} // namespace hotsynctool
