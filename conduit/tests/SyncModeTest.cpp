// Two-way synchronisation, one record per case, by the state of its desktop
// row and of its handheld record; then the one-way modes and the edges of a
// whole table. Every case runs a real HotSync and checks both sides.

#include "SyncFixture.h"

#include <algorithm>

using namespace conduittest;

namespace {

constexpr std::uint32_t kId = 42;

enum class Desk { NoRow, NeverSynced, Unchanged, Modified, Deleted };
enum class Hand { Absent, Unchanged, Changed, MarkedDeleted };
// Which content a side holds afterwards, or that it is gone.
enum class Holds { Gone, DeskContent, HandContent };

struct TwoWayCase {
    const char *name;
    Desk desk;
    Hand hand;
    Holds row;
    bool rowStaysModified;
    Holds record;
};

// Desktop states x handheld states -> outcome.
const TwoWayCase kTwoWayCases[] = {
    {"NeverSyncedRowBecomesNewRecord", Desk::NeverSynced, Hand::Absent, Holds::DeskContent, false, Holds::DeskContent},
    {"UnchangedBothSidesNothingHappens", Desk::Unchanged, Hand::Unchanged, Holds::DeskContent, false,
     Holds::HandContent},
    {"ChangedRecordRewritesRow", Desk::Unchanged, Hand::Changed, Holds::HandContent, false, Holds::HandContent},
    {"DeletedRecordDeletesRow", Desk::Unchanged, Hand::MarkedDeleted, Holds::Gone, false, Holds::Gone},
    {"AbsentRecordLeavesRow", Desk::Unchanged, Hand::Absent, Holds::DeskContent, false, Holds::Gone},
    {"ModifiedRowOverwritesRecord", Desk::Modified, Hand::Unchanged, Holds::DeskContent, false, Holds::DeskContent},
    {"BothChangedHandheldWins", Desk::Modified, Hand::Changed, Holds::HandContent, false, Holds::HandContent},
    {"ModifiedRowSurvivesHandheldDeletion", Desk::Modified, Hand::MarkedDeleted, Holds::DeskContent, false,
     Holds::DeskContent},
    {"ModifiedRowWithoutRecordStaysModified", Desk::Modified, Hand::Absent, Holds::DeskContent, true, Holds::Gone},
    {"DeletedRowRemovesRecord", Desk::Deleted, Hand::Unchanged, Holds::Gone, false, Holds::Gone},
    {"ChangedRecordRestoresDeletedRow", Desk::Deleted, Hand::Changed, Holds::HandContent, false, Holds::HandContent},
    {"DeletedOnBothSidesRemovesBoth", Desk::Deleted, Hand::MarkedDeleted, Holds::Gone, false, Holds::Gone},
    {"DeletedRowWithoutRecordIsDeleted", Desk::Deleted, Hand::Absent, Holds::Gone, false, Holds::Gone},
    {"UnchangedRecordWithoutRowAppendsRow", Desk::NoRow, Hand::Unchanged, Holds::HandContent, false,
     Holds::HandContent},
    {"ChangedRecordWithoutRowAppendsRow", Desk::NoRow, Hand::Changed, Holds::HandContent, false, Holds::HandContent},
    {"DeletedRecordWithoutRowIsRemoved", Desk::NoRow, Hand::MarkedDeleted, Holds::Gone, false, Holds::Gone},
};

void PrintTo(const TwoWayCase &c, std::ostream *os)
{
    *os << c.name;
}

const SupplierRecord kDeskSupplier{7, "Desk", "desk notes", "dfill"};
const SupplierRecord kHandSupplier{9, "Hand", "hand notes", "hfill"};

Row supplierRow(const SupplierRecord &s)
{
    return {{"MainId", std::int64_t{s.mainId}}, {"Name", s.name}, {"Notes", s.notes}, {"Filler", s.filler}};
}

void expectRowHolds(const Row &row, const SupplierRecord &s)
{
    EXPECT_EQ(intOf(row, "MainId"), s.mainId);
    EXPECT_EQ(textOf(row, "Name"), s.name);
    EXPECT_EQ(textOf(row, "Notes"), s.notes);
    EXPECT_EQ(textOf(row, "Filler"), s.filler);
}

void expectRecordHolds(const palmsync::PalmRecord &record, const SupplierRecord &s)
{
    EXPECT_EQ(record.data.size(), 148u);
    SupplierRecord got = readSupplier(record.data);
    EXPECT_EQ(got.mainId, s.mainId);
    EXPECT_EQ(got.name, s.name);
    EXPECT_EQ(got.notes, s.notes);
    EXPECT_EQ(got.filler, s.filler);
}

class TwoWaySync : public HotSyncFixture, public ::testing::WithParamInterface<std::tuple<TwoWayCase, std::int32_t>> {};

TEST_P(TwoWaySync, OutcomeOnBothSides)
{
    const auto &[c, syncType] = GetParam();
    switch (c.desk) {
    case Desk::NoRow:
        createTables();
        break;
    case Desk::NeverSynced:
        addRow("SUPPLIER", syncColumns(0, false) + supplierRow(kDeskSupplier));
        break;
    case Desk::Unchanged:
        addRow("SUPPLIER", syncColumns(kId, true) + supplierRow(kDeskSupplier));
        break;
    case Desk::Modified:
        addRow("SUPPLIER", syncColumns(kId, true, true) + supplierRow(kDeskSupplier));
        break;
    case Desk::Deleted:
        addRow("SUPPLIER", syncColumns(kId, true, false, true) + supplierRow(kDeskSupplier));
        break;
    }
    const std::uint8_t attributes[] = {0, 0, 0x40, 0x80};
    // A record marked deleted carries no usable content: fill it with noise
    // that must not reach either side.
    const Bytes handBytes = c.hand == Hand::MarkedDeleted ? Bytes(148, 0x77) : supplierBytes(kHandSupplier);
    if (c.hand != Hand::Absent)
        setRecords(kSupplierDB, {palmRecord(kId, handBytes, attributes[int(c.hand)], 2)});

    EXPECT_EQ(runHotSync(syncType), std::vector<std::string>{"OK Gearvane"});

    auto after = records(kSupplierDB);
    auto table = rows("SUPPLIER");
    const SupplierRecord &deskOrHand = c.record == Holds::DeskContent ? kDeskSupplier : kHandSupplier;
    if (c.record == Holds::Gone) {
        EXPECT_TRUE(after.empty());
    } else {
        ASSERT_EQ(after.size(), 1u);
        expectRecordHolds(after[0], deskOrHand);
        // Bytes outside the fields: zero in a new or rewritten record, as
        // read in an updated one (zero here too).
        EXPECT_EQ(after[0].data, supplierBytes(deskOrHand));
        EXPECT_EQ(after[0].attributes, 0);
        if (c.desk != Desk::NeverSynced) {
            EXPECT_EQ(after[0].uniqueId, kId);
            EXPECT_EQ(after[0].category, 2);
        }
    }

    if (c.row == Holds::Gone) {
        EXPECT_TRUE(table.empty());
        return;
    }
    ASSERT_EQ(table.size(), 1u);
    const Row &row = table[0];
    expectRowHolds(row, c.row == Holds::DeskContent ? kDeskSupplier : kHandSupplier);
    EXPECT_EQ(textOf(row, "UserName"), userName);
    EXPECT_TRUE(boolOf(row, "Synced"));
    EXPECT_FALSE(boolOf(row, "Deleted"));
    EXPECT_EQ(boolOf(row, "Modified"), c.rowStaysModified);
    if (c.desk == Desk::NeverSynced) {
        ASSERT_EQ(after.size(), 1u);
        EXPECT_NE(after[0].uniqueId, 0u);
        EXPECT_EQ(intOf(row, "DBID"), after[0].uniqueId);
    } else {
        EXPECT_EQ(intOf(row, "DBID"), kId);
    }
}

INSTANTIATE_TEST_SUITE_P(SyncTypes0And1, TwoWaySync,
                         ::testing::Combine(::testing::ValuesIn(kTwoWayCases), ::testing::Values(0, 1)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_Type" +
                                    std::to_string(std::get<1>(info.param));
                         });

class SyncModes : public HotSyncFixture {};

std::vector<std::string> names(const std::vector<Row> &table)
{
    std::vector<std::string> out;
    for (const auto &row : table)
        out.push_back(textOf(row, "Name"));
    return out;
}

std::vector<std::string> names(const std::vector<palmsync::PalmRecord> &records)
{
    std::vector<std::string> out;
    for (const auto &r : records)
        out.push_back(readSupplier(r.data).name);
    return out;
}

TEST_F(SyncModes, HandheldOverwritesDesktopRebuildsTableFromHandheld)
{
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({1, "Unsynced", "", ""}));
    addRow("SUPPLIER", syncColumns(42, true, true) + supplierRow({1, "DeskB", "", ""}));
    addRow("SUPPLIER", syncColumns(43, true, false, true) + supplierRow({1, "DeskC", "", ""}));
    setRecords(kSupplierDB, {palmRecord(42, supplierBytes({2, "HandB", "b", "x"})),
                             palmRecord(44, supplierBytes({4, "HandD", "d", "y"}), 0x40),
                             palmRecord(45, supplierBytes({5, "Gone", "", ""}), 0x80)});

