#pragma once

#include "desktopdb/DateTime.h"
#include "desktopdb/Field.h"
#include "desktopdb/SqlValue.h"

#include <cstdint>
#include <string>
#include <variant>

namespace desktopdb::detail {

using Value = SqlValue;

inline bool isNull(const Value &value)
{
    return std::holds_alternative<std::monostate>(value);
}

// Readers that accept what other programs may have stored: text digits in a
// number column, "true"/"false" in a Boolean column, a date text or a day
// number in a date column. NULL reads as 0, false, "" or date-time 0. A value
// that cannot be read in the asked form raises DesktopDbError.
std::int64_t toInt64(const Value &value);
double toDouble(const Value &value);
bool toBoolean(const Value &value);
DateTime toDateTime(const Value &value);
std::string toText(const Value &value);

// The value in the form a column of the given type stores: INTEGER and
// BOOLEAN as integers (0/1), FLOAT and MONEY as REAL, DATE as "YYYY-MM-DD",
// VARCHAR(n) as UTF-8 text of at most n characters. An empty text stores
// NULL in a column that is not text.
Value toStorage(const FieldDef &def, const Value &value);

// Number of characters (code points) of UTF-8 text; raises on invalid UTF-8.
std::size_t utf8Length(const std::string &text);
// The first maxChars characters of valid UTF-8 text.
std::string utf8Prefix(const std::string &text, std::size_t maxChars);

std::string doubleToText(double value);

} // namespace desktopdb::detail
