#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace registry {

// The line format shared by the files under the host root: one record per
// line, fields separated by a TAB. Inside a field a backslash, TAB, line
// feed, carriage return and every other control character are escaped
// ("\\", "\t", "\n", "\r", "\xHH"), so any text, binary-safe, fits one field.
std::string escapeField(std::string_view text);
// Reverses escapeField; raises a RegistryError for a malformed escape.
std::string unescapeField(std::string_view field);

// Joins escaped fields into one line (without the line end).
std::string joinFields(const std::vector<std::string> &fields);
// Splits one line at its TABs and unescapes each field.
std::vector<std::string> splitFields(std::string_view line);

// Splits a file's text into lines; a final line end is optional. Raises
// when the text holds a carriage return or a NUL outside an escape, which
// this format never writes.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace registry
