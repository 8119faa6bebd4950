#include "desktopdb/Table.h"

#include "Schema.h"
#include "TableImpl.h"
#include "desktopdb/DesktopDbError.h"
#include "fileio/CrashPoint.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace desktopdb {

using detail::Statement;
using detail::Value;

namespace {

bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trimmed(const std::string &text)
{
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

Value toValue(const KeyValue &key)
{
    if (const auto *i = std::get_if<std::int64_t>(&key))
        return *i;
    if (const auto *s = std::get_if<std::string>(&key))
        return *s;
    return std::monostate{};
}

const Value kNull{};

} // namespace

// ---- Impl ----------------------------------------------------------------

void Table::Impl::requireActive() const
{
    if (state == DataSetState::Inactive)
        throw DesktopDbError(what() + " is not open");
}

void Table::Impl::requireWritable(const Field &field) const
{
    requireActive();
    if (state != DataSetState::Edit && state != DataSetState::Insert)
        throw DesktopDbError(what() + " is not in edit or append state: field '" + field.name() +
                             "' cannot be written");
    if (field.dataType() == FieldType::AutoInc)
        throw DesktopDbError("Field '" + field.name() + "' is assigned by the database and cannot be written");
}

int Table::Impl::fieldIndex(const std::string &fieldName) const
{
    auto lowered = [](std::string text) {
        for (char &c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    if (fieldMapsBuiltFor != defs.size() ||
        (!defs.empty() && !fieldByExactName.count(defs.front().name))) {
        fieldByExactName.clear();
        fieldByLowerName.clear();
        for (std::size_t i = 0; i < defs.size(); ++i) {
            fieldByExactName.emplace(defs[i].name, static_cast<int>(i));
            fieldByLowerName.emplace(lowered(defs[i].name), static_cast<int>(i));
        }
        fieldMapsBuiltFor = defs.size();
    }
    auto exact = fieldByExactName.find(fieldName);
    if (exact != fieldByExactName.end())
        return exact->second;
    auto any = fieldByLowerName.find(lowered(fieldName));
    return any == fieldByLowerName.end() ? -1 : any->second;
}

void Table::Impl::loadRowids()
{
    Statement select(db, "SELECT rowid FROM " + detail::quoteIdentifier(sqlName) + " ORDER BY rowid");
    std::deque<std::int64_t> ids;
    while (select.step("Cannot read " + what()))
        ids.push_back(select.columnInt64(0));
    rowids.swap(ids);
}

void Table::Impl::loadRow()
{
    if (rowLoaded)
        return;
    detail::ResetGuard guard(selectRow);
    selectRow.bind(1, rowids[pos]);
    if (!selectRow.step("Cannot read " + what()))
        throw DesktopDbError("Row " + std::to_string(rowids[pos]) + " of " + what() +
                             " no longer exists (deleted by another program)");
    row.resize(defs.size());
    for (std::size_t i = 0; i < defs.size(); ++i)
        row[i] = selectRow.column(static_cast<int>(i));
    rowLoaded = true;
}

void Table::Impl::resetPosition()
{
    if (pos >= rowids.size())
        pos = rowids.empty() ? 0 : rowids.size() - 1;
    atEof = rowids.empty();
    atBof = rowids.empty();
    rowLoaded = false;
}

void Table::Impl::afterFailedWrite()
{
    // Some failures (a full disk, an I/O error) make SQLite roll back the
    // whole transaction; the rows of the batch are then gone.
    if (batch && sqlite3_get_autocommit(db)) {
        batch = false;
        try {
            loadRowids();
            resetPosition();
        } catch (const DesktopDbError &) {
            // The failure being reported matters more; the list is read
            // again by the next locate that misses.
        }
    }
}

const Value &Table::Impl::value(int index)
{
    requireActive();
    if (state == DataSetState::Edit || state == DataSetState::Insert)
        return buffer[static_cast<std::size_t>(index)];
    if (rowids.empty())
        return kNull;
    loadRow();
    return row[static_cast<std::size_t>(index)];
}

void Table::Impl::setValue(int index, const Value &value)
{
    const auto i = static_cast<std::size_t>(index);
    requireWritable(*fields[i]);
    buffer[i] = detail::toStorage(defs[i], value);
    changed[i] = 1;
}

void Table::Impl::releaseConnection()
{
    fields.clear();
    selectRow = Statement();
    deleteRow = Statement();
    writeStatements.clear();
    locateStatements.clear();
    if (db)
        detail::closeConnection(db);
    db = nullptr;
    defs.clear();
    rowids.clear();
    row.clear();
    buffer.clear();
    changed.clear();
    rowLoaded = false;
    batch = false;
    pos = 0;
    atEof = atBof = true;
    state = DataSetState::Inactive;
}

// ---- Table ---------------------------------------------------------------

Table::Table() : impl_(std::make_unique<Impl>()) {}

Table::~Table()
{
    try {
        close();
    } catch (...) {
        // A destructor cannot report; close() released the file all the same.
    }
}

void Table::setDatabaseName(const std::string &folder)
{
    if (active())
        throw DesktopDbError("Cannot change the database of open " + impl_->what());
    impl_->folder = folder;
}

const std::string &Table::databaseName() const
{
    return impl_->folder;
}

void Table::setTableName(const std::string &name)
{
    if (active())
        throw DesktopDbError("Cannot change the name of open " + impl_->what());
    std::string bare = name;
    if (bare.size() > 3 && sameName(bare.substr(bare.size() - 3), ".db"))
        bare.erase(bare.size() - 3);
    impl_->name = bare;
}

const std::string &Table::tableName() const
{
    return impl_->name;
}

void Table::setBusyTimeout(int milliseconds)
{
    impl_->busyTimeoutMs = milliseconds;
    if (impl_->db)
        sqlite3_busy_timeout(impl_->db, milliseconds);
}

bool Table::exists() const
{
    return std::filesystem::is_regular_file(detail::tableFilePath(impl_->folder, impl_->name));
}

std::string Table::filePath() const
{
    return detail::tableFilePath(impl_->folder, impl_->name);
}

void Table::open()
{
    Impl &d = *impl_;
    if (active())
        return;
    d.path = detail::tableFilePath(d.folder, d.name);
    if (!std::filesystem::is_regular_file(d.path))
        throw DesktopDbError("Table file '" + d.path + "' does not exist");
    d.db = detail::openTableFile(d.path, false, d.busyTimeoutMs);
    try {
        const std::string context = "Cannot open table " + d.name + " ('" + d.path + "')";
        {
            Statement find(d.db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
            find.bind(1, d.name);
            if (!find.step(context))
                throw DesktopDbError(context + ": the file holds no table " + d.name);
            d.sqlName = std::get<std::string>(find.column(0));
        }
        struct Column {
            std::string name, type;
            int pk;
        };
        std::vector<Column> columns;
        int keyColumns = 0;
        {
            Statement info(d.db, "SELECT name, type, pk FROM pragma_table_info(?1)");
            info.bind(1, d.sqlName);
            while (info.step(context)) {
                columns.push_back({detail::toText(info.column(0)), detail::toText(info.column(1)),
                                   static_cast<int>(info.columnInt64(2))});
                keyColumns += columns.back().pk > 0;
            }
        }
        std::string columnList;
        for (const Column &column : columns) {
            FieldDef def;
            def.name = column.name;
            // SQLite makes a single INTEGER primary-key column the rowid.
            const bool rowidKey = keyColumns == 1 && column.pk == 1 && sameName(column.type, "INTEGER");
            detail::describeDeclaredType(column.type, rowidKey, def);
            d.defs.push_back(def);
            columnList += (columnList.empty() ? "" : ", ") + detail::quoteIdentifier(column.name);
        }
        d.selectRow = Statement(d.db, "SELECT " + columnList + " FROM " + detail::quoteIdentifier(d.sqlName) +
                                          " WHERE rowid = ?1");
        d.deleteRow = Statement(d.db, "DELETE FROM " + detail::quoteIdentifier(d.sqlName) + " WHERE rowid = ?1");
        d.loadRowids();
    } catch (...) {
        d.releaseConnection();
        throw;
    }
    for (std::size_t i = 0; i < d.defs.size(); ++i)
        d.fields.push_back(std::unique_ptr<Field>(new Field(this, d.defs[i], static_cast<int>(i))));
    d.state = DataSetState::Browse;
    d.pos = 0;
    d.resetPosition();
}

void Table::close()
{
    Impl &d = *impl_;
    if (!active())
        return;
    cancel();
    rollbackBatch();
    d.releaseConnection();
}

bool Table::active() const
{
    return impl_->state != DataSetState::Inactive;
}

DataSetState Table::state() const
{
    return impl_->state;
}

namespace {

// Leaving a row posts its pending edit or append, as moving a dataset does.
void checkBrowseMode(Table &table)
{
    if (table.state() == DataSetState::Edit || table.state() == DataSetState::Insert)
        table.post();
}

} // namespace

void Table::first()
{
    impl_->requireActive();
    checkBrowseMode(*this);
    impl_->pos = 0;
    impl_->resetPosition();
    impl_->atBof = true;
}

void Table::last()
{
    impl_->requireActive();
    checkBrowseMode(*this);
    impl_->pos = impl_->rowids.empty() ? 0 : impl_->rowids.size() - 1;
    impl_->resetPosition();
    impl_->atEof = true;
}

void Table::next()
{
    Impl &d = *impl_;
    d.requireActive();
    checkBrowseMode(*this);
    if (d.pos + 1 < d.rowids.size()) {
        ++d.pos;
        d.rowLoaded = false;
        d.atBof = false;
        d.atEof = false;
    } else {
        d.atEof = true;
    }
}

void Table::prior()
{
    Impl &d = *impl_;
    d.requireActive();
    checkBrowseMode(*this);
    if (d.pos > 0 && !d.rowids.empty()) {
        --d.pos;
        d.rowLoaded = false;
        d.atBof = false;
        d.atEof = false;
    } else {
        d.atBof = true;
    }
}

bool Table::eof() const
{
    return !active() || impl_->atEof;
}

bool Table::bof() const
{
    return !active() || impl_->atBof;
}

int Table::recordCount() const
{
    impl_->requireActive();
    return static_cast<int>(impl_->rowids.size());
}

int Table::recNo() const
{
    const Impl &d = *impl_;
    d.requireActive();
    if (d.state == DataSetState::Insert)
        return static_cast<int>(d.rowids.size()) + 1;
    return d.rowids.empty() ? 0 : static_cast<int>(d.pos) + 1;
}

void Table::setRecNo(int recNo)
{
    Impl &d = *impl_;
    d.requireActive();
    checkBrowseMode(*this);
    if (recNo < 1 || static_cast<std::size_t>(recNo) > d.rowids.size())
        throw DesktopDbError("Row number " + std::to_string(recNo) + " is out of range for " + d.what() + " (1 to " +
                             std::to_string(d.rowids.size()) + ")");
    if (d.pos != static_cast<std::size_t>(recNo - 1))
        d.rowLoaded = false;
    d.pos = static_cast<std::size_t>(recNo - 1);
    d.atEof = false;
    d.atBof = false;
}

bool Table::locate(const std::string &keyFields, const std::vector<KeyValue> &values)
{
    Impl &d = *impl_;
    d.requireActive();
    checkBrowseMode(*this);

    std::vector<int> columns;
    std::size_t start = 0;
    while (start <= keyFields.size()) {
        const std::size_t end = std::min(keyFields.find(';', start), keyFields.size());
        const std::string fieldName = trimmed(keyFields.substr(start, end - start));
        const int index = d.fieldIndex(fieldName);
        if (index < 0)
            throw DesktopDbError(d.what() + ": field '" + fieldName + "' not found");
        columns.push_back(index);
        start = end + 1;
    }
    if (columns.size() != values.size())
        throw DesktopDbError(d.what() + ": locate on " + std::to_string(columns.size()) + " fields was given " +
                             std::to_string(values.size()) + " values");

    std::string key;
    for (std::size_t i = 0; i < columns.size(); ++i)
        key += std::to_string(columns[i]) + (std::holds_alternative<std::monostate>(values[i]) ? "n;" : "v;");
    auto found = d.locateStatements.find(key);
    if (found == d.locateStatements.end()) {
        std::string sql = "SELECT rowid FROM " + detail::quoteIdentifier(d.sqlName) + " WHERE ";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            sql += i ? " AND " : "";
            sql += detail::quoteIdentifier(d.defs[static_cast<std::size_t>(columns[i])].name);
            // Exact match: text compares byte for byte, whatever collation
            // the column was declared with.
            sql += std::holds_alternative<std::monostate>(values[i])
                       ? " IS NULL"
                       : " = ?" + std::to_string(i + 1) + " COLLATE BINARY";
        }
        sql += " ORDER BY rowid LIMIT 1";
        found = d.locateStatements.emplace(key, Statement(d.db, sql)).first;
    }
    Statement &select = found->second;
    std::int64_t rowid = 0;
    {
        detail::ResetGuard guard(select);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!std::holds_alternative<std::monostate>(values[i]))
                select.bind(static_cast<int>(i + 1), toValue(values[i]));
        }
        if (!select.step("Cannot search " + d.what()))
            return false;
        rowid = select.columnInt64(0);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto it = std::lower_bound(d.rowids.begin(), d.rowids.end(), rowid);
        if (it != d.rowids.end() && *it == rowid) {
            const auto pos = static_cast<std::size_t>(it - d.rowids.begin());
            if (pos != d.pos)
                d.rowLoaded = false;
            d.pos = pos;
            d.atEof = false;
            d.atBof = false;
            return true;
        }
        // Another program added the row after the table was opened.
        d.loadRowids();
        d.resetPosition();
    }
    return false;
}

void Table::edit()
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.state == DataSetState::Edit || d.state == DataSetState::Insert)
        return;
    if (d.rowids.empty())
        throw DesktopDbError("Cannot edit: " + d.what() + " has no rows");
    d.rowLoaded = false; // edit what the file holds now, not an older reading
    d.loadRow();
    d.buffer = d.row;
    d.changed.assign(d.defs.size(), 0);
    d.state = DataSetState::Edit;
}

