// Renumbering of the references between the tables after records got new
// handheld ids: through whole HotSyncs, and the one-pass fix compared with
// a plain per-pair walk over random inputs.

#include "SyncFixture.h"

#include "DatabaseQuerySpy.h"
#include "com/ClassTable.h"
#include "conduit/KLXClientNotify.h"
#include "palmsync/HotSyncSession.h"

#include <random>

using namespace conduittest;

namespace {

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.rfind(prefix, 0) == 0;
}

Row mainRow(std::int64_t vehicleId, std::int64_t vendorId, std::int64_t mileage)
{
    return {{"VehicleId", vehicleId}, {"VendorId", vendorId}, {"Mileage", mileage},
            {"TranDate", 37000.0},    {"Notes", "desk"},      {"Filler", "desk filler"}};
}

MainRecord mainRecord(std::int32_t vehicleId, std::int32_t vendorId, std::int32_t mileage)
{
    MainRecord r;
    r.vehicleId = vehicleId;
    r.vendorId = vendorId;
    r.mileage = mileage;
    r.type = "F";
    r.costWhole = 30;
    r.costFraction = 25;
    r.fuelGradeId = 3;
    r.miscBits = 0x11;
    r.notes = "hand";
    return r;
}

class CrossReferences : public HotSyncFixture {};

TEST_F(CrossReferences, NewVehicleRenumbersItsFiveLogEntriesOnBothSides)
{
    addRow("VEHICLE", syncColumns(-5, false) + Row{{"Name", "Van"}, {"OilGradeId", std::int64_t{0}}});
    std::vector<palmsync::PalmRecord> entries;
    for (int i = 0; i < 5; ++i) {
        addRow("MAIN", syncColumns(100 + i, true) + mainRow(-5, 0, 1000 + i));
        entries.push_back(palmRecord(100 + i, mainBytes(mainRecord(-5, 0, 2000 + i)), 0, 1));
    }
    // An entry of another vehicle stays as it is.
    addRow("MAIN", syncColumns(110, true) + mainRow(-6, 0, 7));
    entries.push_back(palmRecord(110, mainBytes(mainRecord(-6, 0, 7))));
    setRecords(kMainDB, entries);
    const auto untouched = entries.back();

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    auto vehicles = records(kVehicleDB);
    ASSERT_EQ(vehicles.size(), 1u);
    const auto newId = static_cast<std::int32_t>(vehicles[0].uniqueId);
    EXPECT_EQ(intOf(rows("VEHICLE").at(0), "DBID"), newId);
    for (int i = 0; i < 5; ++i) {
        auto record = findRecord(kMainDB, 100 + i);
        ASSERT_TRUE(record);
        MainRecord got = readMain(record->data);
        EXPECT_EQ(got.vehicleId, newId);
        EXPECT_EQ(got.mileage, 2000 + i);
        EXPECT_EQ(got.notes, "hand");
        EXPECT_EQ(got.type, "F");
        EXPECT_EQ(got.costWhole, 30);
        EXPECT_EQ(got.costFraction, 25);
        EXPECT_EQ(got.miscBits, 0x11);
        EXPECT_EQ(got.filler, "desk filler");
        EXPECT_EQ(record->attributes, 0);
        EXPECT_EQ(record->category, 1);
        auto row = rowWithDbid("MAIN", 100 + i);
        ASSERT_TRUE(row);
        EXPECT_EQ(intOf(*row, "VehicleId"), newId);
        EXPECT_EQ(intOf(*row, "Mileage"), 2000 + i);
        EXPECT_EQ(textOf(*row, "Notes"), "hand");
        EXPECT_DOUBLE_EQ(floatOf(*row, "TotalCost"), 30.25);
        EXPECT_EQ(textOf(*row, "Filler"), "desk filler");
        EXPECT_TRUE(boolOf(*row, "Synced"));
        EXPECT_FALSE(boolOf(*row, "Modified"));
    }
    EXPECT_EQ(findRecord(kMainDB, 110), untouched);
    EXPECT_EQ(intOf(*rowWithDbid("MAIN", 110), "VehicleId"), -6);
}

TEST_F(CrossReferences, VendorAndVehicleFixesInOneRunBothApply)
{
    addRow("SUPPLIER", syncColumns(-1, false) + Row{{"Name", "Garage"}});
    addRow("VEHICLE", syncColumns(-2, false) + Row{{"Name", "Car"}});
    addRow("MAIN", syncColumns(100, true) + mainRow(-2, -1, 10));
    setRecords(kMainDB, {palmRecord(100, mainBytes(mainRecord(-2, -1, 10)))});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    const auto supplierId = records(kSupplierDB).at(0).uniqueId;
    const auto vehicleId = records(kVehicleDB).at(0).uniqueId;
    MainRecord got = readMain(findRecord(kMainDB, 100)->data);
    EXPECT_EQ(got.vendorId, supplierId);
    EXPECT_EQ(got.vehicleId, vehicleId);
    auto row = rowWithDbid("MAIN", 100);
    EXPECT_EQ(intOf(*row, "VendorId"), supplierId);
    EXPECT_EQ(intOf(*row, "VehicleId"), vehicleId);
}

