#include "DesktopSchema.h"
#include "TempDir.h"
#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace desktopdb;
using desktopdbtest::createTable;
using desktopdbtest::PlainConnection;
using testing::ElementsAreArray;
using testing::HasSubstr;

namespace {

struct ColumnCase {
    const char *name;
    FieldType type;
    int size;
};

struct TableCase {
    const char *table;
    std::vector<ColumnCase> columns;
    std::vector<std::string> indexes;
};

const std::vector<ColumnCase> kCommon = {{"InternalID", FieldType::AutoInc, 0}, {"DBID", FieldType::Integer, 0},
                                         {"Modified", FieldType::Boolean, 0},   {"Synced", FieldType::Boolean, 0},
                                         {"Deleted", FieldType::Boolean, 0},    {"UserName", FieldType::String, 20}};

std::vector<ColumnCase> withCommon(std::vector<ColumnCase> own)
{
    std::vector<ColumnCase> all = kCommon;
    all.insert(all.end(), own.begin(), own.end());
    return all;
}

class CreateTableTest : public testing::TestWithParam<TableCase> {};

TEST_P(CreateTableTest, CreatesColumnsAndIndexesInItsOwnFile)
{
    const TableCase &c = GetParam();
    gvtest::TempDir dir;
    createTable(dir.str(), c.table);

    const auto file = dir / (std::string(c.table) + ".db");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    Table table;
    table.setDatabaseName(dir.str());
    table.setTableName(c.table);
    table.open();
    const auto &defs = table.fieldDefs();
    ASSERT_EQ(defs.size(), c.columns.size());
    for (std::size_t i = 0; i < defs.size(); ++i) {
        SCOPED_TRACE(c.columns[i].name);
        EXPECT_EQ(defs[i].name, c.columns[i].name);
        EXPECT_EQ(defs[i].type, c.columns[i].type);
        EXPECT_EQ(defs[i].size, c.columns[i].size);
        EXPECT_EQ(defs[i].kind, FieldKind::Data);
    }
    table.close();

    PlainConnection plain(file.string());
    EXPECT_THAT(plain.column("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY rowid"),
                ElementsAreArray(c.indexes));
    // InternalID is the key SQLite assigns: the rowid itself.
    plain.exec(std::string("INSERT INTO ") + c.table + " (DBID) VALUES (7)");
    EXPECT_EQ(plain.scalar(std::string("SELECT InternalID = rowid AND InternalID IS NOT NULL FROM ") + c.table), "1");
}

INSTANTIATE_TEST_SUITE_P(DesktopTables, CreateTableTest,
                         testing::Values(TableCase{"OILGRADE",
                                                   withCommon({{"ItemCost", FieldType::Money, 0},
                                                               {"Name", FieldType::String, 10},
                                                               {"Notes", FieldType::String, 100}}),
                                                   {"DBID", "Name"}},
                                         TableCase{"SUPPLIER",
                                                   withCommon({{"MainId", FieldType::Integer, 0},
                                                               {"Name", FieldType::String, 15},
                                                               {"Notes", FieldType::String, 100},
                                                               {"Filler", FieldType::String, 10}}),
                                                   {"DBID", "Name", "MainId"}},
                                         TableCase{"VEHICLE",
                                                   withCommon({{"OilGradeId", FieldType::Integer, 0},
                                                               {"ModelYear", FieldType::Integer, 0},
                                                               {"MilesPerYear", FieldType::Integer, 0},
                                                               {"Name", FieldType::String, 15},
                                                               {"Filler", FieldType::String, 20},
                                                               {"Make", FieldType::String, 10},
                                                               {"Model", FieldType::String, 15},
                                                               {"TireSize", FieldType::String, 10},
                                                               {"Notes", FieldType::String, 100}}),
                                                   {"DBID", "Name", "OilGradeId"}},
                                         TableCase{"MAIN",
                                                   withCommon({{"VehicleId", FieldType::Integer, 0},
                                                               {"Mileage", FieldType::Integer, 0},
                                                               {"Type", FieldType::String, 2},
                                                               {"TranDate", FieldType::Date, 0},
                                                               {"TotalCost", FieldType::Money, 0},
                                                               {"Qty", FieldType::Float, 0},
                                                               {"VendorId", FieldType::Integer, 0},
                                                               {"FuelGradeId", FieldType::Integer, 0},
                                                               {"MiscBits", FieldType::Integer, 0},
                                                               {"Notes", FieldType::String, 100},
                                                               {"Filler", FieldType::String, 100}}),
                                                   {"DBID", "VehicleIdMileage", "VendorId", "FuelGradeId"}}),
                         [](const testing::TestParamInfo<TableCase> &info) { return std::string(info.param.table); });

TEST(SqlQueryTest, AllFourTablesInOneFolderKeepTheirSameNamedIndexesApart)
{
    gvtest::TempDir dir;
    for (const char *name : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"})
        createTable(dir.str(), name);
    for (const char *name : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"}) {
        PlainConnection plain((dir / (std::string(name) + ".db")).string());
        EXPECT_EQ(plain.scalar("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = 'DBID'"), name);
        EXPECT_EQ(plain.scalar("SELECT count(*) FROM sqlite_master WHERE type = 'table'"), "1");
    }
}

TEST(SqlQueryTest, CreateTableOverAnExistingTableFailsAndKeepsItsRows)
{
    gvtest::TempDir dir;
    createTable(dir.str(), "OILGRADE");
    {
        PlainConnection plain((dir / "OILGRADE.db").string());
        plain.exec("INSERT INTO OILGRADE (DBID, Name) VALUES (1, '10W40')");
    }
    try {
        createTable(dir.str(), "OILGRADE");
        FAIL() << "second CREATE TABLE succeeded";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr("already exists"));
    }
    PlainConnection plain((dir / "OILGRADE.db").string());
    EXPECT_EQ(plain.scalar("SELECT Name FROM OILGRADE"), "10W40");
}

struct RefusedCase {
    const char *label;
    std::string sql;
    const char *message;
};

class RefusedStatementTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedStatementTest, FailsClearlyAndLeavesNoFile)
{
    gvtest::TempDir dir;
    SqlQuery query;
    query.setDatabaseName(dir.str());
    query.add(GetParam().sql);
    try {
        query.execSql();
        FAIL() << "statement was executed";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr(GetParam().message));
    }
    query.close();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "evil.db"));
}