void Table::append()
{
    Impl &d = *impl_;
    d.requireActive();
    checkBrowseMode(*this);
    d.buffer.assign(d.defs.size(), Value{});
    d.changed.assign(d.defs.size(), 0);
    d.state = DataSetState::Insert;
}

void Table::post()
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.state != DataSetState::Edit && d.state != DataSetState::Insert)
        throw DesktopDbError("Cannot post: " + d.what() + " is not in edit or append state");
    const bool inserting = d.state == DataSetState::Insert;

    std::string mask(d.changed.size(), '0');
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < d.changed.size(); ++i) {
        if (d.changed[i]) {
            mask[i] = '1';
            written.push_back(i);
        }
    }
    if (!inserting && written.empty()) {
        d.state = DataSetState::Browse;
        return;
    }
    mask.insert(mask.begin(), inserting ? 'i' : 'u');
    auto found = d.writeStatements.find(mask);
    if (found == d.writeStatements.end()) {
        const std::string table = detail::quoteIdentifier(d.sqlName);
        std::string sql;
        if (inserting && written.empty()) {
            sql = "INSERT INTO " + table + " DEFAULT VALUES";
        } else if (inserting) {
            std::string names, params;
            for (std::size_t k = 0; k < written.size(); ++k) {
                names += (k ? ", " : "") + detail::quoteIdentifier(d.defs[written[k]].name);
                params += (k ? ", ?" : "?") + std::to_string(k + 1);
            }
            sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + params + ")";
        } else {
            sql = "UPDATE " + table + " SET ";
            for (std::size_t k = 0; k < written.size(); ++k)
                sql +=
                    (k ? ", " : "") + detail::quoteIdentifier(d.defs[written[k]].name) + " = ?" + std::to_string(k + 1);
            sql += " WHERE rowid = ?" + std::to_string(written.size() + 1);
        }
        found = d.writeStatements.emplace(mask, Statement(d.db, sql)).first;
    }
    Statement &write = found->second;
    try {
        detail::ResetGuard guard(write);
        for (std::size_t k = 0; k < written.size(); ++k)
            write.bind(static_cast<int>(k + 1), d.buffer[written[k]]);
        if (!inserting)
            write.bind(static_cast<int>(written.size() + 1), d.rowids[d.pos]);
        write.step("Cannot post to " + d.what());
    } catch (...) {
        d.afterFailedWrite();
        throw;
    }
    if (inserting) {
        const std::int64_t rowid = sqlite3_last_insert_rowid(d.db);
        const auto it = std::upper_bound(d.rowids.begin(), d.rowids.end(), rowid);
        const auto at = it - d.rowids.begin();
        d.rowids.insert(it, rowid);
        d.pos = static_cast<std::size_t>(at);
    } else if (sqlite3_changes(d.db) == 0) {
        throw DesktopDbError("Cannot post to " + d.what() + ": the row no longer exists (deleted by another program)");
    }
    d.state = DataSetState::Browse;
    d.atEof = false;
    d.atBof = false;
    d.rowLoaded = false;
    d.buffer.clear();
    d.changed.clear();
}

