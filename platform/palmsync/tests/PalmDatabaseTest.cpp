#include "palmsync/PalmDatabase.h"
#include "RawDatabase.h"
#include "SystemCallTrace.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace palmsync;
using palmsync::test::bytesOf;
using palmsync::test::RawDatabase;
using palmsync::test::sampleDatabase;

namespace {

PalmDatabase parseRaw(const RawDatabase &raw)
{
    return PalmDatabase::parse(raw.bytes(), "test.pdb");
}

TEST(PalmDatabaseRead, DecodesHeaderBlocksAndRecords)
{
    RawDatabase raw = sampleDatabase();
    raw.uniqueIdSeed = 0x1006;
    PalmDatabase db = parseRaw(raw);

    EXPECT_EQ(db.name() + "|" + db.type() + "|" + db.creator(), "MainDB-KLXC|DATA|KLXC");
    EXPECT_EQ(db.header.modificationNumber, 7u);
    EXPECT_EQ(db.header.uniqueIdSeed, 0x1006u);
    EXPECT_EQ(db.appInfo, bytesOf("APPINFO-BLOCK"));
    EXPECT_EQ(db.sortInfo, bytesOf("SORT"));
    const std::vector<PalmRecord> expected = {
        {0x40, 0, 0x1001, bytesOf("first record")},
        {0x80, 3, 0x1002, bytesOf("deleted")},
        {0x00, 0, 0x1005, bytesOf("third")},
    };
    EXPECT_EQ(db.records, expected);
}

TEST(PalmDatabaseRead, AcceptsAnyGapBeforeTheFirstBlock)
{
    for (std::size_t gap : {0u, 2u, 7u}) {
        RawDatabase raw = sampleDatabase();
        raw.gap = gap;
        PalmDatabase db = parseRaw(raw);
        EXPECT_EQ(*db.appInfo, bytesOf("APPINFO-BLOCK")) << "gap " << gap;
        EXPECT_EQ(db.records[2].data, bytesOf("third")) << "gap " << gap;
    }
}

TEST(PalmDatabaseRead, BlocksAreOptionalAndMayBeEmpty)
{
    RawDatabase raw = sampleDatabase();
    raw.appInfo.clear();
    raw.records[1].data.clear(); // an empty record shares its offset with the next one
    PalmDatabase db = parseRaw(raw);
    EXPECT_FALSE(db.appInfo);
    EXPECT_EQ(*db.sortInfo, bytesOf("SORT"));
    EXPECT_TRUE(db.records[1].data.empty());
    EXPECT_EQ(db.records[2].data, bytesOf("third"));
}

TEST(PalmDatabaseWrite, RewritesAnUnchangedFileByteForByte)
{
    RawDatabase raw = sampleDatabase();
    raw.nameField[20] = 'x'; // leftovers after the terminator are kept
    raw.attributes = 0x0008;
    raw.backupDate = 0xB0001234;
    raw.uniqueIdSeed = 0x2000;
    std::vector<std::uint8_t> bytes = raw.bytes();
    EXPECT_EQ(PalmDatabase::parse(bytes, "x.pdb").serialize(), bytes);
}

TEST(PalmDatabaseWrite, RoundTripsChangedContent)
{
    PalmDatabase db = parseRaw(sampleDatabase());
    db.records.erase(db.records.begin());
    db.records.push_back({0x10, 15, db.allocateUniqueId(), bytesOf("new")});
    db.sortInfo.reset();
    PalmDatabase back = PalmDatabase::parse(db.serialize(), "x.pdb");
    EXPECT_EQ(back.header, db.header);
    EXPECT_EQ(back.records, db.records);
    EXPECT_EQ(back.appInfo, db.appInfo);
    EXPECT_FALSE(back.sortInfo);
}

TEST(PalmDatabaseWrite, TouchKeepsTheEpochOfTheFile)
{
    struct Case {
        const char *name;
        std::uint32_t storedDate;
        bool unixEpoch;
    };
    const Case cases[] = {{"1904 epoch", 0xB1000000, false}, {"1970 epoch", 0x3A000000, true}};
    for (const Case &c : cases) {
        RawDatabase raw = sampleDatabase();
        raw.modificationDate = c.storedDate;
        PalmDatabase db = parseRaw(raw);
        EXPECT_EQ(db.usesUnixEpoch(), c.unixEpoch) << c.name;
        const std::uint32_t creation = db.header.creationDate;
        db.touch(1700000000);
        EXPECT_EQ(db.header.modificationNumber, 8u) << c.name;
        EXPECT_EQ((db.header.modificationDate & 0x80000000u) == 0, c.unixEpoch) << c.name;
        EXPECT_EQ(PalmDatabase::toUnixTime(db.header.modificationDate), 1700000000) << c.name;
        EXPECT_EQ(db.header.creationDate, creation) << c.name;
    }
}

TEST(PalmDatabaseUniqueIds, NewIdsAreAboveEverythingSeenAndNeverReused)
{
    RawDatabase raw = sampleDatabase(); // ids 0x1001, 0x1002, 0x1005, seed 0 as in many backups
    PalmDatabase db = parseRaw(raw);
    EXPECT_EQ(db.allocateUniqueId(), 0x1006u);

    raw.uniqueIdSeed = 0x3000;
    db = parseRaw(raw);
    EXPECT_EQ(db.allocateUniqueId(), 0x3001u);

    // The highest record goes away; its id is not handed out again.
    db = parseRaw(sampleDatabase());
    db.records.pop_back();
    EXPECT_EQ(db.allocateUniqueId(), 0x1006u);

    // A seed that cannot be a 24-bit id is not trusted.
    raw.uniqueIdSeed = 0xFFFFFFFF;
    EXPECT_EQ(parseRaw(raw).allocateUniqueId(), 0x1006u);
}

TEST(PalmDatabaseUniqueIds, FailsWhenTwentyFourBitsAreUsedUp)
{
    RawDatabase raw = sampleDatabase();
    raw.records[2].uniqueId = PalmDatabase::kMaxUniqueId;
    PalmDatabase db = parseRaw(raw);
    EXPECT_THROW(db.allocateUniqueId(), PalmDatabaseError);

    raw.records[2].uniqueId = PalmDatabase::kMaxUniqueId - 1;
    db = parseRaw(raw);
    EXPECT_EQ(db.allocateUniqueId(), PalmDatabase::kMaxUniqueId);
    EXPECT_THROW(db.allocateUniqueId(), PalmDatabaseError);
}

TEST(PalmDatabaseResources, WritesAndReadsAnApplicationFile)
{
    PalmDatabase prc = PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 1000000000);
    prc.resources = {{"code", 1, bytesOf("\x4e\x75")}, {"tAIN", 1000, bytesOf("Gearvane")}};
    std::vector<std::uint8_t> bytes = prc.serialize();
    PalmDatabase back = PalmDatabase::parse(bytes, "Gearvane.prc");
    EXPECT_TRUE(back.isResourceDatabase());
    EXPECT_EQ(back.name(), "Gearvane");
    EXPECT_EQ(back.type(), "appl");
    EXPECT_EQ(back.creator(), "KLXC");
    EXPECT_EQ(back.resources, prc.resources);
    // Resource entries are ten bytes: type, id, offset.
    EXPECT_EQ(std::string(bytes.begin() + 78, bytes.begin() + 82), "code");
    const std::size_t second = 78 + 10;
    EXPECT_EQ(std::string(bytes.begin() + second, bytes.begin() + second + 4), "tAIN");
    EXPECT_EQ(bytes[second + 4] << 8 | bytes[second + 5], 1000);
}

