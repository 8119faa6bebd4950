// The run as a whole: which sync types run, the log line, the tables the
// run creates, and how a failure ends the run.

#include "SyncFixture.h"

#include "DatabaseQuerySpy.h"
#include "com/ComPtr.h"
#include "conduit/KLXClientNotify.h"
#include "palmsync/HotSyncSession.h"

#include <sqlite3.h>

#include <set>

using namespace conduittest;

namespace {

class BeginProcess : public HotSyncFixture {
protected:
    std::map<std::string, std::vector<std::uint8_t>> handheldFiles() const
    {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const std::string &db : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB})
            files[db] = gvtest::readFileBytes(databaseFile(db));
        return files;
    }
};

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class OtherSyncTypes : public BeginProcess, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(OtherSyncTypes, OpenNothingAndLogOk)
{
    addRow("SUPPLIER", syncColumns(0, false) + Row{{"Name", "Unsynced"}});
    setRecords(kMainDB, {palmRecord(42, mainBytes({}), 0x40)});
    auto before = handheldFiles();

    EXPECT_EQ(runHotSync(GetParam()), std::vector<std::string>{"OK Gearvane"});

    EXPECT_EQ(handheldFiles(), before);
    for (const char *table : {"MAIN", "OILGRADE", "VEHICLE"})
        EXPECT_FALSE(std::filesystem::exists(tableFile(table))) << table;
    ASSERT_EQ(rows("SUPPLIER").size(), 1u);
    EXPECT_FALSE(boolOf(rows("SUPPLIER")[0], "Synced"));
}

INSTANTIATE_TEST_SUITE_P(Types, OtherSyncTypes, ::testing::Values(4, 5, 6, 7, 100, -1));

TEST_F(BeginProcess, MissingMainDatabaseGivesOneErrorLine)
{
    std::filesystem::remove(databaseFile(kMainDB));
    auto log = runHotSync(0);
    ASSERT_EQ(log.size(), 1u);
    const std::string prefix = "ERROR (Gearvane): syncStandard: openRemoteDatabase: ";
    const std::string suffix = " (Name=MainDB-KLXC)";
    EXPECT_TRUE(startsWith(log[0], prefix)) << log[0];
    EXPECT_TRUE(endsWith(log[0], suffix)) << log[0];
    EXPECT_GT(log[0].size(), prefix.size() + suffix.size()) << "the platform's message is missing";
    EXPECT_EQ(lastResult, 0);
    EXPECT_TRUE(std::filesystem::is_empty(conduitDir));
}

TEST_F(BeginProcess, EmptyFolderFromHotSyncFailsInOpenDesktopDatabase)
{
    pathName = "";
    auto log = runHotSync(0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(startsWith(log[0], "ERROR (Gearvane): syncStandard: openDesktopDatabase: ")) << log[0];
    EXPECT_GT(log[0].size(), std::string("ERROR (Gearvane): syncStandard: openDesktopDatabase: ").size());
    EXPECT_TRUE(std::filesystem::is_empty(conduitDir));
}

// Index columns of a table file, as SQLite keeps them.
std::set<std::vector<std::string>> indexColumns(const std::filesystem::path &file, const std::string &table)
{
    sqlite3 *db = nullptr;
    std::set<std::vector<std::string>> result;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << file;
        return result;
    }
    sqlite3_stmt *list = nullptr;
    std::string sql = "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name=?1 AND sql IS NOT NULL";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &list, nullptr);
    sqlite3_bind_text(list, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(list) == SQLITE_ROW) {
        std::string index = reinterpret_cast<const char *>(sqlite3_column_text(list, 0));
        sqlite3_stmt *info = nullptr;
        sqlite3_prepare_v2(db, ("PRAGMA index_info(\"" + index + "\")").c_str(), -1, &info, nullptr);
        std::vector<std::string> columns;
        while (sqlite3_step(info) == SQLITE_ROW)
            columns.push_back(reinterpret_cast<const char *>(sqlite3_column_text(info, 2)));
        sqlite3_finalize(info);
        result.insert(columns);
    }
    sqlite3_finalize(list);
    sqlite3_close(db);
    return result;
}

TEST_F(BeginProcess, FirstHotSyncCreatesTheFourTablesWithTheirIndexes)
{
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    using Cols = std::set<std::vector<std::string>>;
    EXPECT_EQ(indexColumns(tableFile("OILGRADE"), "OILGRADE"), (Cols{{"DBID"}, {"Name"}}));
    EXPECT_EQ(indexColumns(tableFile("SUPPLIER"), "SUPPLIER"), (Cols{{"DBID"}, {"Name"}, {"MainId"}}));
    EXPECT_EQ(indexColumns(tableFile("VEHICLE"), "VEHICLE"), (Cols{{"DBID"}, {"Name"}, {"OilGradeId"}}));
    EXPECT_EQ(indexColumns(tableFile("MAIN"), "MAIN"),
              (Cols{{"DBID"}, {"VehicleId", "Mileage"}, {"VendorId"}, {"FuelGradeId"}}));
    for (const char *table : {"MAIN", "OILGRADE", "SUPPLIER", "VEHICLE"})
        EXPECT_TRUE(rows(table).empty()) << table;
}

