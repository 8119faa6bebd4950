#include "palmlink/DlpFields.h"

#include <cstdio>
#include <ctime>

namespace palmlink::dlp {

DateTime DateTime::fromUnix(std::int64_t seconds)
{
    if (seconds <= 0)
        return {};
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    DateTime d;
    d.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
    d.month = static_cast<std::uint8_t>(tm.tm_mon + 1);
    d.day = static_cast<std::uint8_t>(tm.tm_mday);
    d.hour = static_cast<std::uint8_t>(tm.tm_hour);
    d.minute = static_cast<std::uint8_t>(tm.tm_min);
    d.second = static_cast<std::uint8_t>(tm.tm_sec);
    return d;
}

std::int64_t DateTime::toUnix() const
{
    if (year == 0)
        return 0;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&tm));
}

std::string DateTime::text() const
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", year, month, day, hour, minute, second);
    std::string s = buf;
    if (unused != 0)
        s += "+" + std::to_string(unused);
    return s;
}

void FieldReader::date(const char *name, DateTime &d)
{
    d.year = r_.u16(name);
    d.month = r_.u8(name);
    d.day = r_.u8(name);
    d.hour = r_.u8(name);
    d.minute = r_.u8(name);
    d.second = r_.u8(name);
    d.unused = r_.u8(name);
}

void FieldReader::text(const char *name, std::string &v, std::size_t count)
{
    Bytes b = r_.bytes(count, name);
    v.assign(b.begin(), b.end());
}

void FieldReader::u32List(const char *name, std::vector<std::uint32_t> &v, std::size_t count)
{
    if (count * 4 > r_.remaining())
        throw DecodeError(std::string(name) + ": " + std::to_string(count) + " entries do not fit in " +
                          std::to_string(r_.remaining()) + " bytes");
    v.clear();
    for (std::size_t i = 0; i < count; ++i)
        v.push_back(r_.u32(name));
}

void FieldWriter::date(const char *, const DateTime &d)
{
    w_.u16(d.year).u8(d.month).u8(d.day).u8(d.hour).u8(d.minute).u8(d.second).u8(d.unused);
}

std::string quoted(const std::string &text)
{
    std::string s = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            s += buf;
        }
    }
    return s + "\"";
}

void FieldPrinter::newline()
{
    out_ += "\n" + std::string(static_cast<std::size_t>(indent_), ' ');
}

void FieldPrinter::field(const char *name, const std::string &value)
{
    if (!out_.empty() && out_.back() != '\n' && out_.back() != ' ' && out_.back() != ':')
        out_ += ' ';
    else if (!out_.empty() && out_.back() == ':')
        out_ += ' ';
    out_ += name;
    out_ += '=';
    out_ += value;
}

void FieldPrinter::number(const char *name, std::uint32_t v, int digits)
{
    char buf[32];
    if (v < 10)
        std::snprintf(buf, sizeof buf, "%u", v);
    else
        std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    field(name, buf);
}

void FieldPrinter::fourCc(const char *name, const std::uint32_t &v)
{
    field(name, quoted(fourCcText(v)));
}

void FieldPrinter::date(const char *name, const DateTime &d)
{
    field(name, d.text());
}

void FieldPrinter::cstring(const char *name, const std::string &v)
{
    field(name, quoted(v));
}

void FieldPrinter::u32List(const char *name, const std::vector<std::uint32_t> &v, std::size_t)
{
    std::string s = "[";
    for (std::size_t i = 0; i < v.size(); ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%s0x%06X", i ? " " : "", v[i]);
        s += buf;
    }
    field(name, s + "]");
}

void FieldPrinter::data(const char *name, const Bytes &v)
{
    constexpr std::size_t shown = 32;
    std::string s = "(" + std::to_string(v.size()) + " bytes)";
    if (!v.empty())
        s += " " + toHex(std::span(v).first(std::min(v.size(), shown))) + (v.size() > shown ? "..." : "");
    field(name, s);
}

} // namespace palmlink::dlp
