// The handheld byte layouts and desktop columns of the four record classes,
// packed through a HotSync's real byte-array utility and record adapter and
// checked byte by byte.

#include "SyncFixture.h"

#include "com/ClassTable.h"
#include "conduit/ToDoMainObject.h"
#include "conduit/ToDoOilGradeObject.h"
#include "conduit/ToDoSupplierObject.h"
#include "conduit/ToDoVehicleObject.h"
#include "desktopdb/Table.h"
#include "palmsync/HotSyncSession.h"

using namespace conduittest;
using namespace conduit;
using palmsync::IPDRecordAdapter;
using palmsync::IPDUtility;

namespace {

TDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return EncodeDate(y, mo, d) + (h * 3600.0 + mi * 60.0 + s) / 86400.0;
}

class RecordLayouts : public HotSyncFixture {
protected:
    void SetUp() override
    {
        session =
            std::make_unique<palmsync::HotSyncSession>(palmsync::SessionSettings{userName, pathName, 0, handheldDir});
        utility = com::createInstance<IPDUtility>(IPDUtility::clsid);
        query = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
    }
    void TearDown() override
    {
        adapters.clear();
        query = nullptr;
        utility = nullptr;
        session->end();
    }

    IPDRecordAdapter *adapter(const std::string &database)
    {
        com::ComPtr<IPDRecordAdapter> a;
        com::check(query->OpenRecordDatabase(database, "PDDirect.PDRecordAdapter", 0xC0,
                                             reinterpret_cast<IPDRecordAdapter **>(a.put())));
        adapters.push_back(a);
        return a.get();
    }

    Bytes stored(IPDRecordAdapter *a, std::int32_t id, std::int32_t *attributes = nullptr)
    {
        std::int32_t index = 0, category = 0, attrs = 0;
        Bytes data;
        com::check(a->ReadRecordById(&index, id, &category, &attrs, &data));
        if (attributes)
            *attributes = attrs;
        return data;
    }

    // The table positioned on its first row.
    std::unique_ptr<desktopdb::Table> table(const std::string &name)
    {
        createTable(name);
        auto t = std::make_unique<desktopdb::Table>();
        t->setDatabaseName(conduitDir.string());
        t->setTableName(name);
        t->open();
        t->first();
        return t;
    }

    template <class T> void appendRow(const std::string &name, T &object)
    {
        auto t = table(name);
        t->append();
        object.writeToDesktop(*t, false, false, true);
        t->post();
    }

    std::unique_ptr<palmsync::HotSyncSession> session;
    com::ComPtr<IPDUtility> utility;
    com::ComPtr<palmsync::IPDDatabaseQuery> query;
    std::vector<com::ComPtr<IPDRecordAdapter>> adapters;
};

TEST_F(RecordLayouts, OilGradeCostFromDesktopIsAPairOfWholeAndHundredths)
{
    addRow("OILGRADE", syncColumns(0, false) + Row{{"ItemCost", 3.5}, {"Name", "10W40"}, {"Notes", "n"}});
    TToDoOilGradeObject oil(userName);
    oil.readFromDesktop(*table("OILGRADE"));
    EXPECT_EQ(oil.ItemCost, 3.5);
    oil.writeToRemote(adapter(kOilGradeDB), utility.get(), 0);
    ASSERT_NE(oil.RecordId, 0);
    Bytes bytes = stored(adapter(kOilGradeDB), oil.RecordId);
    ASSERT_EQ(bytes.size(), 132u);
    EXPECT_EQ(slice(bytes, 0, 12), (Bytes{0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x32}));
    EXPECT_EQ(bytes, oilGradeBytes({3, 50, "10W40", "n"}));
}

struct CostCase {
    const char *name;
    std::int32_t whole, fraction;
    double itemCost, stored;
};

class OilGradeCosts : public RecordLayouts, public ::testing::WithParamInterface<CostCase> {};