INSTANTIATE_TEST_SUITE_P(
    Statements, RefusedStatementTest,
    testing::Values(
        RefusedCase{"Select", "SELECT 1", "Only CREATE TABLE and CREATE INDEX"},
        RefusedCase{"Drop", "DROP TABLE MAIN", "Only CREATE TABLE and CREATE INDEX"},
        RefusedCase{"IndexOnMissingTable", "CREATE INDEX DBID ON MAIN (DBID)", "does not exist"},
        RefusedCase{"SyntaxError", "CREATE TABLE MAIN (\n  DBID INTEGER,,\n  Name VARCHAR(2))", "syntax error"},
        RefusedCase{"SecondStatement", "CREATE TABLE MAIN (DBID INTEGER); DROP TABLE MAIN", "one statement"},
        RefusedCase{"PathInTableName", "CREATE TABLE \"../evil\" (DBID INTEGER)", "Invalid table name"},
        RefusedCase{"Empty", "", "Only CREATE TABLE"}),
    [](const testing::TestParamInfo<RefusedCase> &info) { return std::string(info.param.label); });

} // namespace

namespace {

TEST(SqlQueryTest, OnlyColumnTypesAreRewrittenNotColumnNames)
{
    gvtest::TempDir dir;
    SqlQuery query;
    query.setDatabaseName(dir.str());
    for (const char *line : {"CREATE TABLE LEDGER (", "  InternalID AUTOINC,", "  Money MONEY,", "  Autoinc INTEGER,",
                             "  Note VARCHAR(10) DEFAULT 'MONEY',", "PRIMARY KEY (InternalID))"})
        query.add(line);
    query.execSql();
    query.close();
    PlainConnection plain((dir / "LEDGER.db").string());
    EXPECT_THAT(plain.column("SELECT name || ' ' || type FROM pragma_table_info('LEDGER')"),
                ElementsAreArray({"InternalID INTEGER", "Money MONEY REAL", "Autoinc INTEGER", "Note VARCHAR(10)"}));
    plain.exec("INSERT INTO LEDGER (Money) VALUES (12)");
    EXPECT_EQ(plain.scalar("SELECT typeof(Money) || ' ' || Note || ' ' || (InternalID = rowid) FROM LEDGER"),
              "real MONEY 1");
}

} // namespace
