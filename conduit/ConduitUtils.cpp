#include "ConduitUtils.h"

#include "com/ComError.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace conduit {

namespace {

constexpr double MSecsPerDay = 86400000.0;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 to the given date (proleptic Gregorian).
long long daysFromCivilStart(int year, int month, int day)
{
    long long y = year - 1;
    long long days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += daysInMonth(year, m);
    return days + day - 1;
}

// Day number of 1899-12-30 counted from 0001-01-01.
const long long DateDelta = daysFromCivilStart(1899, 12, 30);

void civilFromDays(long long n, int &year, int &month, int &day)
{
    // n counts days from 0001-01-01; 400 years have 146097 days.
    long long y400 = n / 146097;
    n %= 146097;
    long long y100 = n / 36524;
    if (y100 == 4)
        y100 = 3;
    n -= y100 * 36524;
    long long y4 = n / 1461;
    n %= 1461;
    long long y1 = n / 365;
    if (y1 == 4)
        y1 = 3;
    n -= y1 * 365;
    year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    month = 1;
    while (n >= daysInMonth(year, month)) {
        n -= daysInMonth(year, month);
        ++month;
    }
    day = static_cast<int>(n) + 1;
}

std::string invalidInteger(const std::string &text) { return "'" + text + "' is not a valid integer value"; }

} // namespace

std::int32_t StrToInt(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        throw EConvertError(invalidInteger(text));
    long long value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            throw EConvertError(invalidInteger(text));
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            throw EConvertError(invalidInteger(text));
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        throw EConvertError(invalidInteger(text));
    return static_cast<std::int32_t>(value);
}

double StrToFloat(const std::string &text)
{
    // sign, digits, optional "." digits, optional exponent; at least one digit.
    auto bad = [&]() { return EConvertError("'" + text + "' is not a valid floating point value"); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::size_t start = i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        throw bad();
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++expDigits;
        if (expDigits == 0)
            throw bad();
    }
    std::size_t end = i;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i != text.size())
        throw bad();
    std::string number = text.substr(start, end - start);
    if (!number.empty() && number[0] == '+')
        number.erase(0, 1);
    double value = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || ptr != number.data() + number.size() || !std::isfinite(value))
        throw bad();
    return value;
}

