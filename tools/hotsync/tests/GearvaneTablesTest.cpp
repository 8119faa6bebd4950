// The Gearvane tables through the hotsync program: a handheld whose records
// are written byte by byte with known totals is HotSynced through Tarnlink;
// then "report", "export", "users rename" and the HotSync's own progress
// and summary are checked against what those records add up to.

#include "ProgramRunner.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "palmsync/PalmDatabase.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <cstdlib>

using namespace hotsynctest;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

namespace {

// A handheld record under construction: big-endian numbers, zero-ended
// texts at fixed offsets.
class Record {
public:
    explicit Record(std::size_t size) : bytes_(size, 0) {}

    Record &number(std::size_t offset, std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes_[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (24 - 8 * i));
        return *this;
    }
    Record &word(std::size_t offset, std::uint16_t value)
    {
        bytes_[offset] = static_cast<std::uint8_t>(value >> 8);
        bytes_[offset + 1] = static_cast<std::uint8_t>(value);
        return *this;
    }
    Record &text(std::size_t offset, const std::string &value)
    {
        std::copy(value.begin(), value.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
        return *this;
    }
    // A date at midnight; the day of the week is not read back.
    Record &date(std::size_t offset, std::uint16_t year, std::uint16_t month, std::uint16_t day)
    {
        return word(offset + 6, day).word(offset + 8, month).word(offset + 10, year).word(offset + 12, 1);
    }
    const std::vector<std::uint8_t> &bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

struct LogEntry {
    std::int32_t id, vehicle, mileage;
    const char *type;
    std::uint16_t year, month, day;
    std::int32_t costWhole, costFraction, qtyWhole, qtyFraction; // decimal pairs: (20, 25) is 20.25
    std::int32_t vendor;
};

// Red Van: three fill-ups from 10000 to 10800 with 32 + 40 after the first,
// and one service. Blue Car: two fill-ups from 5000 to 5900 with 12 after
// the first, an oil change, a service without mileage, and a supplier id
// that names no supplier. Old Bike: no entries.
const std::vector<LogEntry> entries{
    {31, 21, 10000, "FU", 2003, 1, 5, 60, 0, 40, 0, 12},   {32, 21, 10400, "FU", 2003, 1, 20, 50, 0, 32, 0, 12},
    {33, 21, 10500, "SV", 2003, 1, 25, 120, 50, 1, 0, 11}, {34, 21, 10800, "FU", 2003, 2, 10, 62, 0, 40, 0, 12},
    {35, 22, 5000, "FU", 2003, 1, 7, 20, 25, 10, 50, 12},  {36, 22, 5600, "OC", 2003, 2, 1, 30, 0, 1, 0, 11},
    {37, 22, 0, "SV", 2003, 2, 2, 15, 0, 1, 0, 0},         {38, 22, 5900, "FU", 2003, 2, 20, 21, 0, 12, 0, 99},
};

void writeHandheld(const fs::path &folder)
{
    auto save = [&](const std::string &name, const std::vector<std::pair<std::uint32_t, Record>> &records) {
        auto db = palmsync::PalmDatabase::createRecordDatabase(name, "DATA", "KLXC", 0);
        for (const auto &[id, record] : records)
            db.records.push_back({0x40, 0, id, record.bytes()});
        db.save(folder / (name + ".pdb"));
    };
    save("OilGradeDB-KLXC", {{1, Record(132).number(4, 8).number(8, 50).text(12, "5W-30")},
                             {2, Record(132).number(4, 9).number(8, 0).text(12, "10W-40")}});
    save("SupplierDB-KLXC", {{11, Record(148).text(8, "Quick Lube")}, {12, Record(148).text(8, "Main St, Fuel")}});
    auto vehicle = [](std::int32_t grade, std::int32_t year, const char *name, const char *make, const char *model) {
        return Record(212).number(4, grade).number(8, year).number(12, 12000).text(16, name).text(51, make).text(61,
                                                                                                                 model);
    };
    save("VehicleDB-KLXC", {{21, vehicle(2, 2001, "Red Van", "Ford", "Transit")},
                            {22, vehicle(1, 1999, "Blue Car", "Honda", "Civic")},
                            {23, vehicle(0, 1975, "Old Bike", "", "")}});
    std::vector<std::pair<std::uint32_t, Record>> log;
    for (const auto &e : entries)
        log.emplace_back(e.id, Record(268)
                                   .number(4, e.vehicle)
                                   .number(8, e.mileage)
                                   .text(12, e.type)
                                   .date(14, e.year, e.month, e.day)
                                   .number(28, e.costWhole)
                                   .number(32, e.costFraction)
                                   .number(36, e.qtyWhole)
                                   .number(40, e.qtyFraction)
                                   .number(44, e.vendor));
    save("MainDB-KLXC", log);
}

void execSql(const fs::path &file, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char *message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

std::vector<std::string> column(const fs::path &file, const std::string &sql)
{
    std::vector<std::string> values;
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_open(file.c_str(), &db) == SQLITE_OK && sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == 0) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            values.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return values;
}

class GearvaneTablesTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root);
        fs::create_directories(handheld);
        fs::create_directories(scratch);
        ASSERT_EQ(hotsync({"register", (gvtest::binaryDir() / "Tarnlink.so").string()}).status, 0);
        ASSERT_EQ(hotsync({"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client",
                           "Tarnlink.KLXGVClientNotify", "--directory", "gearvane", "--title", "Gearvane"})
                      .status,
                  0);
        auto r = hotsync({"users", "add", "Anna"});
        ASSERT_EQ(r.status, 0) << describe(r);
        desktop = root / "users" / (lines(r.out).at(0) + "-Anna") / "gearvane";
        writeHandheld(handheld);
        firstSync = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
        ASSERT_EQ(firstSync.status, 0) << describe(firstSync);
    }

