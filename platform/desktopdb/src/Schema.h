#pragma once

#include "desktopdb/Field.h"

#include <string>

namespace desktopdb::detail {

// Raises unless name is a plain table name (letters, digits, underscore, not
// starting with a digit), so that it can name a file in the folder and
// nothing else.
void checkTableName(const std::string &name);

// "<folder>/<table>.db", or the file in folder whose name differs from it
// only in case; raises when the folder is empty.
std::string tableFilePath(const std::string &folder, const std::string &table);

// The column type from its declared type ("VARCHAR(20)", "MONEY" ...).
// rowidKey marks the column that is the table's integer key.
void describeDeclaredType(const std::string &declared, bool rowidKey, FieldDef &def);

// A statement the engine runs, with the table whose file it addresses and
// the SQL that SQLite executes.
struct SchemaStatement {
    enum class Kind { CreateTable, CreateIndex };
    Kind kind = Kind::CreateTable;
    std::string table;
    std::string sql;
};

// Accepts CREATE TABLE and CREATE INDEX; the column type AUTOINC becomes
// INTEGER (with the table's PRIMARY KEY it is the key SQLite assigns) and
// MONEY becomes MONEY REAL (stored as REAL, still read as MONEY).
SchemaStatement parseSchemaStatement(const std::string &text);

} // namespace desktopdb::detail
