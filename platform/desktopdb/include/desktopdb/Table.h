#pragma once

#include "desktopdb/Field.h"
#include "desktopdb/SqlQuery.h"
#include "desktopdb/SqlValue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace desktopdb {

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A key value for locate: integer, text or null.
using KeyValue = std::variant<std::monostate, std::int64_t, std::string>;

// One desktop table: the file "<folder>/<TABLE>.db" (SQLite), opened without
// filter or secondary index, its rows in primary-key (InternalID) order.
// Row numbers (RecNo) count from 1 in that order. Navigation, locate and
// RecNo cost O(log n) or less per call. The row list is read at open() and
// kept up to date by this table's own appends and deletes; a row that
// another program adds meanwhile is found by locate(). Field objects live
// until close().
class Table {
public:
    Table();
    ~Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // The folder that holds the table files (the database).
    void setDatabaseName(const std::string &folder);
    const std::string &databaseName() const;
    void setTableName(const std::string &name);
    const std::string &tableName() const;
    // Milliseconds to wait for a lock held by another program before a read
    // or write fails (default 5000).
    void setBusyTimeout(int milliseconds);

    // Whether the table's file is in the folder (its name compared without
    // regard to case, as open() finds it).
    bool exists() const;
    // The table's file as open() finds it.
    std::string filePath() const;
    void open();  // raises when the file or table is missing or cannot be opened; never creates a file
    // Cancels a pending edit or append and undoes an open batch: what was
    // not committed on purpose is never committed on the way out (nor by
    // the destructor).
    void close();
    bool active() const;
    DataSetState state() const;

    // Moving (first, last, next, prior, setRecNo, locate) posts a pending
    // edit or append first.
    void first();
    void last();
    void next();
    void prior();
    bool eof() const; // true after next() passed the last row, or when empty
    bool bof() const;
    int recordCount() const;
    int recNo() const;        // 0 when the table is empty
    void setRecNo(int recNo); // moves to that row; raises when out of range

    // Exact match on the columns named in keyFields ("UserName;DBID"), case
    // sensitive, no partial match. On success the row becomes current.
    bool locate(const std::string &keyFields, const std::vector<KeyValue> &values);

    // Field writes need edit or append state; otherwise they raise.
    void edit();   // the current row
    void append(); // a new empty row, written by post()
    void post();   // writes the pending edit or append; the row stays current
    void cancel(); // drops a pending edit or append
    void remove(); // deletes the current row; the next row (or the new last) becomes current

    const std::vector<FieldDef> &fieldDefs() const;
    Field &fieldByName(const std::string &name); // raises when there is no such field
    Field *findField(const std::string &name);   // nullptr when there is none
    std::vector<Field *> fields();

    // Groups the writes that follow into one transaction, committed by
    // commitBatch() or undone by rollbackBatch() (or close()). A failed post
    // rolls nothing back by itself: commitBatch() would keep every write
    // posted before the failure. beginBatch() takes the write lock of the
    // file (and of the files attached to it) at once, so a lock held by
    // another program fails it (after the busy time-out) rather than a later
    // post. A commit that cannot be made (lock not granted in time, disk
    // full) undoes the whole batch and says so: nothing is half-written.
    // Without a batch each post and remove is its own transaction.
    // commitBatch() and rollbackBatch() without an open batch do nothing.
    void beginBatch();
    void commitBatch();
    void rollbackBatch();
    bool inBatch() const;

    // Statements of the program's own on the table's file and the files
    // attached to it, for bookkeeping kept beside the rows: inside a batch
    // they are committed or undone with it. Parameters bind ?1, ?2, ...
    void execute(const std::string &sql, const std::vector<SqlValue> &params = {});
    std::vector<SqlRow> query(const std::string &sql, const std::vector<SqlValue> &params = {});
    // Attaches another table file to this table's connection under `alias`
    // (outside a batch), so that one batch commits both files atomically,
    // also across a crash. detach() ends that.
    void attach(const std::string &file, const std::string &alias);
    void detach(const std::string &alias);

    struct Impl;

private:
    friend class Field;
    std::unique_ptr<Impl> impl_;
};

} // namespace desktopdb