TEST_P(OilGradeCosts, HandheldCostReachesTheDesktopAsCurrency)
{
    const CostCase &c = GetParam();
    TToDoOilGradeObject oil(userName);
    oil.readFromRemote(utility.get(), oilGradeBytes({c.whole, c.fraction, "x", ""}), 0, 42, 0, 0);
    EXPECT_DOUBLE_EQ(oil.ItemCost, c.itemCost);
    appendRow("OILGRADE", oil);
    EXPECT_DOUBLE_EQ(floatOf(rows("OILGRADE").at(0), "ItemCost"), c.stored);
}

const CostCase kCostCases[] = {
    {"ThreeDecimalsKept", 2, 999, 2.999, 2.999},
    {"FiveDecimalsRoundedToFour", 1, 23456, 1.23456, 1.2346},
    {"Hundredths", 7, 5, 7.05, 7.05},
};
INSTANTIATE_TEST_SUITE_P(Pairs, OilGradeCosts, ::testing::ValuesIn(kCostCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(RecordLayouts, FullWidthNameLosesItsZeroByteToTheNextField)
{
    TToDoOilGradeObject oil(userName);
    oil.Rec.Name = "ABCDEFGHIJ";
    oil.Rec.Notes = "Notes";
    oil.writeToRemote(adapter(kOilGradeDB), utility.get(), 0);
    Bytes bytes = stored(adapter(kOilGradeDB), oil.RecordId);
    EXPECT_EQ(getText(bytes, 12, 10), "ABCDEFGHIJ");
    EXPECT_EQ(bytes[22], 'N');
    TToDoOilGradeObject back(userName);
    back.readFromRemote(utility.get(), bytes, 0, oil.RecordId, 0, 0);
    EXPECT_EQ(back.Rec.Name, "ABCDEFGHIJ");
    EXPECT_EQ(back.Rec.Notes, "Notes");
}

TEST_F(RecordLayouts, NewSupplierRecordHasItsFieldsAndZerosElsewhere)
{
    addRow("SUPPLIER",
           syncColumns(0, false) +
               Row{{"MainId", std::int64_t{0x01020304}}, {"Name", "Garage Nord"}, {"Notes", "odd"}, {"Filler", "F"}});
    TToDoSupplierObject supplier(userName);
    supplier.readFromDesktop(*table("SUPPLIER"));
    supplier.writeToRemote(adapter(kSupplierDB), utility.get(), 0);
    EXPECT_EQ(stored(adapter(kSupplierDB), supplier.RecordId), supplierBytes({0x01020304, "Garage Nord", "odd", "F"}));
}

TEST_F(RecordLayouts, DeletedSupplierIsWrittenFromAZeroFilledArray)
{
    setRecords(kSupplierDB, {palmRecord(42, Bytes(148, 0x77), 0x80)});
    TToDoSupplierObject supplier(userName);
    supplier.readFromRemote(utility.get(), Bytes(148, 0x77), 0, 42, 0, 0x80);
    EXPECT_EQ(supplier.Rec.MainId, 0);
    EXPECT_EQ(supplier.Rec.Name, "");
    supplier.writeToRemote(adapter(kSupplierDB), utility.get(), 0);
    EXPECT_EQ(supplier.RecordId, 42);
    std::int32_t attributes = -1;
    EXPECT_EQ(stored(adapter(kSupplierDB), 42, &attributes), Bytes(148, 0));
    EXPECT_EQ(attributes, 0);
}

TEST_F(RecordLayouts, NewVehicleCarriesModelYearAndFullWidthMake)
{
    TToDoVehicleObject car(userName);
    car.Rec = {0, 7, 1998, 15000, "Blue", "", "ABCDEFGHIJ", "Model", "205/55", "notes"};
    car.writeToRemote(adapter(kVehicleDB), utility.get(), 0);
    Bytes bytes = stored(adapter(kVehicleDB), car.RecordId);
    ASSERT_EQ(bytes.size(), 212u);
    EXPECT_EQ(slice(bytes, 8, 4), (Bytes{0x00, 0x00, 0x07, 0xCE}));
    EXPECT_EQ(slice(bytes, 31, 20), Bytes(20, 0));
    EXPECT_EQ(getText(bytes, 51, 10), "ABCDEFGHIJ");
    EXPECT_EQ(bytes[61], 'M');
    EXPECT_EQ(bytes, vehicleBytes({7, 1998, 15000, "Blue", "", "ABCDEFGHIJ", "Model", "205/55", "notes"}));
}

TEST_F(RecordLayouts, LogEntryFromDesktop)
{
    addRow("MAIN", syncColumns(0, false) + Row{{"TranDate", EncodeDate(2002, 7, 14)},
                                               {"TotalCost", 25.5},
                                               {"Qty", 10.123},
                                               {"Type", "FU"},
                                               {"VehicleId", std::int64_t{-2}},
                                               {"Mileage", std::int64_t{123456}}});
    TToDoMainObject entry(userName);
    entry.readFromDesktop(*table("MAIN"));
    EXPECT_DOUBLE_EQ(entry.TranDate(), EncodeDate(2002, 7, 14));
    EXPECT_DOUBLE_EQ(entry.TotalCost(), 25.5);
    EXPECT_DOUBLE_EQ(entry.Qty(), 10.123);
    entry.writeToRemote(adapter(kMainDB), utility.get(), 0);
    Bytes bytes = stored(adapter(kMainDB), entry.RecordId);
    ASSERT_EQ(bytes.size(), 268u);
    MainRecord got = readMain(bytes);
    EXPECT_EQ(std::vector<std::uint16_t>(got.date, got.date + 7),
              (std::vector<std::uint16_t>{0, 0, 0, 14, 7, 2002, 1}));
    EXPECT_EQ(slice(bytes, 28, 8), (Bytes{0, 0, 0, 0x19, 0, 0, 0, 0x32}));
    EXPECT_EQ(got.qtyWhole, 10);
    EXPECT_EQ(got.qtyFraction, 123);
    EXPECT_EQ(got.vehicleId, -2);
    EXPECT_EQ(got.mileage, 123456);
    EXPECT_EQ(slice(bytes, 12, 2), (Bytes{'F', 'U'}));
}

TEST_F(RecordLayouts, HandheldDateKeepsOnlyItsDayOnTheDesktop)
{
    MainRecord r;
    std::uint16_t words[7] = {30, 15, 9, 29, 2, 2000, 3};
    std::copy(words, words + 7, r.date);
    TToDoMainObject entry(userName);
    entry.readFromRemote(utility.get(), mainBytes(r), 0, 42, 0, 0);
    EXPECT_DOUBLE_EQ(entry.TranDate(), at(2000, 2, 29, 9, 15, 30));
    appendRow("MAIN", entry);
    EXPECT_DOUBLE_EQ(floatOf(rows("MAIN").at(0), "TranDate"), EncodeDate(2000, 2, 29));
    TToDoMainObject again(userName);
    again.readFromDesktop(*table("MAIN"));
    EXPECT_EQ(again.Rec.TranDate, (THandheldDate{0, 0, 0, 29, 2, 2000, 3}));
}

TEST_F(RecordLayouts, WrongDayOfWeekIsKeptUntilAnAssign)
{
    MainRecord r;
    std::uint16_t words[7] = {0, 0, 0, 14, 7, 2002, 5}; // a Sunday marked Thursday
    std::copy(words, words + 7, r.date);
    setRecords(kMainDB, {palmRecord(42, mainBytes(r))});
    TToDoMainObject entry(userName);
    entry.readFromRemote(utility.get(), mainBytes(r), 0, 42, 0, 0);
    entry.writeToRemote(adapter(kMainDB), utility.get(), 0);
    EXPECT_EQ(get16(stored(adapter(kMainDB), 42), 26), 5);

    auto copy = entry.clone();
    entry.assign(*copy);
    entry.writeToRemote(adapter(kMainDB), utility.get(), 0);
    EXPECT_EQ(get16(stored(adapter(kMainDB), 42), 26), 1);
}

TEST_F(RecordLayouts, AllZeroDateFailsOnlyOnALiveRecord)
{
    Bytes zeros(268, 0);
    TToDoMainObject deleted(userName);
    EXPECT_NO_THROW(deleted.readFromRemote(utility.get(), zeros, 0, 42, 0, 0x80));
    TToDoMainObject live(userName);
    try {
        live.readFromRemote(utility.get(), zeros, 0, 42, 0, 0);
        ADD_FAILURE();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
}

TEST_F(RecordLayouts, UpdateKeepsReservedAndTrailingBytes)
{
    Bytes original = vehicleBytes({3, 2001, 9000, "Old", "fill", "Make", "Model", "Tire", "short notes"});
    original[0] = 0xDE, original[1] = 0xAD, original[2] = 0xBE, original[3] = 0xEF;
    std::fill(original.begin() + 186, original.end(), 0x5A);
    setRecords(kVehicleDB, {palmRecord(42, original)});

    TToDoVehicleObject remote(userName);
    remote.readFromRemote(utility.get(), original, 0, 42, 0, 0);
    TToDoVehicleObject desk(userName);
    desk.assign(remote);
    desk.Rec.Name = "New";
    remote.assign(desk);
    remote.writeToRemote(adapter(kVehicleDB), utility.get(), 0);

    Bytes bytes = stored(adapter(kVehicleDB), 42);
    EXPECT_EQ(slice(bytes, 0, 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(slice(bytes, 186, 26), Bytes(26, 0x5A));
    EXPECT_EQ(getText(bytes, 16, 15), "New");
    EXPECT_EQ(readVehicle(bytes).notes, "short notes");
}

TEST_F(RecordLayouts, ShortRecordGrowsForTheTextsWrittenPastItsEnd)
{
    MainRecord r;
    r.notes = "n";
    Bytes shortRecord = slice(mainBytes(r), 0, 100);
    setRecords(kMainDB, {palmRecord(42, shortRecord)});

    TToDoMainObject remote(userName);
    remote.readFromRemote(utility.get(), shortRecord, 0, 42, 0, 0x40);
    EXPECT_EQ(remote.Rec.Notes, "n");
    remote.Rec.Notes = std::string(60, 'x');
    remote.Rec.Filler = "ABC";
    remote.writeToRemote(adapter(kMainDB), utility.get(), 0);

    Bytes bytes = stored(adapter(kMainDB), 42);
    ASSERT_EQ(bytes.size(), 160u);
    EXPECT_EQ(getText(bytes, 56, 100), std::string(60, 'x'));
    EXPECT_EQ(getText(bytes, 156, 100), "ABC");
    EXPECT_EQ(bytes[159], 0);
}

TEST_F(RecordLayouts, LogEntryFillerTravelsFromDesktopToHandheldOnly)
{
    addRow("MAIN", syncColumns(42, true) + Row{{"TranDate", 37000.0}, {"Filler", "desk filler"}});
    TToDoMainObject desk(userName);
    desk.readFromDesktop(*table("MAIN"));
    desk.setRecordId(0);
    desk.writeToRemote(adapter(kMainDB), utility.get(), 0);
    EXPECT_EQ(getText(stored(adapter(kMainDB), desk.RecordId), 156, 100), "desk filler");

    MainRecord r;
    r.filler = "hand filler";
    TToDoMainObject remote(userName);
    remote.readFromRemote(utility.get(), mainBytes(r), 0, desk.RecordId, 0, 0x40);
    EXPECT_EQ(remote.Rec.Filler, "");
    {
        auto t = table("MAIN");
        t->edit();
        remote.writeToDesktop(*t, false, false, true);
        t->post();
    }
    EXPECT_EQ(textOf(rows("MAIN").at(0), "Filler"), "desk filler");
    remote.writeToRemote(adapter(kMainDB), utility.get(), 0);
    EXPECT_EQ(stored(adapter(kMainDB), desk.RecordId)[156], 0);
}

} // namespace