TEST_F(CrossReferences, NewOilGradeRenumbersVehicles)
{
    addRow("OILGRADE", syncColumns(-3, false) + Row{{"Name", "5W30"}, {"ItemCost", 6.5}});
    addRow("VEHICLE", syncColumns(50, true) + Row{{"Name", "Car"}, {"OilGradeId", std::int64_t{-3}}});
    VehicleRecord car{-3, 1998, 12000, "Car", "", "Saab", "900", "195/65", "hand"};
    setRecords(kVehicleDB, {palmRecord(50, vehicleBytes(car))});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    const auto oilId = static_cast<std::int32_t>(records(kOilGradeDB).at(0).uniqueId);
    VehicleRecord got = readVehicle(findRecord(kVehicleDB, 50)->data);
    EXPECT_EQ(got.oilGradeId, oilId);
    EXPECT_EQ(got.modelYear, 1998);
    EXPECT_EQ(got.make, "Saab");
    EXPECT_EQ(intOf(*rowWithDbid("VEHICLE", 50), "OilGradeId"), oilId);
    EXPECT_EQ(textOf(*rowWithDbid("VEHICLE", 50), "Notes"), "hand");
}

TEST_F(CrossReferences, FixesRunOnlyForTablesWithNewRecords)
{
    addRow("OILGRADE", syncColumns(42, true, true) + Row{{"Name", "Changed"}});
    setRecords(kOilGradeDB, {palmRecord(42, oilGradeBytes({1, 0, "Old", ""}))});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(databasesOpened(), (std::vector<std::string>{kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB}));

    addRow("SUPPLIER", syncColumns(-1, false) + Row{{"Name", "New"}});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(databasesOpened(), (std::vector<std::string>{kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB, kMainDB}));
}

TEST_F(CrossReferences, NewRowsWithoutIdLeaveEmptyReferencesAlone)
{
    // 0 names no record: a new row that carried 0 is referred to by nobody.
    addRow("SUPPLIER", syncColumns(0, false) + Row{{"Name", "Garage"}});
    addRow("VEHICLE", syncColumns(0, false) + Row{{"Name", "Car"}});
    addRow("MAIN", syncColumns(100, true) + mainRow(0, 0, 10));
    const auto entry = palmRecord(100, mainBytes(mainRecord(0, 0, 10)));
    setRecords(kMainDB, {entry});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    EXPECT_EQ(records(kSupplierDB).size(), 1u);
    EXPECT_EQ(records(kVehicleDB).size(), 1u);
    EXPECT_EQ(findRecord(kMainDB, 100), entry);
    EXPECT_EQ(intOf(*rowWithDbid("MAIN", 100), "VendorId"), 0);
    EXPECT_EQ(intOf(*rowWithDbid("MAIN", 100), "VehicleId"), 0);
    EXPECT_EQ(intOf(*rowWithDbid("MAIN", 100), "Mileage"), 10);
}

TEST_F(CrossReferences, ReferringRowWithoutHandheldRecordFailsTheRun)
{
    addRow("VEHICLE", syncColumns(-2, false) + Row{{"Name", "Car"}});
    addRow("MAIN", syncColumns(100, true) + mainRow(-2, 0, 10));
    addRow("MAIN", syncColumns(101, true) + mainRow(-9, 0, 11));
    setRecords(kMainDB, {palmRecord(101, mainBytes(mainRecord(-9, 0, 11)))});

    auto log = runHotSync(0);
    ASSERT_EQ(log.size(), 1u);
    const std::string prefix = "ERROR (Gearvane): syncStandard: ";
    EXPECT_TRUE(startsWith(log[0], prefix)) << log[0];
    EXPECT_NE(log[0], prefix + "Unknown Error");
    EXPECT_EQ(log[0].find("No Palm records found"), std::string::npos) << log[0];
    EXPECT_FALSE(startsWith(log[0], prefix + "syncLocalFromRemote")) << log[0];
    // The vehicle step itself was done.
    EXPECT_EQ(records(kVehicleDB).size(), 1u);
}

