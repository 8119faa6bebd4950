// Hostile handheld records through the record decoders: each is refused
// with a clear error or decoded, and whatever is decoded survives being
// copied and written back to the handheld.

#include "RecordDecoderHarness.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using conduit::fuzz::DecodeOutcome;
using conduit::fuzz::DecodeResult;
using conduit::fuzz::RecordDecoderHarness;
using Bytes = std::vector<std::uint8_t>;

enum Class : std::uint8_t { OilGrade = 0, Supplier = 1, Vehicle = 2, Entry = 3 };
constexpr std::uint8_t kDeleted = 0x80;

void put32(Bytes &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void put16(Bytes &b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

void putText(Bytes &b, std::size_t at, const std::string &text)
{
    std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// A fuzzer input: the class byte, then the record.
Bytes input(std::uint8_t classByte, Bytes record)
{
    record.insert(record.begin(), classByte);
    return record;
}

// A log entry of 14 July 2002 with cost (25, 50) and quantity (10, 123).
Bytes entry()
{
    Bytes b(268, 0);
    put32(b, 4, 7);
    put32(b, 8, 120500);
    putText(b, 12, "FU");
    const std::uint16_t words[] = {0, 0, 0, 14, 7, 2002, 1};
    for (int i = 0; i < 7; ++i)
        put16(b, 14 + 2 * i, words[i]);
    put32(b, 28, 25);
    put32(b, 32, 50);
    put32(b, 36, 10);
    put32(b, 40, 123);
    putText(b, 56, "Oil change");
    return b;
}

Bytes entryWith(const std::function<void(Bytes &)> &change)
{
    Bytes b = entry();
    change(b);
    return b;
}

Bytes oilGrade(std::int32_t whole, std::int32_t fraction)
{
    Bytes b(132, 0);
    put32(b, 4, static_cast<std::uint32_t>(whole));
    put32(b, 8, static_cast<std::uint32_t>(fraction));
    putText(b, 12, "10W-40");
    return b;
}

Bytes entryCutAt(std::size_t size)
{
    Bytes b = entry();
    b.resize(size);
    return b;
}

struct HostileCase {
    const char *name;
    Bytes input;
    DecodeResult expected;
    const char *message; // part of the rejection's text
};

std::vector<HostileCase> hostileCases()
{
    std::vector<HostileCase> cases = {
        {"EmptyInput", {}, DecodeResult::Rejected, "no record class byte"},
        {"OilGradeWithoutBytes", input(OilGrade, {}), DecodeResult::Rejected, "outside the array"},
        {"OilGradeCutInsideTheFraction", input(OilGrade, Bytes(10, 0)), DecodeResult::Rejected, "outside the array"},
        {"OilGradeEndingBeforeItsTexts", input(OilGrade, Bytes(12, 0)), DecodeResult::Decoded, ""},
        {"OilGradeNegativeFraction", input(OilGrade, oilGrade(12, -5)), DecodeResult::Rejected,
         "'12.-5' is not a valid floating point value"},
        {"OilGradeLargestParts", input(OilGrade, oilGrade(2147483647, 2147483647)), DecodeResult::Decoded, ""},
        {"OilGradeSmallestWholePart", input(OilGrade, oilGrade(-2147483647 - 1, 0)), DecodeResult::Decoded, ""},
        {"OilGradeAllBytesFF", input(OilGrade, Bytes(132, 0xFF)), DecodeResult::Rejected,
         "'-1.-1' is not a valid floating point value"},
        {"SupplierAllBytesFF", input(Supplier, Bytes(148, 0xFF)), DecodeResult::Decoded, ""},
        {"SupplierCutInsideItsName", input(Supplier, Bytes(12, 'S')), DecodeResult::Decoded, ""},
        {"SupplierThreeBytes", input(Supplier, Bytes(3, 0)), DecodeResult::Rejected, "outside the array"},
        {"VehicleTextsWithoutTerminators", input(Vehicle, Bytes(212, 'A')), DecodeResult::Decoded, ""},
        {"VehicleAllBytesFF", input(Vehicle, Bytes(212, 0xFF)), DecodeResult::Decoded, ""},
        {"VehicleLongerThanItsLayout", input(Vehicle, Bytes(4000, 0x7E)), DecodeResult::Decoded, ""},
        {"VehicleCutInsideItsNumbers", input(Vehicle, Bytes(14, 0)), DecodeResult::Rejected, "outside the array"},
        {"EntryValid", input(Entry, entry()), DecodeResult::Decoded, ""},
        {"EntryDatesAllZero", input(Entry, Bytes(268, 0)), DecodeResult::Rejected, "Invalid argument to date encode"},
        {"EntryDeletedWithDateAllZero", input(Entry | kDeleted, Bytes(268, 0)), DecodeResult::Decoded, ""},
        {"EntryDeletedAndEmpty", input(Entry | kDeleted, {}), DecodeResult::Decoded, ""},
        {"EntryAllBytesFF", input(Entry, Bytes(268, 0xFF)), DecodeResult::Rejected, "Invalid argument to date encode"},
        {"EntryTwentyNinthFebruary2001",
         input(Entry, entryWith([](Bytes &b) { put16(b, 20, 29), put16(b, 22, 2), put16(b, 24, 2001); })),
         DecodeResult::Rejected, "Invalid argument to date encode"},
        {"EntryHour24", input(Entry, entryWith([](Bytes &b) { put16(b, 18, 24); })), DecodeResult::Rejected,
         "Invalid argument to time encode"},
        {"EntryYear10000", input(Entry, entryWith([](Bytes &b) { put16(b, 24, 10000); })), DecodeResult::Rejected,
         "Invalid argument to date encode"},
        {"EntryYear1AtTheLastSecond", input(Entry, entryWith([](Bytes &b) {
                                                put16(b, 14, 59), put16(b, 16, 59), put16(b, 18, 23), put16(b, 20, 1),
                                                    put16(b, 22, 1), put16(b, 24, 1);
                                            })),
         DecodeResult::Decoded, ""},
        {"EntryWrongDayOfWeek", input(Entry, entryWith([](Bytes &b) { put16(b, 26, 0xFFFF); })), DecodeResult::Decoded,
         ""},
        {"EntryNegativeCostFraction", input(Entry, entryWith([](Bytes &b) { put32(b, 32, 0xFFFFFFFB); })),
         DecodeResult::Rejected, "'25.-5' is not a valid floating point value"},
        {"EntryNegativeQuantityFraction", input(Entry, entryWith([](Bytes &b) { put32(b, 40, 0x80000000); })),
         DecodeResult::Rejected, "'10.-2147483648' is not a valid floating point value"},
        {"EntryCostBeyondFifteenDigits",
         input(Entry, entryWith([](Bytes &b) { put32(b, 28, 2147483647), put32(b, 32, 999999999); })),
         DecodeResult::Decoded, ""},
        {"EntryEndingInsideItsNotes", input(Entry, entryCutAt(60)), DecodeResult::Decoded, ""},
        {"EntryEndingBeforeItsNotes", input(Entry, entryCutAt(56)), DecodeResult::Decoded, ""},
        {"EntryCutInsideTheDate", input(Entry, entryCutAt(21)), DecodeResult::Rejected, "outside the array"},
        {"EntryTypeAndNotesWithoutTerminators",
         input(Entry, entryWith([](Bytes &b) { std::fill(b.begin() + 56, b.end(), 'N'), putText(b, 12, "XY"); })),
         DecodeResult::Decoded, ""},
    };
    return cases;
}

class RecordDecoderHostile : public testing::TestWithParam<HostileCase> {};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.name;
}

const char *resultName(DecodeResult r)
{
    switch (r) {
    case DecodeResult::Decoded:
        return "decoded";
    case DecodeResult::Rejected:
        return "rejected";
    default:
        return "fault";
    }
}

TEST_P(RecordDecoderHostile, IsRefusedWithItsErrorOrDecodedWhole)
{
    gvtest::TempDir dir;
    RecordDecoderHarness harness(dir.path());
    const HostileCase &c = GetParam();
    DecodeOutcome outcome = harness.run(c.input);
    EXPECT_EQ(resultName(outcome.result), std::string(resultName(c.expected))) << outcome.message;
    EXPECT_NE(outcome.message.find(c.message), std::string::npos) << outcome.message;
}

INSTANTIATE_TEST_SUITE_P(Records, RecordDecoderHostile, testing::ValuesIn(hostileCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// Every file the fuzzer reported (after its fault was fixed) and every seed
// of its corpus is refused or decoded, never a fault or a crash.
TEST(RecordDecoderReplay, CrashersAndSeedsAreRefusedOrDecoded)
{
    gvtest::TempDir dir;
    RecordDecoderHarness harness(dir.path());
    const auto root = gvtest::sourceDir() / "conduit" / "fuzz";
    int files = 0;
    int decoded = 0;
    for (const char *folder : {"crashers", "corpus"}) {
        if (!std::filesystem::is_directory(root / folder))
            continue;
        for (const auto &entry : std::filesystem::directory_iterator(root / folder)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            ++files;
            DecodeOutcome outcome = harness.run(gvtest::readFileBytes(entry.path()));
            EXPECT_NE(outcome.result, DecodeResult::Fault) << entry.path() << ": " << outcome.message;
            decoded += outcome.result == DecodeResult::Decoded;
        }
    }
    // The seed corpus holds a valid record of each class at least.
    EXPECT_GE(files, 4);
    EXPECT_GE(decoded, 4);
}

} // namespace