void Table::cancel()
{
    Impl &d = *impl_;
    if (d.state == DataSetState::Edit || d.state == DataSetState::Insert) {
        d.state = DataSetState::Browse;
        d.buffer.clear();
        d.changed.clear();
    }
}

void Table::remove()
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.state == DataSetState::Insert) {
        cancel();
        return;
    }
    cancel();
    if (d.rowids.empty())
        throw DesktopDbError("Cannot delete: " + d.what() + " has no rows");
    try {
        detail::ResetGuard guard(d.deleteRow);
        d.deleteRow.bind(1, d.rowids[d.pos]);
        d.deleteRow.step("Cannot delete from " + d.what());
    } catch (...) {
        d.afterFailedWrite();
        throw;
    }
    d.rowids.erase(d.rowids.begin() + static_cast<std::ptrdiff_t>(d.pos));
    d.resetPosition();
    d.atBof = false;
}

const std::vector<FieldDef> &Table::fieldDefs() const
{
    return impl_->defs;
}

Field &Table::fieldByName(const std::string &name)
{
    if (Field *field = findField(name))
        return *field;
    impl_->requireActive();
    throw DesktopDbError(impl_->what() + ": field '" + name + "' not found");
}

Field *Table::findField(const std::string &name)
{
    const int index = impl_->fieldIndex(name);
    return index < 0 ? nullptr : impl_->fields[static_cast<std::size_t>(index)].get();
}