TEST_F(CrossReferences, EmptyHandheldDatabaseFailsTheFix)
{
    addRow("VEHICLE", syncColumns(-2, false) + Row{{"Name", "Car"}});
    addRow("MAIN", syncColumns(100, true) + mainRow(-2, 0, 10));
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"ERROR (Gearvane): syncStandard: No Palm records found, "
                                                      "unable to locate record"});
}

TEST_F(CrossReferences, DesktopOverwritesHandheldRenumbersEveryReference)
{
    addRow("OILGRADE", syncColumns(42, true) + Row{{"Name", "Oil"}, {"ItemCost", 1.5}});
    addRow("SUPPLIER", syncColumns(60, true) + Row{{"Name", "Shop"}});
    addRow("VEHICLE", syncColumns(50, true) + Row{{"Name", "Car"}, {"OilGradeId", std::int64_t{42}}});
    addRow("MAIN", syncColumns(70, true) + mainRow(50, 60, 123));
    addRow("MAIN", syncColumns(71, true, true) + mainRow(50, 0, 124));
    setRecords(kOilGradeDB, {palmRecord(42, oilGradeBytes({1, 50, "Oil", ""}))});
    setRecords(kSupplierDB, {palmRecord(60, supplierBytes({0, "Shop", "", ""}))});
    setRecords(kVehicleDB, {palmRecord(50, vehicleBytes({42, 0, 0, "Car", "", "", "", "", ""}))});
    setRecords(kMainDB,
               {palmRecord(70, mainBytes(mainRecord(50, 60, 123))), palmRecord(71, mainBytes(mainRecord(50, 0, 124)))});

    EXPECT_EQ(runHotSync(3), std::vector<std::string>{"OK Gearvane"});

    const auto oilId = intOf(rows("OILGRADE").at(0), "DBID");
    const auto shopId = intOf(rows("SUPPLIER").at(0), "DBID");
    const auto carId = intOf(rows("VEHICLE").at(0), "DBID");
    EXPECT_NE(oilId, 42);
    EXPECT_NE(shopId, 60);
    EXPECT_NE(carId, 50);
    EXPECT_EQ(intOf(rows("VEHICLE").at(0), "OilGradeId"), oilId);
    EXPECT_EQ(readVehicle(findRecord(kVehicleDB, carId)->data).oilGradeId, oilId);
    auto mainRows = rows("MAIN");
    ASSERT_EQ(mainRows.size(), 2u);
    ASSERT_EQ(records(kMainDB).size(), 2u);
    for (const auto &row : mainRows) {
        auto record = findRecord(kMainDB, static_cast<std::uint32_t>(intOf(row, "DBID")));
        ASSERT_TRUE(record);
        EXPECT_EQ(intOf(row, "VehicleId"), carId);
        EXPECT_EQ(readMain(record->data).vehicleId, carId);
        EXPECT_EQ(readMain(record->data).mileage, intOf(row, "Mileage"));
        EXPECT_FALSE(boolOf(row, "Modified"));
    }
    EXPECT_EQ(intOf(mainRows[0], "VendorId"), shopId);
    EXPECT_EQ(readMain(findRecord(kMainDB, intOf(mainRows[0], "DBID"))->data).vendorId, shopId);
    EXPECT_EQ(intOf(mainRows[1], "VendorId"), 0);
}

// ---------------------------------------------------------------------------
// The one-pass fix against the literal algorithm: for each pair, walk every
// row; a row whose VehicleId (as it was when the fix began) equals the
// pair's OldId gets the pair's NewId, in its handheld record (read from the
// handheld the first time) and in its row (rewritten from that record).

struct ModelRow {
    std::int32_t dbid, vehicleId, mileage;
};

struct Expected {
    std::map<std::int32_t, MainRecord> records; // by id, after the fix
    std::map<std::int32_t, std::uint8_t> attributes;
    std::vector<ModelRow> rows;
};

Expected literalFix(const std::vector<ModelRow> &rows, const std::map<std::int32_t, MainRecord> &handheld,
                    const std::map<std::int32_t, std::uint8_t> &attributes,
                    const std::vector<std::pair<std::int32_t, std::int32_t>> &pairs)
{
    std::map<std::int32_t, MainRecord> remote;
    std::map<std::int32_t, std::pair<std::size_t, MainRecord>> local;
    for (const auto &[oldId, newId] : pairs) {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (rows[r].vehicleId != oldId)
                continue;
            const std::int32_t key = rows[r].dbid;
            auto it = remote.find(key);
            if (it != remote.end())
                it->second.vehicleId = newId;
            else
                (remote[key] = handheld.at(key)).vehicleId = newId;
            auto lt = local.find(key);
            if (lt != local.end())
                lt->second.second.vehicleId = newId;
            else
                local[key] = {r, remote[key]};
        }
    }
    Expected e{handheld, attributes, rows};
    for (const auto &[key, record] : remote) {
        e.records[key] = record;
        e.attributes[key] = 0;
    }
    for (const auto &[key, value] : local) {
        e.rows[value.first].vehicleId = value.second.vehicleId;
        e.rows[value.first].mileage = value.second.mileage;
    }
    return e;
}

