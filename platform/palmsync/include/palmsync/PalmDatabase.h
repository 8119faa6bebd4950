#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

// Palm database files (.pdb record databases, .prc resource databases) as
// the handheld stores them: a 78-byte header, the list of record or
// resource entries, then the app-info block, the sort-info block and the
// data blocks. All numbers are big-endian.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace palmsync {

// A file that is not a well-formed Palm database, or that cannot be read or
// written; the message names the file and the fault.
class PalmDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PalmRecord {
    std::uint8_t attributes = 0; // 0x80 deleted, 0x40 dirty, 0x20 busy, 0x10 secret
    std::uint8_t category = 0;   // 0 to 15
    std::uint32_t uniqueId = 0;  // 24 bits
    std::vector<std::uint8_t> data;

    friend bool operator==(const PalmRecord &, const PalmRecord &) = default;
};

struct PalmResource {
    std::string type; // four characters
    std::uint16_t id = 0;
    std::vector<std::uint8_t> data;

    friend bool operator==(const PalmResource &, const PalmResource &) = default;
};

// The header values as stored. Dates are kept raw: seconds since 1904 when
// the top bit is set, else seconds since 1970 (some writers use that).
struct PalmDatabaseHeader {
    std::array<std::uint8_t, 32> rawName{}; // zero-terminated; bytes after the zero kept as read
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::uint32_t backupDate = 0;
    std::uint32_t modificationNumber = 0;
    std::array<char, 4> type{};
    std::array<char, 4> creator{};
    std::uint32_t uniqueIdSeed = 0;

    friend bool operator==(const PalmDatabaseHeader &, const PalmDatabaseHeader &) = default;
};

class PalmDatabase {
public:
    static constexpr std::uint16_t kAttrResourceDatabase = 0x0001;
    static constexpr std::uint16_t kAttrBackup = 0x0008;
    static constexpr std::size_t kHeaderSize = 78;
    static constexpr std::size_t kMaxNameLength = 31;
    static constexpr std::uint32_t kMaxUniqueId = 0xFFFFFF;
    // No Palm OS handheld has more memory than this, so no database file
    // is larger; a larger file is refused before it is read.
    static constexpr std::uintmax_t kMaxFileSize = 256u << 20;
    // Seconds between 1 January 1904 and 1 January 1970.
    static constexpr std::int64_t kEpoch1904Offset = 2082844800;

    PalmDatabase() = default;

    // A new, empty database; dates are set from unixNow in the 1904 epoch.
    static PalmDatabase createRecordDatabase(const std::string &name, const std::string &type,
                                             const std::string &creator, std::int64_t unixNow);
    static PalmDatabase createResourceDatabase(const std::string &name, const std::string &type,
                                               const std::string &creator, std::int64_t unixNow);

    // Reads and checks a whole file; raises PalmDatabaseError naming the
    // file. What is not a regular file, or is larger than kMaxFileSize, is
    // refused before it is read.
    static PalmDatabase load(const std::filesystem::path &file);
    // Checks and decodes the bytes of a file; `source` names it in errors.
    static PalmDatabase parse(std::span<const std::uint8_t> bytes, const std::string &source);

    // The file's bytes: header, entries, two zero placeholder bytes, blocks.
    std::vector<std::uint8_t> serialize() const;
    // Writes the file atomically: the old file stays whole when this fails.
    void save(const std::filesystem::path &file) const;

    std::string name() const; // the name up to its terminator
    void setName(const std::string &name);
    std::string type() const;
    std::string creator() const;
    bool isResourceDatabase() const { return (header.attributes & kAttrResourceDatabase) != 0; }

    // True when the dates of this file count from 1970 rather than 1904.
    bool usesUnixEpoch() const;
    // A file date as seconds since 1970, whichever epoch it was stored in.
    static std::int64_t toUnixTime(std::uint32_t fileDate);

    // Marks a rewrite: bumps the modification number and sets the
    // modification date to unixNow in the epoch the file uses.
    void touch(std::int64_t unixNow);

    // A fresh unique id for a new record: above every id in the database,
    // the seed and every id handed out or seen before by this object (so an
    // id removed earlier is not reused); never 0; raises when 24 bits are
    // exhausted. The seed is moved up to it.
    std::uint32_t allocateUniqueId();
    // Ids handed out by `other` (an earlier copy of this database whose
    // changes were dropped) are not handed out again.
    void keepUniqueIdsAbove(const PalmDatabase &other);

    // Position of the record with that unique id, or -1.
    int indexOfRecord(std::uint32_t uniqueId) const;

    PalmDatabaseHeader header;
    std::optional<std::vector<std::uint8_t>> appInfo;
    std::optional<std::vector<std::uint8_t>> sortInfo;
    std::vector<PalmRecord> records;     // record databases
    std::vector<PalmResource> resources; // resource databases

private:
    void noteUniqueId(std::uint32_t id);
    std::uint32_t highWater_ = 0;
    std::size_t scannedRecords_ = 0;
    mutable std::unordered_map<std::uint32_t, std::size_t> positions_;

};

} // namespace palmsync

#pragma GCC visibility pop