TEST_F(BeginProcess, LaterHotSyncsCreateOnlyAMissingTable)
{
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    for (const char *table : {"MAIN", "OILGRADE", "SUPPLIER", "VEHICLE"})
        addRow(table, syncColumns(0, true) + Row{{"Notes", std::string("kept in ") + table}});

    // A folder text ending in a separator names the same files.
    pathName = conduitDir.string() + "/";
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    for (const char *table : {"MAIN", "OILGRADE", "SUPPLIER", "VEHICLE"})
        EXPECT_EQ(rows(table).size(), 1u) << table;

    std::filesystem::remove(tableFile("VEHICLE"));
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_TRUE(rows("VEHICLE").empty());
    EXPECT_EQ(indexColumns(tableFile("VEHICLE"), "VEHICLE").size(), 3u);
    for (const char *table : {"MAIN", "OILGRADE", "SUPPLIER"})
        EXPECT_EQ(textOf(rows(table).at(0), "Notes"), std::string("kept in ") + table);
}

TEST_F(BeginProcess, RowOfAUserNameDifferingInCaseIsNotTheUsersRow)
{
    addRow("SUPPLIER", syncColumns(42, true) + Row{{"UserName", "ann driver"}, {"Name", "Theirs"}});
    setRecords(kSupplierDB, {palmRecord(42, supplierBytes({1, "Hand", "", ""}))});

    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

    auto table = rows("SUPPLIER");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(textOf(table[0], "UserName"), "ann driver");
    EXPECT_EQ(textOf(table[0], "Name"), "Theirs");
    EXPECT_EQ(textOf(table[1], "UserName"), userName);
    EXPECT_EQ(textOf(table[1], "Name"), "Hand");
    EXPECT_EQ(intOf(table[1], "DBID"), 42);
}

TEST_F(BeginProcess, FailureInThirdTableKeepsEarlierTablesAndSkipsTheRest)
{
    addRow("MAIN", syncColumns(0, false) + Row{{"Mileage", std::int64_t{500}}, {"TranDate", 37000.0}});
    addRow("OILGRADE", syncColumns(-1, false) + Row{{"Name", "NewOil"}, {"ItemCost", 4.25}});
    std::filesystem::remove(databaseFile(kSupplierDB));

    auto log = runHotSync(0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(startsWith(log[0], "ERROR (Gearvane): syncStandard: openRemoteDatabase: ")) << log[0];
    EXPECT_TRUE(endsWith(log[0], " (Name=SupplierDB-KLXC)")) << log[0];

    ASSERT_EQ(records(kMainDB).size(), 1u);
    EXPECT_EQ(intOf(rows("MAIN").at(0), "DBID"), records(kMainDB)[0].uniqueId);
    ASSERT_EQ(records(kOilGradeDB).size(), 1u);
    EXPECT_EQ(intOf(rows("OILGRADE").at(0), "DBID"), records(kOilGradeDB)[0].uniqueId);
    EXPECT_TRUE(boolOf(rows("OILGRADE").at(0), "Synced"));
    // Neither the vehicle step nor the oil grade fix (which opens VEHICLE) ran.
    EXPECT_FALSE(std::filesystem::exists(tableFile("VEHICLE")));
    EXPECT_FALSE(std::filesystem::exists(tableFile("SUPPLIER")));
}

} // namespace

namespace {

TEST_F(BeginProcess, UserNameLongerThanItsColumnFindsItsRowsAgain)
{
    userName = "Annabelle Montgomery-Driver"; // 27 characters; the column keeps 20
    setRecords(kSupplierDB, {palmRecord(42, supplierBytes({1, "Hand", "", ""}))});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    auto table = rows("SUPPLIER");
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(intOf(table[0], "DBID"), 42);
}

} // namespace

namespace {

TEST_F(BeginProcess, SecondHotSyncOnTheSameObjectStartsAfresh)
{
    // The first run ends with the main database open (the vendor fix).
    addRow("SUPPLIER", syncColumns(-1, false) + Row{{"Name", "Garage"}});
    com::ComPtr<conduit::TKLXGVClientNotify> notify(new conduit::TKLXGVClientNotify);
    for (int run = 0; run < 2; ++run) {
        if (run == 1)
            setRecords(kMainDB, {palmRecord(42, mainBytes({}), 0x40)});
        palmsync::HotSyncSession session({userName, pathName, 0, handheldDir});
        installDatabaseQuerySpy();
        std::int16_t result = -1;
        EXPECT_EQ(notify->BeginProcess(&result), com::S_OK);
        EXPECT_EQ(result, 0);
        session.end();
        EXPECT_EQ(session.logLines(), std::vector<std::string>{"OK Gearvane"}) << "run " << run;
    }
    EXPECT_TRUE(rowWithDbid("MAIN", 42));
}

} // namespace

namespace {

TEST_F(BeginProcess, DamagedTableFileFailsWithTheEnginesMessage)
{
    gvtest::writeFileText(tableFile("OILGRADE"), "this is not a table file, just text long enough to be read");
    auto log = runHotSync(0);
    ASSERT_EQ(log.size(), 1u);
    const std::string prefix = "ERROR (Gearvane): syncStandard: openDesktopDatabase: ";
    EXPECT_TRUE(startsWith(log[0], prefix)) << log[0];
    EXPECT_GT(log[0].size(), prefix.size());
    EXPECT_EQ(log[0].find("createDatabase"), std::string::npos) << "an existing file is never recreated";
    EXPECT_TRUE(rows("MAIN").empty());
    EXPECT_FALSE(std::filesystem::exists(tableFile("SUPPLIER")));
}

} // namespace
