#pragma once

// Bounded big-endian reading and writing. Every read checks that the bytes
// are there and raises DecodeError naming what was being read when they are
// not, so a short or hostile input never reads past its end.

#include "palmlink/LinkError.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace palmlink {

using Bytes = std::vector<std::uint8_t>;

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t u8(const char *what);
    std::uint16_t u16(const char *what);
    std::uint32_t u32(const char *what);
    Bytes bytes(std::size_t count, const char *what);
    // Up to and without the terminating zero, which is consumed.
    std::string cstring(const char *what);
    Bytes rest();
    void skip(std::size_t count, const char *what);

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }
    // Raises when bytes are left over.
    void expectEnd(const char *what) const;

private:
    void need(std::size_t count, const char *what) const;
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

class ByteWriter {
public:
    ByteWriter &u8(std::uint8_t v);
    ByteWriter &u16(std::uint16_t v);
    ByteWriter &u32(std::uint32_t v);
    ByteWriter &bytes(std::span<const std::uint8_t> v);
    ByteWriter &text(const std::string &v);    // without terminator
    ByteWriter &cstring(const std::string &v); // with terminator

    const Bytes &data() const { return out_; }
    Bytes take() { return std::move(out_); }
    std::size_t size() const { return out_.size(); }

private:
    Bytes out_;
};

// Lower-case hex without separators, as the recordings store bytes.
std::string toHex(std::span<const std::uint8_t> bytes);
// Raises DecodeError on an odd length or a non-hex character.
Bytes fromHex(const std::string &hex);

// Four characters packed big-endian, as Palm OS stores types and creators.
std::uint32_t fourCc(const char (&text)[5]);
std::uint32_t fourCc(const std::string &text);
std::string fourCcText(std::uint32_t value);

} // namespace palmlink