class FixEquivalence : public HotSyncFixture, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(FixEquivalence, OnePassFixGivesTheLiteralOutcome)
{
    const auto [seed, reversed] = GetParam();
    std::mt19937 random(static_cast<std::uint32_t>(seed));
    auto pick = [&](std::initializer_list<std::int32_t> values) {
        std::vector<std::int32_t> v(values);
        return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(random)];
    };

    std::vector<ModelRow> modelRows;
    std::map<std::int32_t, MainRecord> handheld;
    std::map<std::int32_t, std::uint8_t> attributes;
    std::vector<palmsync::PalmRecord> palmRecords;
    for (int i = 0; i < 10; ++i) {
        const std::int32_t dbid = 100 + i;
        ModelRow row{dbid, pick({-3, -2, -1, 5, 6, 7}), 1000 + i};
        modelRows.push_back(row);
        addRow("MAIN", syncColumns(dbid, true) + mainRow(row.vehicleId, 0, row.mileage));
        MainRecord record = mainRecord(pick({-3, -2, -1, 5, 6, 7}), 0, 5000 + i);
        handheld[dbid] = record;
        attributes[dbid] = static_cast<std::uint8_t>(pick({0, 0x10, 0x40}));
        palmRecords.push_back(palmRecord(static_cast<std::uint32_t>(dbid), mainBytes(record), attributes[dbid]));
    }
    setRecords(kMainDB, palmRecords);

    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (int i = 0; i < 5; ++i)
        pairs.emplace_back(pick({-3, -2, -1, 5, 6}), pick({5, 6, 7, 8, -1}));
    if (reversed)
        std::reverse(pairs.begin(), pairs.end());

    {
        palmsync::HotSyncSession session({userName, pathName, 0, handheldDir});
        installDatabaseQuerySpy();
        {
            using namespace palmsync;
            com::ComPtr<conduit::TKLXGVClientNotify> notify(new conduit::TKLXGVClientNotify);
            notify->SystemAdapter = com::createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid);
            notify->DatabaseQuery = com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
            notify->Utility = com::createInstance<IPDUtility>(IPDUtility::clsid);
            com::ComPtr<IPDHotsyncInfo> info;
            com::check(notify->SystemAdapter->GetHotsyncInfo(reinterpret_cast<IPDHotsyncInfo **>(info.put())));
            notify->HotsyncInfo = info;
            notify->UserName = userName;
            notify->DesktopTable = std::make_unique<desktopdb::Table>();
            notify->SqlQuery = std::make_unique<desktopdb::SqlQuery>();
            notify->LocalList = std::make_unique<conduit::TRecordList>();
            notify->RemoteList = std::make_unique<conduit::TRecordList>();
            conduit::TIdPairList list;
            for (const auto &[oldId, newId] : pairs) {
                auto pair = std::make_unique<conduit::TRecordIDObject>();
                pair->OldId = oldId;
                pair->NewId = newId;
                list.push_back({std::to_string(oldId), std::move(pair)});
            }
            ASSERT_NO_THROW(notify->fixMainVehicleIds(list));
            EXPECT_TRUE(notify->LocalList->empty());
            EXPECT_TRUE(notify->RemoteList->empty());
            notify->DesktopTable.reset();
        }
        session.end();
    }

    Expected expected = literalFix(modelRows, handheld, attributes, pairs);
    auto after = records(kMainDB);
    ASSERT_EQ(after.size(), expected.records.size());
    for (const auto &record : after) {
        const auto id = static_cast<std::int32_t>(record.uniqueId);
        MainRecord got = readMain(record.data);
        EXPECT_EQ(got.vehicleId, expected.records.at(id).vehicleId) << "record " << id;
        EXPECT_EQ(got.mileage, expected.records.at(id).mileage) << "record " << id;
        EXPECT_EQ(record.attributes, expected.attributes.at(id)) << "record " << id;
    }
    auto table = rows("MAIN");
    ASSERT_EQ(table.size(), expected.rows.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(intOf(table[i], "DBID"), expected.rows[i].dbid);
        EXPECT_EQ(intOf(table[i], "VehicleId"), expected.rows[i].vehicleId) << "row " << i;
        EXPECT_EQ(intOf(table[i], "Mileage"), expected.rows[i].mileage) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(RandomInputs, FixEquivalence, ::testing::Combine(::testing::Range(1, 13), ::testing::Bool()));

} // namespace