std::string FloatToStr(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    // buf: [-]d.dddddddddddddde[+-]xx
    std::string s(buf, ec == std::errc() ? end : buf);
    bool negative = s[0] == '-';
    if (negative)
        s.erase(0, 1);
    std::size_t ePos = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);
    int exponent = std::atoi(s.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    bool plain = exponent + 1 <= 15 && std::fabs(value) >= 0.00001;
    if (plain) {
        if (exponent >= 0) {
            std::string intPart = digits.substr(0, std::min<std::size_t>(digits.size(), exponent + 1));
            while (static_cast<int>(intPart.size()) < exponent + 1)
                intPart += '0';
            out += intPart;
            if (static_cast<int>(digits.size()) > exponent + 1)
                out += "." + digits.substr(exponent + 1);
        } else {
            out += "0." + std::string(-exponent - 1, '0') + digits;
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

TDecimalPair FloatToDecimalPair(double value)
{
    std::string text = FloatToStr(value);
    std::size_t sep = text.find('.');
    if (sep != std::string::npos && text.find('E') == std::string::npos) {
        std::string digits = text.substr(sep + 1);
        if (digits.size() >= 3 && digits[0] == '0') {
            // The pair reads a fraction of three or more digits as that many
            // decimals, so a leading zero would be lost; two decimals keep
            // the value as close as the pair can carry it.
            double rounded = std::round(value * 100.0) / 100.0;
            text = FloatToStr(rounded);
            sep = text.find('.');
        }
    }
    TDecimalPair pair;
    if (sep == std::string::npos) {
        pair.Whole = StrToInt(text);
        pair.Fraction = 0;
        return pair;
    }
    std::string whole = text.substr(0, sep);
    std::string digits = text.substr(sep + 1);
    if (whole == "-0")
        throw EConvertError("'" + text + "' cannot be stored on the handheld: a value between -1 and 0 loses its sign there");
    pair.Whole = StrToInt(whole);
    if (digits.size() == 1)
        digits += '0';
    pair.Fraction = StrToInt(digits);
    return pair;
}

double DecimalPairToFloat(const TDecimalPair &pair)
{
    std::string text = std::to_string(pair.Whole) + "." + PadLeft(std::to_string(pair.Fraction), 2, '0');
    return StrToFloat(text);
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(daysFromCivilStart(year, month, day) - DateDelta);
}

namespace {

// Date-times from 0001-01-01 to 9999-12-31, the dates EncodeDate makes; a
// value outside them (another program may have stored anything) is refused
// before it is converted to a day count.
void checkDateRange(TDateTime value)
{
    constexpr double first = -693593.0;  // 0001-01-01
    constexpr double after = 2958466.0;  // 10000-01-01
    if (!std::isfinite(value) || value <= first - 1 || value >= after)
        throw EConvertError("Invalid argument to date decode");
}

} // namespace

void DecodeDateTime(TDateTime value, int &year, int &month, int &day, int &hour, int &minute, int &second,
                    int &millisecond)
{
    checkDateRange(value);
    double whole = std::trunc(value);
    long long msecs = std::llround(std::fabs(value - whole) * MSecsPerDay);
    long long days = static_cast<long long>(whole);
    if (msecs >= static_cast<long long>(MSecsPerDay)) {
        // Rounding reached the next midnight.
        msecs -= static_cast<long long>(MSecsPerDay);
        days += value < 0 ? -1 : 1;
    }
    civilFromDays(days + DateDelta, year, month, day);
    hour = static_cast<int>(msecs / 3600000);
    minute = static_cast<int>(msecs / 60000 % 60);
    second = static_cast<int>(msecs / 1000 % 60);
    millisecond = static_cast<int>(msecs % 1000);
}

int DayOfWeek(TDateTime value)
{
    checkDateRange(value);
    long long days = static_cast<long long>(std::trunc(value));
    // 1899-12-30 was a Saturday (7).
    long long dow = ((days % 7) + 7 + 6) % 7; // 0 = Sunday
    return static_cast<int>(dow) + 1;
}

THandheldDate DateTimeToHandheldDate(TDateTime value)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(value, y, mo, d, h, mi, s, ms);
    THandheldDate date;
    date.Second = static_cast<std::uint16_t>(s);
    date.Minute = static_cast<std::uint16_t>(mi);
    date.Hour = static_cast<std::uint16_t>(h);
    date.Day = static_cast<std::uint16_t>(d);
    date.Month = static_cast<std::uint16_t>(mo);
    date.Year = static_cast<std::uint16_t>(y);
    date.DayOfWeek = static_cast<std::uint16_t>(DayOfWeek(value));
    return date;
}

TDateTime HandheldDateToDateTime(const THandheldDate &date)
{
    TDateTime day = EncodeDate(date.Year, date.Month, date.Day);
    if (date.Hour > 23 || date.Minute > 59 || date.Second > 59)
        throw EConvertError("Invalid argument to time encode");
    double time = (date.Hour * 3600.0 + date.Minute * 60.0 + date.Second) / 86400.0;
    return day >= 0 ? day + time : day - time;
}

std::string PadLeft(const std::string &text, int minLength, char fill)
{
    if (static_cast<int>(text.size()) >= minLength)
        return text;
    return std::string(minLength - text.size(), fill) + text;
}

std::string AddTrailingBackslash(const std::string &folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + "/";
}

void WriteHotSyncLog(palmsync::IPDRecordAdapter *adapter, const std::string &text)
{
    std::string line = text;
    line.push_back('\0');
    com::check(adapter->AddLogEntry(line, -1, 0, 0));
}

} // namespace conduit
