#pragma once

#include <string>

namespace desktopdb {

// A date-time value: days since midnight of 30 December 1899, the time of day
// as the fraction of a day (the desktop's TDateTime).
using DateTime = double;

// "YYYY-MM-DD" of the calendar date of a date-time (time of day dropped).
std::string dateToIsoText(DateTime value);
// Midnight of an ISO 8601 date ("YYYY-MM-DD", optionally followed by a
// time "THH:MM[:SS[.fff]]" or " HH:MM..."); throws DesktopDbError when the
// text is not a date.
DateTime isoTextToDateTime(const std::string &text);

} // namespace desktopdb
