#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace desktopdb {

// One stored value in SQLite's storage classes: NULL, INTEGER, REAL, TEXT.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;
using SqlRow = std::vector<SqlValue>;

} // namespace desktopdb
