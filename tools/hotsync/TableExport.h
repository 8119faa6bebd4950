#pragma once

#include "DesktopTables.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// A desktop table as a user reads it: the rows not marked deleted, without
// the sync bookkeeping (InternalID, Modified, Synced, Deleted, UserName),
// and after each reference column the name of the row it refers to
// (VehicleId, then Vehicle), empty when it refers to no row.
DesktopRows exportedTable(const DesktopTables &tables, const std::string &table);

// RFC 4180 CSV: a header line, then one line per row; a field is quoted
// when it holds a comma, a quote, a line break or blanks at its ends.
void writeCsv(std::ostream &out, const DesktopRows &table);
// One JSON object: each table's name, then its rows as objects of the
// column names in table order; a missing value is null. Bytes that are not
// UTF-8 become U+FFFD.
void writeJson(std::ostream &out, const std::vector<DesktopRows> &tables);

} // namespace hotsynctool
