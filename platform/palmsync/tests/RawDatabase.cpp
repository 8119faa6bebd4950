#include "RawDatabase.h"

namespace palmsync::test {

void put16(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
{
    put16(b, at, static_cast<std::uint16_t>(v >> 16));
    put16(b, at + 2, static_cast<std::uint16_t>(v));
}

std::vector<std::uint8_t> bytesOf(const std::string &text)
{
    return {text.begin(), text.end()};
}

RawDatabase::RawDatabase() : nameField(32, 0) {}

void RawDatabase::setName(const std::string &name)
{
    nameField.assign(32, 0);
    std::copy(name.begin(), name.end(), nameField.begin());
}

std::vector<std::uint8_t> RawDatabase::bytes() const
{
    const std::size_t listEnd = 78 + 8 * records.size();
    std::size_t offset = listEnd + gap;
    std::vector<std::uint8_t> b(offset, 0);
    std::copy(nameField.begin(), nameField.end(), b.begin());
    put16(b, 32, attributes);
    put16(b, 34, version);
    put32(b, 36, creationDate);
    put32(b, 40, modificationDate);
    put32(b, 44, backupDate);
    put32(b, 48, modificationNumber);
    auto block = [&](const std::vector<std::uint8_t> &data, std::size_t at) {
        if (data.empty())
            return;
        put32(b, at, static_cast<std::uint32_t>(offset));
        offset += data.size();
    };
    block(appInfo, kAppInfoOffsetAt);
    block(sortInfo, kSortInfoOffsetAt);
    std::copy(type.begin(), type.end(), b.begin() + 60);
    std::copy(creator.begin(), creator.end(), b.begin() + 64);
    put32(b, 68, uniqueIdSeed);
    put16(b, kCountAt, static_cast<std::uint16_t>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        put32(b, entryAt(i), static_cast<std::uint32_t>(offset));
        b[entryAt(i) + 4] = records[i].attributeByte;
        b[entryAt(i) + 5] = static_cast<std::uint8_t>(records[i].uniqueId >> 16);
        b[entryAt(i) + 6] = static_cast<std::uint8_t>(records[i].uniqueId >> 8);
        b[entryAt(i) + 7] = static_cast<std::uint8_t>(records[i].uniqueId);
        offset += records[i].data.size();
    }
    b.insert(b.end(), appInfo.begin(), appInfo.end());
    b.insert(b.end(), sortInfo.begin(), sortInfo.end());
    for (const auto &r : records)
        b.insert(b.end(), r.data.begin(), r.data.end());
    return b;
}

RawDatabase sampleDatabase()
{
    RawDatabase db;
    db.setName("MainDB-KLXC");
    db.appInfo = bytesOf("APPINFO-BLOCK");
    db.sortInfo = bytesOf("SORT");
    db.records = {
        {0x40, 0x001001, bytesOf("first record")},
        {0x80 | 0x03, 0x001002, bytesOf("deleted")},
        {0x00, 0x001005, bytesOf("third")},
    };
    return db;
}

} // namespace palmsync::test