std::vector<Field *> Table::fields()
{
    std::vector<Field *> all;
    for (auto &field : impl_->fields)
        all.push_back(field.get());
    return all;
}

void Table::beginBatch()
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.batch)
        throw DesktopDbError(d.what() + ": a batch is already open");
    // IMMEDIATE takes the write lock now, so a lock held by another program
    // fails here and not half-way through the batch.
    detail::execute(d.db, "BEGIN IMMEDIATE", "Cannot begin a batch on " + d.what());
    d.batch = true;
}

void Table::commitBatch()
{
    Impl &d = *impl_;
    if (!d.batch)
        return;
    char *error = nullptr;
    fileio::crashPoint("desktop-before-commit");
    const int rc = sqlite3_exec(d.db, "COMMIT", nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc == SQLITE_OK) {
        d.batch = false;
        fileio::crashPoint("desktop-after-commit");
        return;
    }
    const std::string message = sqlite3_errmsg(d.db);
    const int primary = rc & 0xff;
    if (!sqlite3_get_autocommit(d.db))
        sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr);
    d.batch = false;
    try {
        d.loadRowids();
        d.resetPosition();
    } catch (const DesktopDbError &) {
        // Reported below; the list is read again by the next locate that misses.
    }
    std::string reason = message;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        reason = "the file is locked by another program and the lock was not granted in time (" + message + ")";
    throw DesktopDbError("Cannot commit the batch on " + d.what() + ": " + reason +
                         "; the writes of the batch were undone");
}