    EXPECT_EQ(runHotSync(2), std::vector<std::string>{"OK Gearvane"});

    auto table = rows("SUPPLIER");
    ASSERT_EQ(table.size(), 2u);
    std::sort(table.begin(), table.end(),
              [](const Row &a, const Row &b) { return intOf(a, "DBID") < intOf(b, "DBID"); });
    EXPECT_EQ(intOf(table[0], "DBID"), 42);
    expectRowHolds(table[0], {2, "HandB", "b", "x"});
    EXPECT_EQ(intOf(table[1], "DBID"), 44);
    expectRowHolds(table[1], {4, "HandD", "d", "y"});
    for (const auto &row : table) {
        EXPECT_TRUE(boolOf(row, "Synced"));
        EXPECT_FALSE(boolOf(row, "Modified"));
        EXPECT_FALSE(boolOf(row, "Deleted"));
    }
    auto after = records(kSupplierDB);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].uniqueId, 42u);
    EXPECT_EQ(after[1].uniqueId, 44u);
    EXPECT_EQ(after[0].attributes, 0);
    EXPECT_EQ(after[1].attributes, 0);
}

TEST_F(SyncModes, DesktopOverwritesHandheldWritesEveryRowAsNew)
{
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({1, "A", "", ""}));
    addRow("SUPPLIER", syncColumns(42, true) + supplierRow({2, "B", "", ""}));
    addRow("SUPPLIER", syncColumns(43, true, false, true) + supplierRow({3, "C", "", ""}));
    addRow("SUPPLIER", syncColumns(44, true, true) + supplierRow({4, "D", "", ""}));
    setRecords(kSupplierDB, {palmRecord(42, supplierBytes({9, "HandB", "", ""})),
                             palmRecord(43, supplierBytes({9, "HandC", "", ""}), 0x40),
                             palmRecord(99, supplierBytes({9, "Other", "", ""}), 0x80)});

    EXPECT_EQ(runHotSync(3), std::vector<std::string>{"OK Gearvane"});

    auto after = records(kSupplierDB);
    ASSERT_EQ(after.size(), 4u);
    std::vector<std::string> recordNames = names(after);
    std::sort(recordNames.begin(), recordNames.end());
    EXPECT_EQ(recordNames, (std::vector<std::string>{"A", "B", "C", "D"}));
    for (const auto &record : after) {
        EXPECT_EQ(record.attributes, 0);
        EXPECT_GT(record.uniqueId, 99u) << "a removed id must not come back";
    }
    for (const auto &row : rows("SUPPLIER")) {
        EXPECT_TRUE(boolOf(row, "Synced"));
        EXPECT_FALSE(boolOf(row, "Modified"));
        EXPECT_FALSE(boolOf(row, "Deleted"));
        auto record = findRecord(kSupplierDB, static_cast<std::uint32_t>(intOf(row, "DBID")));
        ASSERT_TRUE(record) << textOf(row, "Name");
        EXPECT_EQ(readSupplier(record->data).name, textOf(row, "Name"));
        EXPECT_EQ(readSupplier(record->data).mainId, intOf(row, "MainId"));
    }
}