    RunResult hotsync(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--root", root.string()});
        return runProgram(scratch, args, sanitizerEnvironment());
    }

    std::vector<std::string> sanitizerEnvironment() { return pluginSanitizerEnvironment(dir.path()); }

    gvtest::TempDir dir;
    fs::path root = dir / "host root";
    fs::path handheld = dir / "handheld";
    fs::path scratch = dir / "scratch";
    fs::path desktop;
    RunResult firstSync;
};

TEST_F(GearvaneTablesTest, TheReportAddsUpEachVehicle)
{
    // Desktop work since the HotSync: a row marked deleted does not count,
    // a new row does.
    execSql(desktop / "MAIN.db",
            "INSERT INTO MAIN (DBID, Modified, Synced, Deleted, UserName, VehicleId, Mileage, Type, TranDate, "
            "TotalCost, Qty) VALUES (39, 0, 1, 1, 'Anna', 21, 11000, 'FU', '2003-03-01', 999, 999), "
            "(0, 0, 0, 0, 'Anna', 23, 300, 'SV', '2003-03-02', 12.5, 1)");

    auto r = hotsync({"report", "--user", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    const std::vector<std::string> expected{
        "Red Van (Ford Transit 2001)",
        "  Log entries         4, 2003-01-05 to 2003-02-10",
        "  Distance covered    800 (odometer 10000 to 10800)",
        "  Fuel bought         112 in 3 fill-ups, costing 172.00",
        "  Running costs       292.50 (fuel 172.00, other entries 120.50)",
        "  Cost per distance   0.366",
        "  Fuel economy        11.11 distance per unit of fuel (800 over 72 between 3 full fill-ups)",
        "  Service by type     SV: 1 entry, costing 120.50",
        "",
        "Blue Car (Honda Civic 1999)",
        "  Log entries         4, 2003-01-07 to 2003-02-20",
        "  Distance covered    900 (odometer 5000 to 5900)",
        "  Fuel bought         22.5 in 2 fill-ups, costing 41.25",
        "  Running costs       86.25 (fuel 41.25, other entries 45.00)",
        "  Cost per distance   0.096",
        "  Fuel economy        75.00 distance per unit of fuel (900 over 12 between 2 full fill-ups)",
        "  Service by type     OC: 1 entry, costing 30.00",
        "                      SV: 1 entry, costing 15.00",
        "",
        "Old Bike (1975)",
        "  Log entries         1, 2003-03-02 to 2003-03-02",
        "  Distance covered    unknown (fewer than two mileages)",
        "  Fuel bought         0 in 0 fill-ups, costing 0.00",
        "  Running costs       12.50 (fuel 0.00, other entries 12.50)",
        "  Cost per distance   unknown",
        "  Fuel economy        unknown (fewer than two fill-ups with a mileage)",
        "  Service by type     SV: 1 entry, costing 12.50",
    };
    EXPECT_EQ(lines(r.out), expected) << r.out;
}

TEST_F(GearvaneTablesTest, TheExportNamesWhatTheReferencesPointAt)
{
    execSql(desktop / "MAIN.db", "UPDATE MAIN SET Deleted = 1, Modified = 1 WHERE DBID = 36");
    struct Case {
        std::vector<std::string> args;
        std::string line;
    };
    const std::vector<Case> cases{
        {{"--table", "vehicle", "--format", "csv"},
         "DBID,OilGradeId,OilGrade,ModelYear,MilesPerYear,Name,Filler,Make,"
         "Model,TireSize,Notes"},
        {{"--table", "VEHICLE", "--format", "csv"}, "21,2,10W-40,2001,12000,Red Van,,Ford,Transit,,"},
        {{"--table", "VEHICLE", "--format", "csv"}, "23,0,,1975,12000,Old Bike,,,,,"},
        {{"--table", "SUPPLIER", "--format", "csv"}, "12,0,\"Main St, Fuel\",,"},
        {{"--table", "MAIN", "--format", "csv"},
         "35,22,Blue Car,5000,FU,2003-01-07,20.25,10.5,12,\"Main St, Fuel\",0,"
         "0,,"},
        {{"--table", "MAIN", "--format", "csv"}, "38,22,Blue Car,5900,FU,2003-02-20,21,12,99,,0,0,,"},
        {{"--table", "OILGRADE", "--format", "csv"}, "1,8.5,5W-30,"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args{"export", "--user", "Anna"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = hotsync(args);
        ASSERT_EQ(r.status, 0) << describe(r);
        EXPECT_THAT(lines(r.out), testing::Contains(c.line)) << r.out;
    }

    auto r = hotsync({"export", "--user", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["OILGRADE"].size(), 2u);
    EXPECT_EQ(json["SUPPLIER"].size(), 2u);
    EXPECT_EQ(json["VEHICLE"].size(), 3u);
    ASSERT_EQ(json["MAIN"].size(), 7u) << "the row marked deleted is left out";
    const auto &last = json["MAIN"][6];
    EXPECT_EQ(last["DBID"], 38);
    EXPECT_EQ(last["Vehicle"], "Blue Car");
    EXPECT_TRUE(last["Supplier"].is_null());
    EXPECT_EQ(last["TranDate"], "2003-02-20");
    EXPECT_EQ(last["Qty"], 12.0);
    EXPECT_FALSE(last.contains("Modified"));
}

// The conduit finds a record's desktop row by user name and id: renaming
// the user renames the rows, or the next HotSync would add every handheld
// record again as a new row.
TEST_F(GearvaneTablesTest, ARenamedUserKeepsItsRows)
{
    auto r = hotsync({"users", "rename", "--user", "Anna", "Anna Berg"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("OILGRADE 2, SUPPLIER 2, VEHICLE 3, MAIN 8"));

    r = hotsync({"sync", "--user", "Anna Berg", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(column(desktop / "MAIN.db", "SELECT count(*) FROM MAIN"), testing::ElementsAre("8"));
    EXPECT_THAT(column(desktop / "VEHICLE.db", "SELECT DISTINCT UserName FROM VEHICLE"),
                testing::ElementsAre("Anna Berg"));
    r = hotsync({"users", "rename", "--user", "Anna Berg", "Anna Berg"});
    EXPECT_EQ(r.status, 1) << describe(r);
}

// The summary follows every HotSync; the progress line only a terminal,
// and not with --quiet.
TEST_F(GearvaneTablesTest, AHotSyncShowsProgressOnATerminalAndSumsUpEachTable)
{
    EXPECT_THAT(firstSync.out, testing::ContainsRegex("\nGearvane MAIN +0 +0 +0 +8 +0 +0 +0\n"));
    EXPECT_THAT(firstSync.out, testing::ContainsRegex("\nGearvane VEHICLE +0 +0 +0 +3 +0 +0 +0\n"));
    EXPECT_THAT(firstSync.out, Not(HasSubstr("reading")));

    struct Case {
        std::vector<std::string> extra;
        bool progress;
    };
    for (const Case &c : {Case{{"--action", "desktop-overwrites"}, true}, Case{{"--quiet"}, false}}) {
        std::vector<std::string> args{"--root", root.string(), "sync",           "--user",
                                      "Anna",   "--handheld",  handheld.string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        auto r = runOnTerminal(args, sanitizerEnvironment());
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_THAT(r.out, HasSubstr("OK Gearvane"));
        if (c.progress) {
            EXPECT_THAT(r.out, HasSubstr("\rGearvane MAIN: writing 8 of 8 (100%)"));
            // Each entry names a vehicle, six of them a supplier.
            EXPECT_THAT(r.out, testing::ContainsRegex("Gearvane MAIN +8 +0 +8 +0 +0 +0 +14"));
        } else {
            EXPECT_THAT(r.out, Not(HasSubstr("\r\033[K")));
            EXPECT_THAT(r.out, Not(HasSubstr("renumbered")));
        }
    }
}

} // namespace
