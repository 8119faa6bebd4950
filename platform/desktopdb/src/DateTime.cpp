#include "desktopdb/DateTime.h"

#include "desktopdb/DesktopDbError.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace desktopdb {

namespace {

// Day 0 of the desktop's date-time values, 1899-12-30, counted from
// 1970-01-01 in the proleptic Gregorian calendar.
constexpr std::int64_t kEpochOffset = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool isLeap(std::int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(std::int64_t y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool digitsAt(const std::string &text, std::size_t pos, std::size_t count, unsigned &out)
{
    if (pos + count > text.size())
        return false;
    out = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        out = out * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// Checks an optional time of day "HH:MM[:SS[.fff]]" starting at pos, with an
// optional zone suffix ("Z", "+HH:MM", "-HHMM").
bool validTimeAt(const std::string &text, std::size_t pos)
{
    unsigned hour = 0, minute = 0, second = 0;
    if (!digitsAt(text, pos, 2, hour) || pos + 2 >= text.size() || text[pos + 2] != ':' ||
        !digitsAt(text, pos + 3, 2, minute) || hour > 23 || minute > 59)
        return false;
    pos += 5;
    if (pos < text.size() && text[pos] == ':') {
        if (!digitsAt(text, pos + 1, 2, second) || second > 59)
            return false;
        pos += 3;
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            std::size_t end = pos + 1;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9')
                ++end;
            if (end == pos + 1)
                return false;
            pos = end;
        }
    }
    if (pos == text.size())
        return true;
    if (text[pos] == 'Z' || text[pos] == 'z')
        return pos + 1 == text.size();
    if (text[pos] == '+' || text[pos] == '-') {
        unsigned zh = 0, zm = 0;
        if (!digitsAt(text, pos + 1, 2, zh))
            return false;
        std::size_t rest = pos + 3;
        if (rest == text.size())
            return true;
        if (text[rest] == ':')
            ++rest;
        return digitsAt(text, rest, 2, zm) && rest + 2 == text.size();
    }
    return false;
}

} // namespace

std::string dateToIsoText(DateTime value)
{
    if (!std::isfinite(value))
        throw DesktopDbError("Invalid date-time value");
    // The whole days carry the date, also for negative values: -1.25 is
    // 1899-12-29 06:00, as the desktop's date-time values count.
    const double whole = std::trunc(value);
    if (whole < -693593.0 || whole > 2958465.0) // 0001-01-01 .. 9999-12-31
        throw DesktopDbError("Date-time value " + std::to_string(value) + " is outside the years 1 to 9999");
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(static_cast<std::int64_t>(whole) + kEpochOffset, y, m, d);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(y), m, d);
    return buffer;
}

DateTime isoTextToDateTime(const std::string &text)
{
    unsigned year = 0, month = 0, day = 0;
    const bool dateOk = digitsAt(text, 0, 4, year) && text.size() >= 10 && text[4] == '-' &&
                        digitsAt(text, 5, 2, month) && text[7] == '-' && digitsAt(text, 8, 2, day) && year >= 1 &&
                        month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
    bool restOk = dateOk && text.size() == 10;
    if (dateOk && !restOk && (text[10] == 'T' || text[10] == 't' || text[10] == ' '))
        restOk = validTimeAt(text, 11);
    if (!restOk)
        throw DesktopDbError("'" + text + "' is not a valid date");
    return static_cast<DateTime>(daysFromCivil(year, month, day) - kEpochOffset);
}

} // namespace desktopdb
