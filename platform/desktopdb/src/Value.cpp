#include "Value.h"

#include "desktopdb/DesktopDbError.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace desktopdb::detail {

namespace {

std::string trimmed(const std::string &text)
{
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    auto begin = std::find_if(text.begin(), text.end(), notSpace);
    auto end = std::find_if(text.rbegin(), text.rend(), notSpace).base();
    return begin < end ? std::string(begin, end) : std::string();
}

std::string lower(std::string text)
{
    for (auto &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseInt64(const std::string &text, std::int64_t &out)
{
    const char *first = text.data();
    const char *last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return false;
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

bool parseDouble(const std::string &text, double &out)
{
    const char *first = text.data();
    const char *last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return false;
    auto [ptr, ec] = std::from_chars(first, last, out, std::chars_format::general);
    return ec == std::errc() && ptr == last && std::isfinite(out);
}

// -1 when the text is no Boolean word.
int parseBooleanWord(const std::string &text)
{
    const std::string word = lower(text);
    if (word == "true" || word == "t" || word == "yes" || word == "y" || word == "on")
        return 1;
    if (word == "false" || word == "f" || word == "no" || word == "n" || word == "off")
        return 0;
    return -1;
}

bool parseDate(const std::string &text, DateTime &out)
{
    if (text.size() < 10 || text[4] != '-')
        return false;
    try {
        out = isoTextToDateTime(text);
        return true;
    } catch (const DesktopDbError &) {
        return false;
    }
}

std::int64_t roundToInt64(double value, const std::string &shown)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0)
        throw DesktopDbError("'" + shown + "' is not a valid integer value");
    return static_cast<std::int64_t>(rounded);
}

} // namespace

std::string doubleToText(double value)
{
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
}

std::int64_t toInt64(const Value &value)
{
    if (const auto *i = std::get_if<std::int64_t>(&value))
        return *i;
    if (const auto *d = std::get_if<double>(&value))
        return roundToInt64(*d, doubleToText(*d));
    if (isNull(value))
        return 0;
    const std::string text = trimmed(std::get<std::string>(value));
    std::int64_t i = 0;
    double d = 0;
    DateTime date = 0;
    if (text.empty())
        return 0;
    if (parseInt64(text, i))
        return i;
    if (parseDouble(text, d))
        return roundToInt64(d, text);
    if (const int b = parseBooleanWord(text); b >= 0)
        return b;
    if (parseDate(text, date))
        return static_cast<std::int64_t>(date);
    throw DesktopDbError("'" + text + "' is not a valid integer value");
}

double toDouble(const Value &value)
{
    if (const auto *d = std::get_if<double>(&value))
        return *d;
    if (const auto *i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    if (isNull(value))
        return 0.0;
    const std::string text = trimmed(std::get<std::string>(value));
    double d = 0;
    DateTime date = 0;
    if (text.empty())
        return 0.0;
    if (parseDouble(text, d))
        return d;
    if (const int b = parseBooleanWord(text); b >= 0)
        return b;
    if (parseDate(text, date))
        return date;
    throw DesktopDbError("'" + text + "' is not a valid floating point value");
}

bool toBoolean(const Value &value)
{
    if (const auto *i = std::get_if<std::int64_t>(&value))
        return *i != 0;
    if (const auto *d = std::get_if<double>(&value))
        return *d != 0.0;
    if (isNull(value))
        return false;
    const std::string text = trimmed(std::get<std::string>(value));
    double d = 0;
    if (text.empty())
        return false;
    if (const int b = parseBooleanWord(text); b >= 0)
        return b == 1;
    if (parseDouble(text, d))
        return d != 0.0;
    throw DesktopDbError("'" + text + "' is not a valid Boolean value");
}

DateTime toDateTime(const Value &value)
{
    if (const auto *d = std::get_if<double>(&value))
        return *d;
    if (const auto *i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    if (isNull(value))
        return 0.0;
    const std::string text = trimmed(std::get<std::string>(value));
    DateTime date = 0;
    double d = 0;
    if (text.empty())
        return 0.0;
    if (parseDate(text, date))
        return date;
    if (parseDouble(text, d))
        return d;
    throw DesktopDbError("'" + text + "' is not a valid date");
}

std::string toText(const Value &value)
{
    if (const auto *s = std::get_if<std::string>(&value))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&value))
        return std::to_string(*i);
    if (const auto *d = std::get_if<double>(&value))
        return doubleToText(*d);
    return std::string();
}

std::size_t utf8Length(const std::string &text)
{
    std::size_t count = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xe0) == 0xc0) {
            extra = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            throw DesktopDbError("Text is not valid UTF-8");
        }
        if (static_cast<std::size_t>(end - p) < extra + 1)
            throw DesktopDbError("Text is not valid UTF-8");
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((p[k] & 0xc0) != 0x80)
                throw DesktopDbError("Text is not valid UTF-8");
            cp = (cp << 6) | (p[k] & 0x3f);
        }
        static const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            throw DesktopDbError("Text is not valid UTF-8");
        p += extra + 1;
        ++count;
    }
    return count;
}

std::string utf8Prefix(const std::string &text, std::size_t maxChars)
{
    std::size_t pos = 0;
    for (std::size_t chars = 0; pos < text.size() && chars < maxChars; ++chars) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xc0) == 0x80)
            ++pos;
    }
    return text.substr(0, pos);
}

Value toStorage(const FieldDef &def, const Value &value)
{
    if (isNull(value))
        return value;
    if (def.type != FieldType::String) {
        if (const auto *s = std::get_if<std::string>(&value); s && trimmed(*s).empty())
            return std::monostate{};
    }
    switch (def.type) {
    case FieldType::AutoInc:
    case FieldType::Integer: {
        const std::int64_t i = toInt64(value);
        if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
            throw DesktopDbError("Value " + std::to_string(i) + " is out of range for field '" + def.name + "'");
        return i;
    }
    case FieldType::Boolean:
        return static_cast<std::int64_t>(toBoolean(value) ? 1 : 0);
    case FieldType::Float:
    case FieldType::Money: {
        const double d = toDouble(value);
        if (!std::isfinite(d))
            throw DesktopDbError("Field '" + def.name + "' cannot hold a value that is not a finite number");
        return d;
    }
    case FieldType::Date:
        return dateToIsoText(toDateTime(value));
    case FieldType::String: {
        std::string text = toText(value);
        utf8Length(text); // rejects text that is not UTF-8
        if (def.size > 0)
            text = utf8Prefix(text, static_cast<std::size_t>(def.size));
        return text;
    }
    }
    return value;
}

} // namespace desktopdb::detail
