#pragma once

// The pairing of handheld databases with desktop tables, and the statements
// that create a missing desktop table (each statement a list of lines).

#include <string>
#include <vector>

namespace conduit {

using Statement = std::vector<std::string>;

struct TableSchema {
    std::string handheldName; // "OilGradeDB-KLXC"
    std::string tableName;    // "OILGRADE"
    Statement createTable;
    std::vector<Statement> createIndexes;
};

// The four pairs; nullptr for a handheld name that has no table (compared
// exactly, case-sensitive).
const TableSchema *schemaForHandheldDatabase(const std::string &handheldName);
const std::vector<TableSchema> &allTableSchemas();

} // namespace conduit
