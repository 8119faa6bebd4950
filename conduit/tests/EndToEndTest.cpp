// Whole HotSyncs of all four tables in each sync type, checked on both
// sides, and a second HotSync that finds nothing to do.

#include "SyncFixture.h"

#include "ConduitUtils.h"
#include "KLXClientNotify.h"
#include "palmsync/HotSyncSession.h"

#include <map>

using namespace conduittest;

namespace {

class EndToEnd : public HotSyncFixture, public ::testing::WithParamInterface<std::int32_t> {
protected:
    // A desktop with one new record per table referring to each other, one
    // changed vehicle, and a handheld with records of its own.
    void fill()
    {
        addRow("OILGRADE", syncColumns(-1, false) + Row{{"Name", "5W30"}, {"ItemCost", 7.25}});
        addRow("SUPPLIER", syncColumns(-1, false) + Row{{"Name", "Shop"}, {"MainId", std::int64_t{4}}});
        addRow("VEHICLE",
               syncColumns(-1, false) +
                   Row{{"Name", "Van"}, {"OilGradeId", std::int64_t{-1}}, {"ModelYear", std::int64_t{1999}}});
        addRow("VEHICLE", syncColumns(50, true, true) + Row{{"Name", "Car (desk)"}, {"OilGradeId", std::int64_t{40}}});
        addRow("MAIN", syncColumns(-1, false) + Row{{"VehicleId", std::int64_t{-1}},
                                                    {"VendorId", std::int64_t{-1}},
                                                    {"TranDate", conduit::EncodeDate(2003, 5, 6)},
                                                    {"TotalCost", 45.1},
                                                    {"Qty", 30.0},
                                                    {"Type", "FU"}});

        setRecords(kOilGradeDB, {palmRecord(40, oilGradeBytes({5, 99, "Synthetic", ""}), 0x40)});
        setRecords(kSupplierDB, {palmRecord(60, supplierBytes({1, "Market", "", ""}), 0x40)});
        setRecords(kVehicleDB, {palmRecord(50, vehicleBytes({40, 1990, 8000, "Car", "", "Volvo", "240", "", ""}))});
        MainRecord entry;
        entry.vehicleId = 50;
        entry.vendorId = 60;
        entry.costWhole = 12;
        entry.costFraction = 5;
        entry.notes = "oil change";
        setRecords(kMainDB, {palmRecord(70, mainBytes(entry), 0x40)});
    }

    std::map<std::string, std::vector<std::uint8_t>> handheldFiles() const
    {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const std::string &db : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB})
            files[db] = gvtest::readFileBytes(databaseFile(db));
        return files;
    }

    std::map<std::string, std::vector<Row>> desktop() const
    {
        std::map<std::string, std::vector<Row>> all;
        for (const char *table : {"MAIN", "OILGRADE", "SUPPLIER", "VEHICLE"})
            all[table] = rows(table);
        return all;
    }

    // Every row is in step with a record of the same id and the same content.
    void expectBothSidesInStep()
    {
        for (const auto &[table, database] : {std::pair{"OILGRADE", kOilGradeDB},
                                              {"SUPPLIER", kSupplierDB},
                                              {"VEHICLE", kVehicleDB},
                                              {"MAIN", kMainDB}}) {
            auto tableRows = rows(table);
            EXPECT_EQ(tableRows.size(), records(database).size()) << table;
            for (const auto &row : tableRows) {
                EXPECT_TRUE(boolOf(row, "Synced")) << table;
                EXPECT_FALSE(boolOf(row, "Modified")) << table;
                EXPECT_FALSE(boolOf(row, "Deleted")) << table;
                auto record = findRecord(database, static_cast<std::uint32_t>(intOf(row, "DBID")));
                ASSERT_TRUE(record) << table << " " << intOf(row, "DBID");
                EXPECT_EQ(record->attributes, 0) << table;
                if (database == kOilGradeDB) {
                    EXPECT_EQ(readOilGrade(record->data).name, textOf(row, "Name"));
                }
                if (database == kSupplierDB) {
                    EXPECT_EQ(readSupplier(record->data).name, textOf(row, "Name"));
                }
                if (database == kVehicleDB) {
                    EXPECT_EQ(readVehicle(record->data).name, textOf(row, "Name"));
                    EXPECT_EQ(readVehicle(record->data).oilGradeId, intOf(row, "OilGradeId"));
                }
                if (database == kMainDB) {
                    EXPECT_EQ(readMain(record->data).vehicleId, intOf(row, "VehicleId"));
                    EXPECT_EQ(readMain(record->data).vendorId, intOf(row, "VendorId"));
                    EXPECT_EQ(readMain(record->data).notes, textOf(row, "Notes"));
                }
            }
        }
    }

    std::int64_t dbidOf(const std::string &table, const std::string &name)
    {
        for (const auto &row : rows(table))
            if (textOf(row, "Name") == name)
                return intOf(row, "DBID");
        ADD_FAILURE() << "no row " << name << " in " << table;
        return 0;
    }
};