TEST_F(SyncModes, DesktopOverwritesEmptyHandheld)
{
    addRow("SUPPLIER", syncColumns(42, true) + supplierRow({2, "B", "", ""}));
    EXPECT_EQ(runHotSync(3), std::vector<std::string>{"OK Gearvane"});
    auto after = records(kSupplierDB);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(intOf(rows("SUPPLIER").at(0), "DBID"), after[0].uniqueId);
}

TEST_F(SyncModes, EmptyHandheldInTwoWaySync)
{
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({1, "New", "", ""}));
    addRow("SUPPLIER", syncColumns(42, true, false, true) + supplierRow({2, "Deleted", "", ""}));
    addRow("SUPPLIER", syncColumns(43, true, true) + supplierRow({3, "Modified", "", ""}));
    addRow("SUPPLIER", syncColumns(44, true) + supplierRow({4, "InStep", "", ""}));

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    auto after = records(kSupplierDB);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(readSupplier(after[0].data).name, "New");
    auto table = rows("SUPPLIER");
    EXPECT_EQ(names(table), (std::vector<std::string>{"New", "Modified", "InStep"}));
    EXPECT_EQ(intOf(table[0], "DBID"), after[0].uniqueId);
    EXPECT_TRUE(boolOf(table[1], "Modified"));
    EXPECT_EQ(intOf(table[1], "DBID"), 43);
}

