#pragma once

// The field visitors behind the typed arguments of DlpCommands.h. Each
// argument struct lists its fields once, in wire order, in a visit()
// member; the visitors below read them from bytes, write them to bytes and
// print them, so decoding, encoding and the trace text cannot disagree.

#include "palmlink/ByteIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace palmlink::dlp {

// A date as the protocol sends it. Every byte is kept (the unused one
// too): devices send whatever was in memory there.
struct DateTime {
    std::uint16_t year = 0; // 0 = no date
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t unused = 0;

    // From and to seconds since 1970 in UTC; year 0 stands for "never"
    // and reads as 0.
    static DateTime fromUnix(std::int64_t seconds);
    std::int64_t toUnix() const;
    std::string text() const;
    friend bool operator==(const DateTime &, const DateTime &) = default;
};

class FieldReader {
public:
    explicit FieldReader(ByteReader &r) : r_(r) {}
    void u8(const char *name, std::uint8_t &v) { v = r_.u8(name); }
    void u16(const char *name, std::uint16_t &v) { v = r_.u16(name); }
    void u32(const char *name, std::uint32_t &v) { v = r_.u32(name); }
    void fourCc(const char *name, std::uint32_t &v) { v = r_.u32(name); }
    void date(const char *name, DateTime &d);
    void cstring(const char *name, std::string &v) { v = r_.cstring(name); }
    // Exactly `count` bytes of text or of data.
    void text(const char *name, std::string &v, std::size_t count);
    void bytes(const char *name, Bytes &v, std::size_t count) { v = r_.bytes(count, name); }
    void rest(const char *, Bytes &v) { v = r_.rest(); }
    void u32List(const char *name, std::vector<std::uint32_t> &v, std::size_t count);
    template <class T> void list(const char *, std::vector<T> &v, std::size_t count)
    {
        v.clear();
        for (std::size_t i = 0; i < count; ++i) {
            T item;
            item.visit(*this);
            v.push_back(std::move(item));
        }
    }
    void check(bool ok, const char *what)
    {
        if (!ok)
            throw DecodeError(what);
    }

private:
    ByteReader &r_;
};

class FieldWriter {
public:
    explicit FieldWriter(ByteWriter &w) : w_(w) {}
    void u8(const char *, const std::uint8_t &v) { w_.u8(v); }
    void u16(const char *, const std::uint16_t &v) { w_.u16(v); }
    void u32(const char *, const std::uint32_t &v) { w_.u32(v); }
    void fourCc(const char *, const std::uint32_t &v) { w_.u32(v); }
    void date(const char *, const DateTime &d);
    void cstring(const char *, const std::string &v) { w_.cstring(v); }
    void text(const char *, const std::string &v, std::size_t) { w_.text(v); }
    void bytes(const char *, const Bytes &v, std::size_t) { w_.bytes(v); }
    void rest(const char *, const Bytes &v) { w_.bytes(v); }
    void u32List(const char *, const std::vector<std::uint32_t> &v, std::size_t)
    {
        for (std::uint32_t x : v)
            w_.u32(x);
    }
    template <class T> void list(const char *, const std::vector<T> &v, std::size_t)
    {
        for (const T &item : v)
            const_cast<T &>(item).visit(*this);
    }
    void check(bool, const char *) {}

private:
    ByteWriter &w_;
};

// "name=value" pairs separated by blanks; lists and long data on lines of
// their own, indented.
class FieldPrinter {
public:
    FieldPrinter(std::string &out, int indent) : out_(out), indent_(indent) {}
    void u8(const char *name, const std::uint8_t &v) { number(name, v, 2); }
    void u16(const char *name, const std::uint16_t &v) { number(name, v, 4); }
    void u32(const char *name, const std::uint32_t &v) { number(name, v, 8); }
    void fourCc(const char *name, const std::uint32_t &v);
    void date(const char *name, const DateTime &d);
    void cstring(const char *name, const std::string &v);
    void text(const char *name, const std::string &v, std::size_t) { cstring(name, v); }
    void bytes(const char *name, const Bytes &v, std::size_t) { data(name, v); }
    void rest(const char *name, const Bytes &v) { data(name, v); }
    void u32List(const char *name, const std::vector<std::uint32_t> &v, std::size_t);
    template <class T> void list(const char *name, const std::vector<T> &v, std::size_t)
    {
        for (std::size_t i = 0; i < v.size(); ++i) {
            newline();
            out_ += std::string(name) + "[" + std::to_string(i) + "]:";
            FieldPrinter inner(out_, indent_ + 2);
            const_cast<T &>(v[i]).visit(inner);
        }
    }
    void check(bool, const char *) {}

private:
    void number(const char *name, std::uint32_t v, int digits);
    void data(const char *name, const Bytes &v);
    void newline();
    void field(const char *name, const std::string &value);
    std::string &out_;
    int indent_;
};

// A quoted, escaped rendering of raw text bytes.
std::string quoted(const std::string &text);

} // namespace palmlink::dlp