TEST_P(EndToEnd, AllFourTablesInStepAndSecondRunChangesNothing)
{
    const std::int32_t syncType = GetParam();
    fill();
    EXPECT_EQ(runHotSync(syncType), std::vector<std::string>{"OK Gearvane"});
    expectBothSidesInStep();

    std::vector<std::string> oilNames, vehicleNames;
    for (const auto &row : rows("OILGRADE"))
        oilNames.push_back(textOf(row, "Name"));
    for (const auto &row : rows("VEHICLE"))
        vehicleNames.push_back(textOf(row, "Name"));
    if (syncType == 2) {
        // Only the handheld's records are left.
        EXPECT_EQ(oilNames, std::vector<std::string>{"Synthetic"});
        EXPECT_EQ(vehicleNames, std::vector<std::string>{"Car"});
        EXPECT_EQ(rows("MAIN").size(), 1u);
    } else if (syncType == 3) {
        EXPECT_EQ(oilNames, std::vector<std::string>{"5W30"});
        EXPECT_EQ(vehicleNames, (std::vector<std::string>{"Van", "Car (desk)"}));
        const auto van = *rowWithDbid("VEHICLE", dbidOf("VEHICLE", "Van"));
        EXPECT_EQ(intOf(van, "OilGradeId"), dbidOf("OILGRADE", "5W30"));
        ASSERT_EQ(rows("MAIN").size(), 1u);
        EXPECT_EQ(intOf(rows("MAIN")[0], "VehicleId"), dbidOf("VEHICLE", "Van"));
        EXPECT_EQ(intOf(rows("MAIN")[0], "VendorId"), dbidOf("SUPPLIER", "Shop"));
    } else {
        EXPECT_EQ(oilNames, (std::vector<std::string>{"5W30", "Synthetic"}));
        EXPECT_EQ(vehicleNames, (std::vector<std::string>{"Van", "Car (desk)"}));
        const auto van = *rowWithDbid("VEHICLE", dbidOf("VEHICLE", "Van"));
        EXPECT_EQ(intOf(van, "OilGradeId"), dbidOf("OILGRADE", "5W30"));
        EXPECT_EQ(intOf(van, "ModelYear"), 1999);
        auto entries = rows("MAIN");
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(intOf(entries[0], "VehicleId"), dbidOf("VEHICLE", "Van"));
        EXPECT_EQ(intOf(entries[0], "VendorId"), dbidOf("SUPPLIER", "Shop"));
        EXPECT_DOUBLE_EQ(floatOf(entries[0], "TotalCost"), 45.1);
        EXPECT_EQ(intOf(entries[1], "DBID"), 70);
        EXPECT_EQ(textOf(entries[1], "Notes"), "oil change");
        EXPECT_DOUBLE_EQ(floatOf(entries[1], "TotalCost"), 12.05);
    }

    const auto files = handheldFiles();
    const auto tables = desktop();
    EXPECT_EQ(runHotSync(syncType >= 2 ? 0 : syncType), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(handheldFiles(), files);
    EXPECT_EQ(desktop(), tables);
}

INSTANTIATE_TEST_SUITE_P(SyncTypes, EndToEnd, ::testing::Values(0, 1, 2, 3));

// The host hears how far each table has got and, once a step is committed,
// what it changed on each side and how many references it renumbered.
class StepReports : public HotSyncFixture {};

TEST_F(StepReports, TheHostHearsProgressAndWhatEachStepChanged)
{
    addRow("OILGRADE", syncColumns(-1, false) + Row{{"Name", "5W30"}});
    addRow("VEHICLE", syncColumns(-1, false) + Row{{"Name", "Van"}, {"OilGradeId", std::int64_t{-1}}});
    addRow("VEHICLE", syncColumns(50, true, true) + Row{{"Name", "Car (desk)"}});
    addRow("MAIN", syncColumns(-1, false) + Row{{"VehicleId", std::int64_t{-1}}, {"TranDate", 37000.0}});
    setRecords(kOilGradeDB, {palmRecord(40, oilGradeBytes({5, 99, "Synthetic", ""}), 0x40)});
    setRecords(kVehicleDB, {palmRecord(50, vehicleBytes({40, 1990, 8000, "Car", "", "Volvo", "240", "", ""}))});
    setRecords(kMainDB, {palmRecord(70, mainBytes(MainRecord{}), 0x40)});

    std::vector<std::pair<std::string, palmsync::SyncCounts>> steps;
    std::map<std::string, std::pair<std::int32_t, std::int32_t>> lastRead; // table -> done, total
    palmsync::SessionObserver observer;
    observer.onProgress = [&](const std::string &table, const std::string &stage, std::int32_t done,
                              std::int32_t total) {
        if (stage == "reading")
            lastRead[table] = {done, total};
    };
    observer.onStepDone = [&](const std::string &table, const palmsync::SyncCounts &c) { steps.emplace_back(table, c); };
    {
        palmsync::HotSyncSession session({userName, pathName, 0, handheldDir});
        session.observe(observer);
        com::ComPtr<conduit::TKLXGVClientNotify> notify(new conduit::TKLXGVClientNotify);
        std::int16_t result = 1;
        ASSERT_EQ(notify->BeginProcess(&result), com::S_OK);
        session.end();
        ASSERT_EQ(session.logLines(), std::vector<std::string>{"OK Gearvane"});
    }
    auto counts = [](std::int32_t hA, std::int32_t hC, std::int32_t dA, std::int32_t dC, std::int32_t renumbered) {
        palmsync::SyncCounts c;
        c.handheldAdded = hA;
        c.handheldChanged = hC;
        c.desktopAdded = dA;
        c.desktopChanged = dC;
        c.renumbered = renumbered;
        return c;
    };
    const std::vector<std::pair<std::string, palmsync::SyncCounts>> expected{
        {"MAIN", counts(1, 0, 1, 0, 0)},    {"OILGRADE", counts(1, 0, 1, 0, 0)}, {"SUPPLIER", counts(0, 0, 0, 0, 0)},
        {"VEHICLE", counts(1, 1, 0, 0, 0)}, {"VEHICLE", counts(0, 0, 0, 0, 1)},  {"MAIN", counts(0, 0, 0, 0, 1)}};
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].first + " step " + std::to_string(i));
        EXPECT_EQ(steps[i].first, expected[i].first);
        const auto &got = steps[i].second, &want = expected[i].second;
        EXPECT_EQ(std::vector<std::int32_t>({got.handheldAdded, got.handheldChanged, got.handheldDeleted,
                                             got.desktopAdded, got.desktopChanged, got.desktopDeleted, got.renumbered}),
                  std::vector<std::int32_t>({want.handheldAdded, want.handheldChanged, want.handheldDeleted,
                                             want.desktopAdded, want.desktopChanged, want.desktopDeleted,
                                             want.renumbered}));
    }
    EXPECT_EQ(lastRead["MAIN"], (std::pair<std::int32_t, std::int32_t>{1, 1}));
    EXPECT_EQ(lastRead["VEHICLE"], (std::pair<std::int32_t, std::int32_t>{1, 1}));
}

} // namespace
