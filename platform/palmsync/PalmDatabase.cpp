#include "palmsync/PalmDatabase.h"

#include "fileio/DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unordered_map>

namespace palmsync {

namespace {

constexpr std::size_t kRecordEntrySize = 8;
constexpr std::size_t kResourceEntrySize = 10;
constexpr std::size_t kPlaceholderSize = 2;

std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

std::uint32_t get24(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} << 16 | std::uint32_t{b[at + 1]} << 8 | b[at + 2];
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void put16(std::vector<std::uint8_t> &out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put24(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v >> 16));
    put16(out, static_cast<std::uint16_t>(v));
}

std::array<char, 4> fourChars(const std::string &text, const char *what)
{
    if (text.size() != 4)
        throw PalmDatabaseError(std::string("A database ") + what + " has four characters, not \"" + text + "\"");
    return {text[0], text[1], text[2], text[3]};
}

std::string hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

// One data block of the file in the order the blocks are stored.
struct Block {
    std::string what;
    std::uint32_t offset;
};

PalmDatabase createDatabase(const std::string &name, const std::string &type, const std::string &creator,
                            std::int64_t unixNow, bool resource)
{
    PalmDatabase db;
    db.setName(name);
    db.header.type = fourChars(type, "type");
    db.header.creator = fourChars(creator, "creator");
    if (resource)
        db.header.attributes = PalmDatabase::kAttrResourceDatabase;
    auto now = static_cast<std::uint32_t>(unixNow + PalmDatabase::kEpoch1904Offset);
    db.header.creationDate = now;
    db.header.modificationDate = now;
    return db;
}

} // namespace

PalmDatabase PalmDatabase::createRecordDatabase(const std::string &name, const std::string &type,
                                                const std::string &creator, std::int64_t unixNow)
{
    return createDatabase(name, type, creator, unixNow, false);
}

PalmDatabase PalmDatabase::createResourceDatabase(const std::string &name, const std::string &type,
                                                  const std::string &creator, std::int64_t unixNow)
{
    return createDatabase(name, type, creator, unixNow, true);
}

PalmDatabase PalmDatabase::load(const std::filesystem::path &file)
{
    std::vector<std::uint8_t> bytes;
    try {
        bytes = fileio::readFile(file, kMaxFileSize);
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
    return parse(bytes, file.string());
}

PalmDatabase PalmDatabase::parse(std::span<const std::uint8_t> b, const std::string &source)
{
    auto fault = [&](const std::string &what) { return PalmDatabaseError(source + ": " + what); };
    const std::size_t size = b.size();
    if (size < kHeaderSize)
        throw fault("the file is shorter than a database header (" + std::to_string(size) + " bytes)");

    PalmDatabase db;
    PalmDatabaseHeader &h = db.header;
    std::copy_n(b.begin(), h.rawName.size(), h.rawName.begin());
    if (std::find(h.rawName.begin(), h.rawName.end(), 0) == h.rawName.end())
        throw fault("the database name has no terminating zero byte");
    h.attributes = get16(b, 32);
    h.version = get16(b, 34);
    h.creationDate = get32(b, 36);
    h.modificationDate = get32(b, 40);
    h.backupDate = get32(b, 44);
    h.modificationNumber = get32(b, 48);
    const std::uint32_t appInfoOffset = get32(b, 52);
    const std::uint32_t sortInfoOffset = get32(b, 56);
    std::copy_n(b.begin() + 60, 4, h.type.begin());
    std::copy_n(b.begin() + 64, 4, h.creator.begin());
    h.uniqueIdSeed = get32(b, 68);
    const std::uint32_t nextListId = get32(b, 72);
    const std::size_t count = get16(b, 76);
    if (nextListId != 0)
        throw fault("chained record lists are not supported (next record list id " + hex(nextListId) + ")");

    const bool resource = db.isResourceDatabase();
    const std::size_t entrySize = resource ? kResourceEntrySize : kRecordEntrySize;
    const std::size_t listEnd = kHeaderSize + count * entrySize;
    if (listEnd > size)
        throw fault("the list of " + std::to_string(count) + " entries does not fit in the file (" +
                    std::to_string(size) + " bytes)");

    std::vector<Block> blocks;
    if (appInfoOffset != 0)
        blocks.push_back({"the app-info block", appInfoOffset});
    if (sortInfoOffset != 0)
        blocks.push_back({"the sort-info block", sortInfoOffset});
    const std::size_t firstEntryBlock = blocks.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kHeaderSize + i * entrySize + (resource ? 6 : 0);
        blocks.push_back({(resource ? "resource " : "record ") + std::to_string(i), get32(b, at)});
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Block &blk = blocks[i];
        if (blk.offset < listEnd)
            throw fault(blk.what + " starts at offset " + std::to_string(blk.offset) +
                        ", inside the header or the entry list (which end at " + std::to_string(listEnd) + ")");
        if (blk.offset > size)
            throw fault(blk.what + " starts at offset " + std::to_string(blk.offset) + ", past the end of the file (" +
                        std::to_string(size) + " bytes)");
        if (i > 0 && blk.offset < blocks[i - 1].offset)
            throw fault(blk.what + " starts at offset " + std::to_string(blk.offset) + ", before " +
                        blocks[i - 1].what + " at offset " + std::to_string(blocks[i - 1].offset) +
                        " (blocks out of order or overlapping)");
    }
    auto blockData = [&](std::size_t i) {
        std::size_t end = i + 1 < blocks.size() ? blocks[i + 1].offset : size;
        return std::vector<std::uint8_t>(b.begin() + blocks[i].offset, b.begin() + end);
    };
    std::size_t next = 0;
    if (appInfoOffset != 0)
        db.appInfo = blockData(next++);
    if (sortInfoOffset != 0)
        db.sortInfo = blockData(next++);

    std::unordered_map<std::uint32_t, std::size_t> seen;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kHeaderSize + i * entrySize;
        if (resource) {
            PalmResource r;
            r.type.assign(reinterpret_cast<const char *>(b.data() + at), 4);
            r.id = get16(b, at + 4);
            r.data = blockData(firstEntryBlock + i);
            db.resources.push_back(std::move(r));
        } else {
            PalmRecord r;
            r.attributes = b[at + 4] & 0xF0;
            r.category = b[at + 4] & 0x0F;
            r.uniqueId = get24(b, at + 5);
            auto [it, inserted] = seen.emplace(r.uniqueId, i);
            if (!inserted)
                throw fault("records " + std::to_string(it->second) + " and " + std::to_string(i) +
                            " share the unique id " + std::to_string(r.uniqueId));
            r.data = blockData(firstEntryBlock + i);
            db.noteUniqueId(r.uniqueId);
            db.records.push_back(std::move(r));
        }
    }
    return db;
}

