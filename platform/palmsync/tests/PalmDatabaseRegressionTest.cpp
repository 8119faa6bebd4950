// Hostile Palm database files: every one is refused with the reader's own
// error naming the fault, or read into a database that writes back and
// reads again unchanged. Replays the fuzzer's findings and seed corpus too.

#include "../fuzz/PalmDatabaseRoundTrip.h"

#include "RawDatabase.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace palmsync {
namespace {

using fuzz::ParseResult;
using test::RawDatabase;
using Bytes = std::vector<std::uint8_t>;

const char *resultName(ParseResult r)
{
    switch (r) {
    case ParseResult::Read:
        return "read";
    case ParseResult::Refused:
        return "refused";
    default:
        return "fault";
    }
}

Bytes withHeader(void (*change)(Bytes &))
{
    Bytes b = test::sampleDatabase().bytes();
    change(b);
    return b;
}

// A resource database of two resources, laid out by hand.
Bytes resourceDatabase()
{
    Bytes b(78 + 2 * 10 + 2, 0);
    std::copy_n("Gearvane", 8, b.begin());
    test::put16(b, 32, PalmDatabase::kAttrResourceDatabase);
    std::copy_n("applKLXC", 8, b.begin() + 60);
    test::put16(b, 76, 2);
    const char *types[] = {"code", "tAIN"};
    for (std::size_t i = 0; i < 2; ++i) {
        std::copy_n(types[i], 4, b.begin() + 78 + 10 * i);
        test::put16(b, 78 + 10 * i + 4, static_cast<std::uint16_t>(i + 1));
        test::put32(b, 78 + 10 * i + 6, static_cast<std::uint32_t>(100 + 4 * i));
    }
    b.resize(108, 0x4E);
    return b;
}

struct HostileFile {
    const char *name;
    Bytes bytes;
    ParseResult expected;
    const char *message; // part of the refusal's text
};

std::vector<HostileFile> hostileFiles()
{
    Bytes allFF(600, 0xFF);
    Bytes ffWithName = allFF;
    ffWithName[5] = 0;
    return {
        {"NoBytes", {}, ParseResult::Refused, "shorter than a database header (0 bytes)"},
        {"HeaderCutShort", Bytes(77, 0), ParseResult::Refused, "shorter than a database header (77 bytes)"},
        {"ZeroHeaderOnly", Bytes(78, 0), ParseResult::Read, ""},
        {"AllBytesFF", allFF, ParseResult::Refused, "terminating zero"},
        {"AllBytesFFButTheName", ffWithName, ParseResult::Refused, "chained record lists"},
        {"HugeCountInAShortFile", withHeader([](Bytes &b) { test::put16(b, RawDatabase::kCountAt, 0xFFFF); }),
         ParseResult::Refused, "65535 entries does not fit"},
        {"RecordOffsetFFFFFFFF", withHeader([](Bytes &b) { test::put32(b, RawDatabase::entryAt(1), 0xFFFFFFFF); }),
         ParseResult::Refused, "record 1 starts at offset 4294967295, past the end"},
        {"RecordOffsetZero", withHeader([](Bytes &b) { test::put32(b, RawDatabase::entryAt(0), 0); }),
         ParseResult::Refused, "inside the header"},
        {"SortInfoPastTheEnd", withHeader([](Bytes &b) { test::put32(b, RawDatabase::kSortInfoOffsetAt, 0x80000000); }),
         ParseResult::Refused, "the sort-info block starts at offset 2147483648, past the end"},
        {"LastRecordAtTheVeryEnd",
         withHeader([](Bytes &b) { test::put32(b, RawDatabase::entryAt(2), static_cast<std::uint32_t>(b.size())); }),
         ParseResult::Read, ""},
        {"ResourcesWellFormed", resourceDatabase(), ParseResult::Read, ""},
        {"ResourcePastTheEnd",
         [] {
             Bytes b = resourceDatabase();
             test::put32(b, 78 + 10 + 6, 5000);
             return b;
         }(),
         ParseResult::Refused, "resource 1 starts at offset 5000, past the end"},
        {"ResourceListCutShort",
         [] {
             Bytes b = resourceDatabase();
             b.resize(90);
             return b;
         }(),
         ParseResult::Refused, "the list of 2 entries does not fit"},
        {"RecordListReadAsResources",
         withHeader([](Bytes &b) { test::put16(b, 32, PalmDatabase::kAttrResourceDatabase); }), ParseResult::Refused,
         "starts at offset"},
    };
}

void PrintTo(const HostileFile &f, std::ostream *os)
{
    *os << f.name;
}

class PalmDatabaseHostile : public testing::TestWithParam<HostileFile> {};

TEST_P(PalmDatabaseHostile, IsRefusedWithItsFaultOrReadConsistently)
{
    const HostileFile &f = GetParam();
    fuzz::ParseOutcome outcome = fuzz::checkPalmDatabase(f.bytes);
    EXPECT_EQ(resultName(outcome.result), std::string(resultName(f.expected))) << outcome.message;
    EXPECT_NE(outcome.message.find(f.message), std::string::npos) << outcome.message;
}

INSTANTIATE_TEST_SUITE_P(Files, PalmDatabaseHostile, testing::ValuesIn(hostileFiles()),
                         [](const auto &info) { return std::string(info.param.name); });

// The fuzzer's findings (after their faults were fixed) and its seeds: each
// is refused or read consistently, never a fault or a crash; the seeds are
// all well-formed files.
TEST(PalmDatabaseReplay, CrashersAreRefusedOrReadAndSeedsAreRead)
{
    const auto root = gvtest::sourceDir() / "platform" / "palmsync";
    struct Folder {
        std::filesystem::path path;
        bool allValid;
    };
    int seeds = 0;
    for (const Folder &folder : {Folder{root / "tests" / "crashers", false}, Folder{root / "fuzz" / "corpus", true}}) {
        for (const auto &entry : std::filesystem::directory_iterator(folder.path)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            fuzz::ParseOutcome outcome = fuzz::checkPalmDatabase(gvtest::readFileBytes(entry.path()));
            EXPECT_NE(outcome.result, ParseResult::Fault) << entry.path() << ": " << outcome.message;
            if (folder.allValid) {
                ++seeds;
                EXPECT_EQ(outcome.result, ParseResult::Read) << entry.path() << ": " << outcome.message;
            }
        }
    }
    EXPECT_GE(seeds, 5);
}

} // namespace
} // namespace palmsync
