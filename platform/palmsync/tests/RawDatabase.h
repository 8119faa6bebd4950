#pragma once

// Hand-built Palm database files for the tests, laid out byte by byte
// without the library's writer, so the reader is checked against the format
// itself.

#include <cstdint>
#include <string>
#include <vector>

namespace palmsync::test {

struct RawRecord {
    std::uint8_t attributeByte = 0; // attribute bits and category together
    std::uint32_t uniqueId = 0;
    std::vector<std::uint8_t> data;
};

struct RawDatabase {
    std::vector<std::uint8_t> nameField; // 32 bytes
    std::uint16_t attributes = 0;
    std::uint16_t version = 1;
    std::uint32_t creationDate = 0xB0000000;
    std::uint32_t modificationDate = 0xB1000000;
    std::uint32_t backupDate = 0;
    std::uint32_t modificationNumber = 7;
    std::string type = "DATA";
    std::string creator = "KLXC";
    std::uint32_t uniqueIdSeed = 0;
    std::size_t gap = 2;               // bytes between the record list and the first block
    std::vector<std::uint8_t> appInfo; // none when empty
    std::vector<std::uint8_t> sortInfo;
    std::vector<RawRecord> records;

    RawDatabase();
    void setName(const std::string &name);
    std::vector<std::uint8_t> bytes() const;

    // Offsets in the bytes() result, for corrupting a file in one place.
    static constexpr std::size_t kAppInfoOffsetAt = 52;
    static constexpr std::size_t kSortInfoOffsetAt = 56;
    static constexpr std::size_t kNextListAt = 72;
    static constexpr std::size_t kCountAt = 76;
    static std::size_t entryAt(std::size_t i) { return 78 + 8 * i; }
};

// A database with app-info and sort-info blocks and three records, one
// deleted and in category 3.
RawDatabase sampleDatabase();

void put16(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v);
void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v);
std::vector<std::uint8_t> bytesOf(const std::string &text);

} // namespace palmsync::test