std::vector<std::uint8_t> PalmDatabase::serialize() const
{
    const std::string what = "Cannot write database \"" + name() + "\": ";
    const bool resource = isResourceDatabase();
    const std::size_t count = resource ? resources.size() : records.size();
    if (count > 0xFFFF)
        throw PalmDatabaseError(what + "more than 65535 entries");
    if (resource && !records.empty())
        throw PalmDatabaseError(what + "a resource database cannot hold records");
    if (!resource && !resources.empty())
        throw PalmDatabaseError(what + "a record database cannot hold resources");

    const std::size_t entrySize = resource ? kResourceEntrySize : kRecordEntrySize;
    std::size_t offset = kHeaderSize + count * entrySize + kPlaceholderSize;
    std::uint64_t total = offset + (appInfo ? appInfo->size() : 0) + (sortInfo ? sortInfo->size() : 0);
    for (const auto &r : records)
        total += r.data.size();
    for (const auto &r : resources)
        total += r.data.size();
    if (total > 0xFFFFFFFFu)
        throw PalmDatabaseError(what + "the file would exceed 4 GB");

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    out.insert(out.end(), header.rawName.begin(), header.rawName.end());
    put16(out, header.attributes);
    put16(out, header.version);
    put32(out, header.creationDate);
    put32(out, header.modificationDate);
    put32(out, header.backupDate);
    put32(out, header.modificationNumber);
    auto blockOffset = [&](const std::optional<std::vector<std::uint8_t>> &block) -> std::uint32_t {
        if (!block)
            return 0;
        auto at = static_cast<std::uint32_t>(offset);
        offset += block->size();
        return at;
    };
    put32(out, blockOffset(appInfo));
    put32(out, blockOffset(sortInfo));
    out.insert(out.end(), header.type.begin(), header.type.end());
    out.insert(out.end(), header.creator.begin(), header.creator.end());
    put32(out, header.uniqueIdSeed);
    put32(out, 0); // next record list id
    put16(out, static_cast<std::uint16_t>(count));

    if (resource) {
        for (const auto &r : resources) {
            if (r.type.size() != 4)
                throw PalmDatabaseError(what + "resource type \"" + r.type + "\" is not four characters");
            out.insert(out.end(), r.type.begin(), r.type.end());
            put16(out, r.id);
            put32(out, static_cast<std::uint32_t>(offset));
            offset += r.data.size();
        }
    } else {
        for (const auto &r : records) {
            if (r.category > 0x0F || (r.attributes & 0x0F) != 0)
                throw PalmDatabaseError(what + "record " + std::to_string(r.uniqueId) +
                                        " has an invalid category or attribute value");
            if (r.uniqueId > kMaxUniqueId)
                throw PalmDatabaseError(what + "unique id " + std::to_string(r.uniqueId) + " does not fit in 24 bits");
            put32(out, static_cast<std::uint32_t>(offset));
            out.push_back(static_cast<std::uint8_t>(r.attributes | r.category));
            put24(out, r.uniqueId);
            offset += r.data.size();
        }
    }
    out.insert(out.end(), kPlaceholderSize, 0);
    if (appInfo)
        out.insert(out.end(), appInfo->begin(), appInfo->end());
    if (sortInfo)
        out.insert(out.end(), sortInfo->begin(), sortInfo->end());
    for (const auto &r : records)
        out.insert(out.end(), r.data.begin(), r.data.end());
    for (const auto &r : resources)
        out.insert(out.end(), r.data.begin(), r.data.end());
    return out;
}

