#pragma once

#include "Sqlite.h"
#include "Value.h"
#include "desktopdb/Table.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace desktopdb {

// The open table: its connection, columns, the ordered rowids of all rows
// (so that row numbers and locate cost a binary search, not a scan), the
// values of the current row (read with one query), and the edit buffer.
struct Table::Impl {
    std::string folder;
    std::string name;
    int busyTimeoutMs = 5000;

    sqlite3 *db = nullptr;
    std::string path;
    std::string sqlName; // the table's name as the file spells it
    std::vector<FieldDef> defs;
    std::vector<std::unique_ptr<Field>> fields;

    std::deque<std::int64_t> rowids; // primary-key order; the first row is removed in constant time
    std::size_t pos = 0;
    bool atEof = true;
    bool atBof = true;
    DataSetState state = DataSetState::Inactive;
    bool batch = false;

    std::vector<detail::Value> row;
    bool rowLoaded = false;
    std::vector<detail::Value> buffer;
    std::vector<char> changed;

    detail::Statement selectRow;
    detail::Statement deleteRow;
    std::map<std::string, detail::Statement> writeStatements;  // by column mask
    std::map<std::string, detail::Statement> locateStatements; // by fields and null mask

    std::string what() const { return "Table " + name; }
    void requireActive() const;
    void requireWritable(const Field &field) const;
    int fieldIndex(const std::string &fieldName) const; // -1 when missing
    // Field positions by exact name and by lower-case name, rebuilt when
    // the field list changes; a sync looks fields up by name for every row.
    mutable std::unordered_map<std::string, int> fieldByExactName;
    mutable std::unordered_map<std::string, int> fieldByLowerName;
    mutable std::size_t fieldMapsBuiltFor = static_cast<std::size_t>(-1);
    void loadRowids();
    void loadRow();
    void resetPosition();
    void afterFailedWrite();
    const detail::Value &value(int index);
    void setValue(int index, const detail::Value &value);
    void releaseConnection();
};

} // namespace desktopdb
