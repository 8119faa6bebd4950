#pragma once

#include <filesystem>
#include <iosfwd>

namespace hotsynctool {

// Prints a Palm database file: its header values, then one line per record
// (unique id, attribute bits, category, size, bytes in hex) or per resource
// (type, id, size, bytes). Raises palmsync::PalmDatabaseError for a file
// that is not a valid database.
void dumpDatabase(const std::filesystem::path &file, std::ostream &out);

} // namespace hotsynctool