void PalmDatabase::save(const std::filesystem::path &file) const
{
    std::vector<std::uint8_t> bytes = serialize();
    try {
        fileio::writeFileAtomically(file, bytes);
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
}

std::string PalmDatabase::name() const
{
    auto end = std::find(header.rawName.begin(), header.rawName.end(), 0);
    return std::string(header.rawName.begin(), end);
}

void PalmDatabase::setName(const std::string &name)
{
    if (name.empty() || name.size() > kMaxNameLength || name.find('\0') != std::string::npos)
        throw PalmDatabaseError("\"" + name + "\" is not a valid database name (1 to " +
                                std::to_string(kMaxNameLength) + " characters)");
    header.rawName.fill(0);
    std::copy(name.begin(), name.end(), header.rawName.begin());
}

std::string PalmDatabase::type() const
{
    return std::string(header.type.begin(), header.type.end());
}

std::string PalmDatabase::creator() const
{
    return std::string(header.creator.begin(), header.creator.end());
}

bool PalmDatabase::usesUnixEpoch() const
{
    std::uint32_t d = header.modificationDate != 0 ? header.modificationDate : header.creationDate;
    return d != 0 && (d & 0x80000000u) == 0;
}

std::int64_t PalmDatabase::toUnixTime(std::uint32_t fileDate)
{
    if (fileDate & 0x80000000u)
        return static_cast<std::int64_t>(fileDate) - kEpoch1904Offset;
    return fileDate;
}

void PalmDatabase::touch(std::int64_t unixNow)
{
    ++header.modificationNumber;
    std::int64_t stored = usesUnixEpoch() ? unixNow : unixNow + kEpoch1904Offset;
    header.modificationDate = static_cast<std::uint32_t>(stored);
}

void PalmDatabase::noteUniqueId(std::uint32_t id)
{
    highWater_ = std::max(highWater_, id);
}

void PalmDatabase::keepUniqueIdsAbove(const PalmDatabase &other)
{
    noteUniqueId(other.highWater_);
}

std::uint32_t PalmDatabase::allocateUniqueId()
{
    // Records appended to the list since the last call may carry ids of
    // their own; the ones seen before are in the high-water mark already,
    // so each record is looked at once.
    if (scannedRecords_ > records.size())
        scannedRecords_ = records.size();
    for (std::size_t i = scannedRecords_; i < records.size(); ++i)
        noteUniqueId(records[i].uniqueId);
    scannedRecords_ = records.size();

    std::uint32_t top = highWater_;
    // A seed beyond 24 bits cannot be a record id; such a seed is ignored.
    if (header.uniqueIdSeed <= kMaxUniqueId)
        top = std::max(top, header.uniqueIdSeed);
    if (top >= kMaxUniqueId)
        throw PalmDatabaseError("Database \"" + name() + "\" has no unique record id left");
    const std::uint32_t id = top + 1;
    highWater_ = id;
    header.uniqueIdSeed = id;
    return id;
}

int PalmDatabase::indexOfRecord(std::uint32_t uniqueId) const
{
    // The position map is rebuilt when it misses or points at another
    // record (after removals or direct changes of the list).
    auto it = positions_.find(uniqueId);
    if (it != positions_.end() && it->second < records.size() && records[it->second].uniqueId == uniqueId)
        return static_cast<int>(it->second);
    positions_.clear();
    positions_.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        positions_.emplace(records[i].uniqueId, i);
    it = positions_.find(uniqueId);
    return it == positions_.end() ? -1 : static_cast<int>(it->second);
}

} // namespace palmsync