void Table::rollbackBatch()
{
    Impl &d = *impl_;
    if (!d.batch)
        return;
    cancel();
    d.batch = false;
    // SQLite may have rolled the transaction back already (after some I/O
    // failures); a ROLLBACK without one would fail.
    if (!sqlite3_get_autocommit(d.db))
        sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr);
    try {
        d.loadRowids();
        d.resetPosition();
    } catch (const DesktopDbError &) {
        // The list is read again by the next locate that misses.
    }
}

bool Table::inBatch() const
{
    return impl_->batch;
}

void Table::execute(const std::string &sql, const std::vector<SqlValue> &params)
{
    Impl &d = *impl_;
    d.requireActive();
    Statement statement(d.db, sql);
    for (std::size_t i = 0; i < params.size(); ++i)
        statement.bind(static_cast<int>(i + 1), params[i]);
    try {
        while (statement.step("Cannot write to " + d.what()))
            ;
    } catch (...) {
        d.afterFailedWrite();
        throw;
    }
}

std::vector<SqlRow> Table::query(const std::string &sql, const std::vector<SqlValue> &params)
{
    Impl &d = *impl_;
    d.requireActive();
    Statement statement(d.db, sql);
    for (std::size_t i = 0; i < params.size(); ++i)
        statement.bind(static_cast<int>(i + 1), params[i]);
    std::vector<SqlRow> rows;
    const int columns = sqlite3_column_count(statement.get());
    while (statement.step("Cannot read " + d.what())) {
        SqlRow row;
        for (int c = 0; c < columns; ++c)
            row.push_back(statement.column(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

void Table::attach(const std::string &file, const std::string &alias)
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.batch)
        throw DesktopDbError(d.what() + ": cannot attach " + file + " inside a batch");
    Statement statement(d.db, "ATTACH DATABASE ?1 AS " + detail::quoteIdentifier(alias));
    statement.bind(1, file);
    statement.step("Cannot attach " + file + " to " + d.what());
}

void Table::detach(const std::string &alias)
{
    Impl &d = *impl_;
    d.requireActive();
    if (d.batch)
        throw DesktopDbError(d.what() + ": cannot detach " + alias + " inside a batch");
    detail::execute(d.db, "DETACH DATABASE " + detail::quoteIdentifier(alias), "Cannot detach " + alias);
}

} // namespace desktopdb
