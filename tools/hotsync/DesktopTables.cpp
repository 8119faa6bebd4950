#include "DesktopTables.h"

#include "Command.h"

#include "desktopdb/DateTime.h"
#include "hotsync/ConduitStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace hotsynctool {

namespace fs = std::filesystem;
using namespace hotsync;

namespace {

constexpr int busyMilliseconds = 5000;

std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string quoted(const std::string &identifier)
{
    std::string q = "\"";
    for (char c : identifier)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Why SQLite refused, in words a user can act on.
std::string sqliteFault(sqlite3 *db, int code)
{
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return "another program (a HotSync, or the desktop application) holds the table locked; try again when it "
               "has finished";
    return db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

class Connection {
public:
    Connection(const fs::path &file, bool readOnly)
    {
        int rc = sqlite3_open_v2(file.c_str(), &db_, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK) {
            std::string why = sqliteFault(db_, rc);
            sqlite3_close(db_);
            throw CommandFailure("Cannot open " + file.string() + ": " + why);
        }
        sqlite3_busy_timeout(db_, busyMilliseconds);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *get() const { return db_; }

    void exec(const std::string &sql, const std::string &what)
    {
        int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw CommandFailure(what + ": " + sqliteFault(db_, rc));
    }

private:
    sqlite3 *db_ = nullptr;
};

class Statement {
public:
    Statement(const Connection &db, const std::string &sql, const std::string &what) : db_(db.get()), what_(what)
    {
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt_, nullptr);
        if (rc != SQLITE_OK)
            throw CommandFailure(what_ + ": " + sqliteFault(db_, rc));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bind(int index, const std::string &text)
    {
        sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    // True while there is a row.
    bool step()
    {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw CommandFailure(what_ + ": " + sqliteFault(db_, rc));
    }
    sqlite3_stmt *get() const { return stmt_; }
    std::string text(int column) const
    {
        auto p = sqlite3_column_text(stmt_, column);
        return p ? reinterpret_cast<const char *>(p) : "";
    }

private:
    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
    std::string what_;
};

enum class Kind { Integer, Boolean, Number, Date, Text };

Kind kindOf(const std::string &declared)
{
    const std::string t = upper(declared);
    if (t.rfind("BOOLEAN", 0) == 0)
        return Kind::Boolean;
    if (t.rfind("INTEGER", 0) == 0 || t.rfind("AUTOINC", 0) == 0)
        return Kind::Integer;
    if (t.rfind("MONEY", 0) == 0 || t.rfind("FLOAT", 0) == 0)
        return Kind::Number;
    if (t.rfind("DATE", 0) == 0)
        return Kind::Date;
    return Kind::Text;
}

bool parseWhole(const std::string &text, std::int64_t &value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool parseNumber(const std::string &text, double &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// The cell at `column` of the statement's row, read the way the desktop
// table engine reads what other programs may store: numbers as text,
// 'true'/'false', a date with a time of day or as a day number.
Cell readCell(sqlite3_stmt *stmt, int column, Kind kind, const std::string &where)
{
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL)
        return std::monostate{};
    const auto p = sqlite3_column_text(stmt, column);
    const std::string text = p ? reinterpret_cast<const char *>(p) : "";
    auto bad = [&](const char *expected) { return CommandFailure(where + " holds \"" + text + "\", not " + expected); };
    switch (kind) {
    case Kind::Integer: {
        if (type == SQLITE_INTEGER)
            return static_cast<std::int64_t>(sqlite3_column_int64(stmt, column));
        std::int64_t v = 0;
        double d = 0;
        if (parseWhole(text, v))
            return v;
        if (parseNumber(text, d))
            return static_cast<std::int64_t>(d);
        throw bad("a whole number");
    }
    case Kind::Boolean: {
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return sqlite3_column_double(stmt, column) != 0;
        const std::string t = upper(text);
        if (t == "TRUE" || t == "1")
            return true;
        if (t == "FALSE" || t == "0" || t.empty())
            return false;
        throw bad("true or false");
    }
    case Kind::Number: {
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return sqlite3_column_double(stmt, column);
        double d = 0;
        if (parseNumber(text, d))
            return d;
        throw bad("a number");
    }
    case Kind::Date:
        try {
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
                return DateText{desktopdb::dateToIsoText(sqlite3_column_double(stmt, column))};
            return DateText{desktopdb::dateToIsoText(desktopdb::isoTextToDateTime(text))};
        } catch (const std::exception &) {
            throw bad("a date");
        }
    case Kind::Text:
        return text;
    }
    return std::monostate{};
}

struct ColumnInfo {
    std::string name;
    Kind kind;
    std::string declared;
};

std::vector<ColumnInfo> columnsOf(const Connection &db, const std::string &schema, const std::string &table,
                                  const std::string &what)
{
    Statement info(db, "PRAGMA " + quoted(schema) + ".table_info(" + quoted(table) + ")", what);
    std::vector<ColumnInfo> columns;
    while (info.step())
        columns.push_back({info.text(1), kindOf(info.text(2)), info.text(2)});
    if (columns.empty())
        throw CommandFailure(what + ": the file holds no table " + table);
    return columns;
}

} // namespace

const std::vector<std::string> &gearvaneTables()
{
    static const std::vector<std::string> tables{"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"};
    return tables;
}

std::vector<Reference> referencesOf(const std::string &table)
{
    if (table == "VEHICLE")
        return {{"OilGradeId", "OILGRADE", "Name", "OilGrade"}};
    if (table == "MAIN")
        return {{"VehicleId", "VEHICLE", "Name", "Vehicle"}, {"VendorId", "SUPPLIER", "Name", "Supplier"}};
    return {};
}

std::size_t DesktopRows::column(const std::string &name) const
{
    auto it = std::find(columns.begin(), columns.end(), name);
    if (it == columns.end())
        throw CommandFailure("The desktop table " + table + " has no column " + name);
    return static_cast<std::size_t>(it - columns.begin());
}

DesktopTables::DesktopTables(fs::path folder) : folder_(std::move(folder)) {}

DesktopTables DesktopTables::of(const HostRoot &root, const User &user)
{
    auto conduit = ConduitStore(root).find(CreatorId::fromText(gearvaneCreator));
    if (!conduit)
        throw CommandFailure(std::string("No conduit is registered for creator ") + gearvaneCreator +
                             ", so the folder of the Gearvane tables is not known");
    return DesktopTables(conduit->folderIn(user.directory));
}

std::optional<fs::path> DesktopTables::file(const std::string &table) const
{
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (upper(it->path().filename().string()) == upper(table) + ".DB" && it->is_regular_file(ec))
            return it->path();
    }
    return std::nullopt;
}

DesktopRows DesktopTables::read(const std::string &table) const
{
    auto path = file(table);
    if (!path)
        throw CommandFailure("There is no desktop table " + table + " in " + folder_.string() +
                             " yet: the first HotSync creates it");
    const std::string what = "Cannot read " + path->string();
    Connection db(*path, true);
    const auto columns = columnsOf(db, "main", table, what);
    DesktopRows result;
    result.table = table;
    std::optional<std::size_t> deleted;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        result.columns.push_back(columns[i].name);
        if (columns[i].name == "Deleted")
            deleted = i;
    }
    std::string order =
        std::any_of(columns.begin(), columns.end(), [](const ColumnInfo &c) { return c.name == "InternalID"; })
            ? " ORDER BY InternalID"
            : "";
    Statement rows(db, "SELECT * FROM " + quoted(table) + order, what);
    std::int64_t number = 0;
    while (rows.step()) {
        ++number;
        std::vector<Cell> row;
        for (std::size_t i = 0; i < columns.size(); ++i)
            row.push_back(readCell(rows.get(), static_cast<int>(i), columns[i].kind,
                                   table + " row " + std::to_string(number) + ", column " + columns[i].name));
        if (deleted && std::holds_alternative<bool>(row[*deleted]) && std::get<bool>(row[*deleted]))
            continue;
        result.rows.push_back(std::move(row));
    }
    return result;
}

DesktopRows DesktopTables::readIfPresent(const std::string &table) const
{
    if (!file(table)) {
        DesktopRows none;
        none.table = table;
        return none;
    }
    return read(table);
}

NameIndex::NameIndex(const DesktopRows &rows, const std::string &nameColumn)
{
    if (rows.columns.empty())
        return;
    const std::size_t id = rows.column("DBID");
    const std::size_t name = rows.column(nameColumn);
    for (const auto &row : rows.rows) {
        if (!isNull(row[id]) && asInteger(row[id]) != 0)
            names_.emplace_back(asInteger(row[id]), asText(row[name]));
    }
    // The first row of an id wins, as a locate by id finds it.
    std::stable_sort(names_.begin(), names_.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
}

std::optional<std::string> NameIndex::find(std::int64_t id) const
{
    if (id == 0)
        return std::nullopt;
    auto it = std::lower_bound(names_.begin(), names_.end(), id,
                               [](const auto &entry, std::int64_t key) { return entry.first < key; });
    if (it == names_.end() || it->first != id)
        return std::nullopt;
    return it->second;
}

std::vector<std::pair<std::string, int>> renameUserRows(const fs::path &folder, const std::string &oldName,
                                                        const std::string &newName,
                                                        const std::function<void()> &beforeCommit)
{
    DesktopTables tables(folder);
    std::vector<std::pair<std::string, fs::path>> files;
    for (const auto &table : gearvaneTables()) {
        if (auto path = tables.file(table))
            files.emplace_back(table, *path);
    }
    std::vector<std::pair<std::string, int>> changed;
    if (files.empty()) {
        beforeCommit();
        return changed;
    }
    const std::string what = "Cannot rename the user's rows in the desktop tables of " + folder.string();
    Connection db(files.front().second, false);
    for (std::size_t i = 1; i < files.size(); ++i) {
        Statement attach(db, "ATTACH DATABASE ?1 AS " + quoted("t" + std::to_string(i)), what);
        attach.bind(1, files[i].second.string());
        attach.step();
    }
    db.exec("BEGIN IMMEDIATE", what);
    try {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string schema = i == 0 ? "main" : "t" + std::to_string(i);
            const std::string &table = files[i].first;
            // The column keeps as many characters as its VARCHAR(n) says.
            std::string width;
            for (const auto &c : columnsOf(db, schema, table, what)) {
                if (c.name == "UserName") {
                    auto open = c.declared.find('(');
                    if (open != std::string::npos)
                        width = std::to_string(std::atoi(c.declared.c_str() + open + 1));
                }
            }
            auto cut = [&](const char *parameter) {
                return width.empty() || width == "0" ? std::string(parameter)
                                                     : "substr(" + std::string(parameter) + ", 1, " + width + ")";
            };
            Statement update(db,
                             "UPDATE " + quoted(schema) + "." + quoted(table) + " SET UserName = " + cut("?2") +
                                 " WHERE UserName = " + cut("?1"),
                             what);
            update.bind(1, oldName);
            update.bind(2, newName);
            update.step();
            changed.emplace_back(table, sqlite3_changes(db.get()));
        }
        beforeCommit();
        db.exec("COMMIT", what);
    } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return changed;
}

std::int64_t asInteger(const Cell &cell)
{
    if (auto v = std::get_if<std::int64_t>(&cell))
        return *v;
    if (auto b = std::get_if<bool>(&cell))
        return *b ? 1 : 0;
    if (auto d = std::get_if<double>(&cell))
        return static_cast<std::int64_t>(*d);
    return 0;
}

double asNumber(const Cell &cell)
{
    if (auto d = std::get_if<double>(&cell))
        return *d;
    if (auto v = std::get_if<std::int64_t>(&cell))
        return static_cast<double>(*v);
    return 0;
}

std::string asText(const Cell &cell)
{
    if (auto s = std::get_if<std::string>(&cell))
        return *s;
    if (auto d = std::get_if<DateText>(&cell))
        return d->iso;
    if (auto v = std::get_if<std::int64_t>(&cell))
        return std::to_string(*v);
    return {};
}

bool isNull(const Cell &cell)
{
    return std::holds_alternative<std::monostate>(cell);
}

} // namespace hotsynctool