TEST_F(SyncModes, NeverSyncedRowsAreWrittenInReverseListingOrder)
{
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({1, "First", "", ""}));
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({2, "Second", "", ""}));
    addRow("SUPPLIER", syncColumns(0, false) + supplierRow({3, "Third", "", ""}));

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    auto after = records(kSupplierDB);
    EXPECT_EQ(names(after), (std::vector<std::string>{"Third", "Second", "First"}));
    ASSERT_EQ(after.size(), 3u);
    EXPECT_LT(after[0].uniqueId, after[1].uniqueId);
    EXPECT_LT(after[1].uniqueId, after[2].uniqueId);
    auto table = rows("SUPPLIER");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(intOf(table[0], "DBID"), after[2].uniqueId);
    EXPECT_EQ(intOf(table[1], "DBID"), after[1].uniqueId);
    EXPECT_EQ(intOf(table[2], "DBID"), after[0].uniqueId);
}

TEST_F(SyncModes, OtherAttributeBitsAreWrittenBackAsZero)
{
    const SupplierRecord secret{1, "Secret", "s", ""}, busy{2, "Busy", "b", ""}, dirtySecret{3, "DirtySecret", "", ""};
    for (std::uint32_t id : {42u, 43u, 44u})
        addRow("SUPPLIER", syncColumns(id, true) + supplierRow({0, "Desk", "", ""}));
    const auto secretBytes = supplierBytes(secret);
    const auto busyBytes = supplierBytes(busy);
    setRecords(kSupplierDB, {palmRecord(42, secretBytes, 0x10, 5), palmRecord(43, busyBytes, 0x20),
                             palmRecord(44, supplierBytes(dirtySecret), 0x50)});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    auto after = records(kSupplierDB);
    ASSERT_EQ(after.size(), 3u);
    for (const auto &r : after)
        EXPECT_EQ(r.attributes, 0) << r.uniqueId;
    EXPECT_EQ(after[0].data, secretBytes);
    EXPECT_EQ(after[0].category, 5);
    EXPECT_EQ(after[1].data, busyBytes);
    // Only the dirty record reaches the desktop.
    EXPECT_EQ(names(rows("SUPPLIER")), (std::vector<std::string>{"Desk", "Desk", "DirtySecret"}));
}

