#include "palmlink/ByteIo.h"

#include <algorithm>

namespace palmlink {

void ByteReader::need(std::size_t count, const char *what) const
{
    if (count > remaining())
        throw DecodeError(std::string(what) + ": needs " + std::to_string(count) + " bytes at offset " +
                          std::to_string(pos_) + ", only " + std::to_string(remaining()) + " left");
}

std::uint8_t ByteReader::u8(const char *what)
{
    need(1, what);
    return bytes_[pos_++];
}

std::uint16_t ByteReader::u16(const char *what)
{
    need(2, what);
    auto v = static_cast<std::uint16_t>(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
    pos_ += 2;
    return v;
}

std::uint32_t ByteReader::u32(const char *what)
{
    need(4, what);
    std::uint32_t v = std::uint32_t{bytes_[pos_]} << 24 | std::uint32_t{bytes_[pos_ + 1]} << 16 |
                      std::uint32_t{bytes_[pos_ + 2]} << 8 | bytes_[pos_ + 3];
    pos_ += 4;
    return v;
}

Bytes ByteReader::bytes(std::size_t count, const char *what)
{
    need(count, what);
    Bytes v(bytes_.begin() + pos_, bytes_.begin() + pos_ + count);
    pos_ += count;
    return v;
}

std::string ByteReader::cstring(const char *what)
{
    auto begin = bytes_.begin() + pos_;
    auto zero = std::find(begin, bytes_.end(), 0);
    if (zero == bytes_.end())
        throw DecodeError(std::string(what) + ": text at offset " + std::to_string(pos_) + " has no terminating zero");
    std::string v(begin, zero);
    pos_ += v.size() + 1;
    return v;
}

Bytes ByteReader::rest()
{
    Bytes v(bytes_.begin() + pos_, bytes_.end());
    pos_ = bytes_.size();
    return v;
}

void ByteReader::skip(std::size_t count, const char *what)
{
    need(count, what);
    pos_ += count;
}

void ByteReader::expectEnd(const char *what) const
{
    if (!atEnd())
        throw DecodeError(std::string(what) + ": " + std::to_string(remaining()) + " bytes left over at offset " +
                          std::to_string(pos_));
}

ByteWriter &ByteWriter::u8(std::uint8_t v)
{
    out_.push_back(v);
    return *this;
}

ByteWriter &ByteWriter::u16(std::uint16_t v)
{
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    out_.push_back(static_cast<std::uint8_t>(v));
    return *this;
}

ByteWriter &ByteWriter::u32(std::uint32_t v)
{
    u16(static_cast<std::uint16_t>(v >> 16));
    return u16(static_cast<std::uint16_t>(v));
}

ByteWriter &ByteWriter::bytes(std::span<const std::uint8_t> v)
{
    out_.insert(out_.end(), v.begin(), v.end());
    return *this;
}

ByteWriter &ByteWriter::text(const std::string &v)
{
    out_.insert(out_.end(), v.begin(), v.end());
    return *this;
}

ByteWriter &ByteWriter::cstring(const std::string &v)
{
    text(v);
    return u8(0);
}

std::string toHex(std::span<const std::uint8_t> bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

Bytes fromHex(const std::string &hex)
{
    auto nibble = [&](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw DecodeError(std::string("not a hex digit: '") + c + "'");
    };
    if (hex.size() % 2 != 0)
        throw DecodeError("hex text of odd length " + std::to_string(hex.size()));
    Bytes out(hex.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
    return out;
}

std::uint32_t fourCc(const char (&text)[5])
{
    return fourCc(std::string(text, 4));
}

std::uint32_t fourCc(const std::string &text)
{
    if (text.size() != 4)
        throw std::invalid_argument("a type or creator has four characters, not \"" + text + "\"");
    std::uint32_t v = 0;
    for (char c : text)
        v = v << 8 | static_cast<std::uint8_t>(c);
    return v;
}

std::string fourCcText(std::uint32_t value)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>(value >> shift & 0xFF));
    return s;
}

} // namespace palmlink