// Each row corrupts the sample file in one place.
struct CorruptCase {
    const char *name;
    void (*corrupt)(std::vector<std::uint8_t> &);
    const char *fault;
};

const CorruptCase kCorruptCases[] = {
    {"TruncatedHeader", [](auto &b) { b.resize(50); }, "shorter than a database header"},
    {"NameWithoutTerminator", [](auto &b) { std::fill(b.begin(), b.begin() + 32, 'A'); }, "terminating zero"},
    {"ChainedRecordList", [](auto &b) { test::put32(b, RawDatabase::kNextListAt, 0x100); }, "chained"},
    {"CountDoesNotFit", [](auto &b) { test::put16(b, RawDatabase::kCountAt, 5000); }, "does not fit"},
    {"CutInsideTheRecordList", [](auto &b) { b.resize(RawDatabase::entryAt(2) + 3); }, "does not fit"},
    {"RecordPastTheEnd", [](auto &b) { test::put32(b, RawDatabase::entryAt(2), 0x10000); }, "past the end"},
    {"RecordsOutOfOrder",
     [](auto &b) {
         std::vector<std::uint8_t> first(b.begin() + 78, b.begin() + 82);
         std::copy(b.begin() + 86, b.begin() + 90, b.begin() + 78);
         std::copy(first.begin(), first.end(), b.begin() + 86);
     },
     "out of order"},
    {"AppInfoInsideTheHeader", [](auto &b) { test::put32(b, RawDatabase::kAppInfoOffsetAt, 10); }, "inside the header"},
    {"SortInfoOverlapsFirstRecord", // app-info 13 bytes at 104, sort-info at 117, record 0 at 121
     [](auto &b) { test::put32(b, RawDatabase::kSortInfoOffsetAt, 124); }, "overlapping"},
    {"SortInfoBeforeAppInfo", [](auto &b) { test::put32(b, RawDatabase::kSortInfoOffsetAt, 103); }, "out of order"},
    {"AppInfoPastTheEnd", [](auto &b) { test::put32(b, RawDatabase::kAppInfoOffsetAt, 0x7FFFFFFF); }, "past the end"},
    {"DuplicateUniqueIds",
     [](auto &b) {
         std::copy(b.begin() + RawDatabase::entryAt(0) + 5, b.begin() + RawDatabase::entryAt(0) + 8,
                   b.begin() + RawDatabase::entryAt(2) + 5);
     },
     "share the unique id"},
};