struct BadRecordCase {
    const char *name;
    std::string database;
    Bytes data;
    std::uint8_t attributes;
    const char *logLine;
};

Bytes mainWithDate(std::initializer_list<std::uint16_t> words)
{
    MainRecord r;
    std::copy(words.begin(), words.end(), r.date);
    return mainBytes(r);
}

class BadHandheldRecords : public HotSyncFixture, public ::testing::WithParamInterface<BadRecordCase> {};

TEST_P(BadHandheldRecords, StopTheRunWithTheConversionMessage)
{
    setRecords(GetParam().database, {palmRecord(42, GetParam().data, GetParam().attributes)});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{GetParam().logLine});
}

void PrintTo(const BadRecordCase &c, std::ostream *os)
{
    *os << c.name;
}

const BadRecordCase kBadRecords[] = {
    {"AllZeroDate", kMainDB, Bytes(268, 0), 0,
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: Invalid argument to date encode (MainDB-KLXC record 42)"},
    {"HourTwentyFive", kMainDB, mainWithDate({0, 0, 25, 1, 1, 2001, 2}), 0x40,
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: Invalid argument to time encode (MainDB-KLXC record 42)"},
    {"NegativeCostFraction", kOilGradeDB, oilGradeBytes({12, -5, "", ""}), 0,
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: '12.-5' is not a valid floating point value "
     "(OilGradeDB-KLXC record 42)"},
    {"AllZeroDateOfDeletedRecord", kMainDB, Bytes(268, 0), 0x80, "OK Gearvane"},
};
INSTANTIATE_TEST_SUITE_P(Records, BadHandheldRecords, ::testing::ValuesIn(kBadRecords),
                         [](const auto &info) { return std::string(info.param.name); });

struct BadDesktopRowCase {
    const char *name;
    const char *table;
    Row row;
    const char *logLine;
};

void PrintTo(const BadDesktopRowCase &c, std::ostream *os)
{
    *os << c.name;
}

const BadDesktopRowCase kBadDesktopRows[] = {
    {"CostBetweenMinusOneAndZero", "MAIN", syncColumns(7, true, true) + Row{{"TotalCost", -0.5}},
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: '-0.5' cannot be stored on the handheld: a value between "
     "-1 and 0 loses its sign there (MAIN DBID 7, column TotalCost)"},
    {"QuantityBetweenMinusOneAndZero", "MAIN", syncColumns(8, true, true) + Row{{"Qty", -0.75}},
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: '-0.75' cannot be stored on the handheld: a value between "
     "-1 and 0 loses its sign there (MAIN DBID 8, column Qty)"},
    {"ItemCostBetweenMinusOneAndZero", "OILGRADE", syncColumns(9, true, true) + Row{{"ItemCost", -0.25}},
     "ERROR (Gearvane): syncStandard: syncLocalFromRemote: '-0.25' cannot be stored on the handheld: a value "
     "between -1 and 0 loses its sign there (OILGRADE DBID 9, column ItemCost)"},
};

class BadDesktopRows : public HotSyncFixture, public ::testing::WithParamInterface<BadDesktopRowCase> {};

TEST_P(BadDesktopRows, StopTheRunWithALineThatNamesTheRowAndColumn)
{
    addRow(GetParam().table, GetParam().row);
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{GetParam().logLine});
}

INSTANTIATE_TEST_SUITE_P(Rows, BadDesktopRows, ::testing::ValuesIn(kBadDesktopRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SyncModes, ADateStoredWithATimeOfDayReachesTheHandheldAsMidnight)
{
    // 37451.75 is 14 July 2002 18:00, as another program may store it.
    addRow("MAIN", syncColumns(0, false) + Row{{"TranDate", 37451.75}});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    const auto written = records(kMainDB);
    ASSERT_EQ(written.size(), 1u);
    const MainRecord entry = readMain(written[0].data);
    EXPECT_EQ(std::vector<std::uint16_t>(entry.date, entry.date + 7),
              (std::vector<std::uint16_t>{0, 0, 0, 14, 7, 2002, 1}));
}

TEST_F(SyncModes, FailureInsideTableKeepsEarlierWorkAndNextHotSyncConverges)
{
    addRow("MAIN", syncColumns(0, false) + Row{{"VehicleId", std::int64_t{5}},
                                               {"Mileage", std::int64_t{1000}},
                                               {"TranDate", 37000.0},
                                               {"TotalCost", 12.5}});
    addRow("OILGRADE", syncColumns(0, false) + Row{{"Name", "DeskOil"}, {"ItemCost", 2.5}});
    setRecords(kOilGradeDB, {palmRecord(42, oilGradeBytes({3, 50, "Good", ""}), 0x40),
                             palmRecord(43, oilGradeBytes({12, -5, "Bad", ""}))});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"ERROR (Gearvane): syncStandard: syncLocalFromRemote: "
                                                      "'12.-5' is not a valid floating point value "
                                                      "(OilGradeDB-KLXC record 43)"});

    // MAIN was synced before the failure and stays so.
    auto mainRecords = records(kMainDB);
    ASSERT_EQ(mainRecords.size(), 1u);
    auto mainRows = rows("MAIN");
    ASSERT_EQ(mainRows.size(), 1u);
    EXPECT_EQ(intOf(mainRows[0], "DBID"), mainRecords[0].uniqueId);
    EXPECT_TRUE(boolOf(mainRows[0], "Synced"));
    // The failing table did nothing; the later tables were not visited.
    EXPECT_EQ(names(rows("OILGRADE")), std::vector<std::string>{"DeskOil"});
    EXPECT_FALSE(boolOf(rows("OILGRADE")[0], "Synced"));
    EXPECT_EQ(records(kOilGradeDB).size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(tableFile("SUPPLIER")));
    EXPECT_FALSE(std::filesystem::exists(tableFile("VEHICLE")));

    auto oil = records(kOilGradeDB);
    oil[1].data = oilGradeBytes({12, 5, "Bad", ""});
    setRecords(kOilGradeDB, oil);
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    EXPECT_EQ(records(kMainDB).size(), 1u);
    auto oilRows = rows("OILGRADE");
    ASSERT_EQ(oilRows.size(), 3u);
    auto oilRecords = records(kOilGradeDB);
    ASSERT_EQ(oilRecords.size(), 3u);
    for (const auto &r : oilRecords)
        EXPECT_EQ(r.attributes, 0);
    for (const auto &row : oilRows) {
        EXPECT_TRUE(boolOf(row, "Synced"));
        auto record = findRecord(kOilGradeDB, static_cast<std::uint32_t>(intOf(row, "DBID")));
        ASSERT_TRUE(record);
        EXPECT_EQ(readOilGrade(record->data).name, textOf(row, "Name"));
    }
    EXPECT_DOUBLE_EQ(floatOf(*rowWithDbid("OILGRADE", 43), "ItemCost"), 12.05);

    // A third HotSync finds everything in step.
    auto mainFile = gvtest::readFileBytes(databaseFile(kMainDB));
    auto oilFile = gvtest::readFileBytes(databaseFile(kOilGradeDB));
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(gvtest::readFileBytes(databaseFile(kMainDB)), mainFile);
    EXPECT_EQ(gvtest::readFileBytes(databaseFile(kOilGradeDB)), oilFile);
}

} // namespace