void PrintTo(const CorruptCase &c, std::ostream *os)
{
    *os << c.name;
}

class PalmDatabaseCorrupt : public testing::TestWithParam<CorruptCase> {};

TEST_P(PalmDatabaseCorrupt, IsRefusedNamingFileAndFault)
{
    std::vector<std::uint8_t> bytes = sampleDatabase().bytes();
    GetParam().corrupt(bytes);
    try {
        PalmDatabase::parse(bytes, "/some/folder/MainDB-KLXC.pdb");
        FAIL() << "accepted a corrupt file";
    } catch (const PalmDatabaseError &e) {
        std::string msg = e.what();
        EXPECT_NE(msg.find("/some/folder/MainDB-KLXC.pdb: "), std::string::npos) << msg;
        EXPECT_NE(msg.find(GetParam().fault), std::string::npos) << msg;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, PalmDatabaseCorrupt, testing::ValuesIn(kCorruptCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Random damage to a valid file: the reader either refuses it with its own
// error or reads something it can write back and read again identically.
TEST(PalmDatabaseMutation, RandomDamageIsRefusedOrReadConsistently)
{
    std::mt19937 rng(20240611);
    const std::vector<std::uint8_t> good = sampleDatabase().bytes();
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> b = good;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 4) {
            case 0:
                b.resize(rng() % (b.size() + 1));
                break;
            case 1:
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(rng() % (b.size() + 1)),
                         static_cast<std::uint8_t>(rng()));
                break;
            default:
                if (!b.empty()) {
                    // Header and entry list are where the faults hurt most.
                    std::size_t limit = std::min<std::size_t>(b.size(), rng() % 2 ? 110 : b.size());
                    b[rng() % limit] = static_cast<std::uint8_t>(rng());
                }
            }
        }
        try {
            PalmDatabase db = PalmDatabase::parse(b, "mutant.pdb");
            PalmDatabase again = PalmDatabase::parse(db.serialize(), "rewritten.pdb");
            EXPECT_EQ(again.header, db.header);
            EXPECT_EQ(again.records, db.records);
            EXPECT_EQ(again.resources, db.resources);
            EXPECT_EQ(again.appInfo, db.appInfo);
            EXPECT_EQ(again.sortInfo, db.sortInfo);
        } catch (const PalmDatabaseError &) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(PalmDatabaseSave, ReplacesTheFileAndLeavesNoTemporaryFile)
{
    gvtest::TempDir dir;
    const auto file = dir / "MainDB-KLXC.pdb";
    gvtest::writeFileBytes(file, sampleDatabase().bytes());
    PalmDatabase db = PalmDatabase::load(file);
    db.records.pop_back();
    db.save(file);
    EXPECT_EQ(PalmDatabase::load(file).records.size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A write that fails half way (a full disk) leaves the previous file whole
// and no temporary file behind.
TEST(PalmDatabaseSave, FailedWriteKeepsThePreviousFile)
{
    gvtest::TempDir dir;
    const auto file = dir / "MainDB-KLXC.pdb";
    const std::vector<std::uint8_t> old = sampleDatabase().bytes();
    gvtest::writeFileBytes(file, old);

    PalmDatabase big = PalmDatabase::parse(old, "x");
    big.records[0].data.assign(64 * 1024, 0x55);
    gvtest::SystemCallTrace trace;
    trace.failAt(gvtest::Call::Write, 1, ENOSPC, true);
    try {
        big.save(file);
        ADD_FAILURE() << "the save succeeded";
    } catch (const PalmDatabaseError &e) {
        EXPECT_NE(std::string(e.what()).find(dir.path().string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(gvtest::readFileBytes(file), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

} // namespace
