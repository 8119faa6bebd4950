#include "desktopdb/Table.h"
#include "DesktopSchema.h"
#include "TempDir.h"
#include "desktopdb/DesktopDbError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

using namespace desktopdb;
using desktopdbtest::createTable;
using desktopdbtest::PlainConnection;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;

namespace {

class TableTest : public testing::Test {
protected:
    void SetUp() override
    {
        createTable(dir.str(), "OILGRADE");
        table.setDatabaseName(dir.str());
        table.setTableName("OILGRADE");
        table.open();
    }

    void appendRow(const std::string &user, std::int32_t id, const std::string &name = "")
    {
        table.append();
        table.fieldByName("UserName").setAsString(user);
        table.fieldByName("DBID").setAsInteger(id);
        table.fieldByName("Name").setAsString(name);
        table.post();
    }

    // DBID of every row, visited with first/next/eof.
    std::vector<int> ids()
    {
        std::vector<int> all;
        for (table.first(); !table.eof(); table.next())
            all.push_back(table.fieldByName("DBID").asInteger());
        return all;
    }

    std::string plainScalar(const std::string &sql)
    {
        PlainConnection plain((dir / "OILGRADE.db").string());
        return plain.scalar(sql);
    }

    gvtest::TempDir dir;
    Table table;
};

TEST(TableOpenTest, MissingTableFileFailsNamingTheFileAndCreatesNothing)
{
    gvtest::TempDir dir;
    Table table;
    table.setDatabaseName(dir.str());
    table.setTableName("VEHICLE");
    EXPECT_FALSE(table.exists());
    try {
        table.open();
        FAIL() << "opened a missing table";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr((dir / "VEHICLE.db").string()));
    }
    EXPECT_FALSE(table.active());
    EXPECT_FALSE(std::filesystem::exists(dir / "VEHICLE.db"));
}

TEST(TableOpenTest, FileWithoutThatTableFails)
{
    gvtest::TempDir dir;
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "MAIN.db").string().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE OTHER (x INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    Table table;
    table.setDatabaseName(dir.str());
    table.setTableName("MAIN");
    EXPECT_THROW(table.open(), DesktopDbError);
    EXPECT_FALSE(table.active());
}

TEST(TableOpenTest, TableFileIsFoundWhateverTheCaseOfItsName)
{
    gvtest::TempDir dir;
    createTable(dir.str(), "OILGRADE");
    std::filesystem::rename(dir / "OILGRADE.db", dir / "oilgrade.DB");
    Table table;
    table.setDatabaseName(dir.str());
    table.setTableName("OILGRADE");
    EXPECT_TRUE(table.exists());
    table.open();
    EXPECT_EQ(table.fieldDefs().size(), 9u);
    table.close();
    EXPECT_THROW(createTable(dir.str(), "OILGRADE"), DesktopDbError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(TableTest, EmptyTableIsAtEndWithRowNumberZero)
{
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.recNo(), 0);
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_FALSE(table.locate("UserName;DBID", {std::string("Alice"), std::int64_t{1}}));
    EXPECT_THROW(table.edit(), DesktopDbError);
    EXPECT_THROW(table.remove(), DesktopDbError);
    EXPECT_THROW(table.setRecNo(1), DesktopDbError);
}

TEST_F(TableTest, ColumnsWithoutValueReadAsZeroFalseEmptyAndDateZero)
{
    createTable(dir.str(), "MAIN");
    Table main;
    main.setDatabaseName(dir.str());
    main.setTableName("MAIN");
    main.open();
    main.append();
    main.post();
    ASSERT_EQ(main.recordCount(), 1);
    for (Field *field : main.fields()) {
        SCOPED_TRACE(field->name());
        if (field->dataType() == FieldType::AutoInc)
            continue;
        EXPECT_TRUE(field->isNull());
        EXPECT_EQ(field->asInteger(), 0);
        EXPECT_FALSE(field->asBoolean());
        EXPECT_EQ(field->asFloat(), 0.0);
        EXPECT_EQ(field->asDateTime(), 0.0);
        EXPECT_EQ(field->asString(), "");
    }
    EXPECT_GT(main.fieldByName("InternalID").asInteger(), 0);
}

TEST_F(TableTest, PassVisitsRowsInKeyOrderAndNavigationKeepsTheLastRow)
{
    for (int id : {30, 10, 20})
        appendRow("Alice", id);
    EXPECT_THAT(ids(), ElementsAre(30, 10, 20));
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.recNo(), 3);
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 20);
    table.prior();
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 10);
    table.first();
    EXPECT_TRUE(table.bof());
    table.prior();
    EXPECT_EQ(table.recNo(), 1);
}

struct CutCase {
    const char *label;
    std::string written;
    std::string stored;
};

class VarcharCutTest : public TableTest, public testing::WithParamInterface<CutCase> {};

TEST_P(VarcharCutTest, KeepsTheFirstTenCharacters)
{
    appendRow("Alice", 1, GetParam().written);
    EXPECT_EQ(table.fieldByName("Name").asString(), GetParam().stored);
    EXPECT_EQ(plainScalar("SELECT Name FROM OILGRADE"), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Name, VarcharCutTest,
    testing::Values(CutCase{"Shorter", "10W40", "10W40"}, CutCase{"Exact", "0123456789", "0123456789"},
                    CutCase{"Longer", "0123456789ABC", "0123456789"},
                    CutCase{"TwoByteCharacters",
                            "\u00e4\u00f6\u00fc\u00df\u00e9\u00e8\u00ea\u00eb\u00ef\u00ee\u00a1\u00bf",
                            "\u00e4\u00f6\u00fc\u00df\u00e9\u00e8\u00ea\u00eb\u00ef\u00ee"},
                    CutCase{"MixedWidths", "a\u20acb\U0001F697c\u00e9d\u20ace\U0001F697f",
                            "a\u20acb\U0001F697c\u00e9d\u20ace\U0001F697"}),
    [](const testing::TestParamInfo<CutCase> &info) { return std::string(info.param.label); });

TEST_F(TableTest, TextThatIsNotUtf8IsRefused)
{
    table.append();
    EXPECT_THROW(table.fieldByName("Name").setAsString("caf\xe9"), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Name").setAsString("\xc3"), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Name").setAsString("\xed\xa0\x80"), DesktopDbError); // a lone surrogate
    table.cancel();
}

struct LocateCase {
    const char *label;
    std::string user;
    std::int64_t id;
    bool found;
};

class LocateTest : public TableTest, public testing::WithParamInterface<LocateCase> {};

TEST_P(LocateTest, MatchesUserAndIdExactly)
{
    appendRow("Alice", 5, "first");
    appendRow("Bob", 5, "bob's");
    appendRow("Alice", 7, "second");
    appendRow("alice", 9, "lower");
    table.setRecNo(2);
    const LocateCase &c = GetParam();
    EXPECT_EQ(table.locate("UserName;DBID", {c.user, c.id}), c.found);
    if (c.found) {
        EXPECT_EQ(table.fieldByName("UserName").asString(), c.user);
        EXPECT_EQ(table.fieldByName("DBID").asInteger(), c.id);
    } else {
        EXPECT_EQ(table.recNo(), 2); // a miss leaves the current row
        EXPECT_EQ(table.fieldByName("Name").asString(), "bob's");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocateTest,
    testing::Values(LocateCase{"Exact", "Alice", 7, true}, LocateCase{"SameIdOtherUser", "Bob", 5, true},
                    LocateCase{"LowerCaseRow", "alice", 9, true}, LocateCase{"CaseDiffers", "ALICE", 7, false},
                    LocateCase{"CaseDiffersOtherWay", "alice", 7, false}, LocateCase{"Prefix", "Ali", 7, false},
                    LocateCase{"TrailingSpace", "Alice ", 7, false}, LocateCase{"IdMisses", "Alice", 8, false},
                    LocateCase{"IdOfOtherUser", "Bob", 7, false}),
    [](const testing::TestParamInfo<LocateCase> &info) { return std::string(info.param.label); });

TEST_F(TableTest, LocateFindsARowAnotherProgramAddedAfterOpening)
{
    appendRow("Alice", 1);
    {
        PlainConnection plain((dir / "OILGRADE.db").string());
        plain.exec("INSERT INTO OILGRADE (UserName, DBID, Name) VALUES ('Alice', 2, 'outside')");
    }
    ASSERT_TRUE(table.locate("UserName;DBID", {std::string("Alice"), std::int64_t{2}}));
    EXPECT_EQ(table.recNo(), 2);
    EXPECT_EQ(table.fieldByName("Name").asString(), "outside");
    EXPECT_EQ(table.recordCount(), 2);
}

TEST_F(TableTest, RowNumbersFollowAppendsAndDeletes)
{
    for (int id = 1; id <= 5; ++id) {
        appendRow("Alice", id);
        EXPECT_EQ(table.recNo(), id) << "the appended row is current";
        EXPECT_EQ(table.fieldByName("DBID").asInteger(), id);
    }
    table.setRecNo(3);
    table.remove(); // the next row becomes current
    EXPECT_EQ(table.recNo(), 3);
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 4);
    table.setRecNo(4);
    table.remove(); // the last row: the new last becomes current
    EXPECT_EQ(table.recNo(), 3);
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 4);
    EXPECT_THAT(ids(), ElementsAre(1, 2, 4));
    appendRow("Alice", 6);
    EXPECT_EQ(table.recNo(), 4);
    for (int expected : {1, 2, 4, 6}) {
        table.setRecNo(1);
        EXPECT_EQ(table.fieldByName("DBID").asInteger(), expected);
        table.remove();
    }
    EXPECT_EQ(table.recNo(), 0);
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(plainScalar("SELECT count(*) FROM OILGRADE"), "0");
    EXPECT_THROW(table.setRecNo(0), DesktopDbError);
    EXPECT_THROW(table.setRecNo(1), DesktopDbError);
}

TEST_F(TableTest, CancelLeavesTheRowUnchangedAndAppendsNothing)
{
    appendRow("Alice", 1, "10W40");
    table.edit();
    EXPECT_EQ(table.state(), DataSetState::Edit);
    table.fieldByName("Name").setAsString("5W30");
    table.fieldByName("DBID").setAsInteger(99);
    EXPECT_EQ(table.fieldByName("Name").asString(), "5W30");
    table.cancel();
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_EQ(table.fieldByName("Name").asString(), "10W40");
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 1);
    EXPECT_EQ(plainScalar("SELECT Name || ':' || DBID FROM OILGRADE"), "10W40:1");

    table.append();
    EXPECT_EQ(table.state(), DataSetState::Insert);
    table.fieldByName("DBID").setAsInteger(2);
    table.cancel();
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_EQ(plainScalar("SELECT count(*) FROM OILGRADE"), "1");
}

TEST_F(TableTest, EditThenPostWritesOnlyThatRow)
{
    appendRow("Alice", 1, "one");
    appendRow("Alice", 2, "two");
    table.setRecNo(1);
    table.edit();
    table.fieldByName("Name").setAsString("uno");
    table.post();
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_EQ(plainScalar("SELECT group_concat(Name, ',') FROM (SELECT Name FROM OILGRADE ORDER BY rowid)"), "uno,two");
}

TEST_F(TableTest, WritesOutsideEditOrAppendFail)
{
    appendRow("Alice", 1);
    EXPECT_THROW(table.fieldByName("DBID").setAsInteger(2), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Name").setAsString("x"), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Name").clear(), DesktopDbError);
    EXPECT_THROW(table.post(), DesktopDbError);
    table.edit();
    EXPECT_THROW(table.fieldByName("InternalID").setAsInteger(5), DesktopDbError);
    table.cancel();
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 1);
}

TEST_F(TableTest, ValuesThatDoNotFitTheColumnFailAndWriteNothing)
{
    table.append();
    EXPECT_THROW(table.fieldByName("DBID").setAsString("twelve"), DesktopDbError);
    EXPECT_THROW(table.fieldByName("DBID").setAsFloat(3e10), DesktopDbError);
    EXPECT_THROW(table.fieldByName("ItemCost").setAsFloat(std::numeric_limits<double>::quiet_NaN()), DesktopDbError);
    EXPECT_TRUE(table.fieldByName("DBID").isNull());
    table.fieldByName("DBID").setAsString(" 42 ");
    table.post();
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 42);
}

TEST_F(TableTest, AssignCopiesBetweenTablesByType)
{
    createTable(dir.str(), "SUPPLIER");
    Table supplier;
    supplier.setDatabaseName(dir.str());
    supplier.setTableName("SUPPLIER");
    supplier.open();
    appendRow("Alice", 12, "Castrol");
    table.edit();
    table.fieldByName("Modified").setAsBoolean(true);
    table.post();
    supplier.append();
    for (Field *source : table.fields()) {
        Field *target = supplier.findField(source->name());
        if (target && target->dataType() == source->dataType() && source->dataType() != FieldType::AutoInc)
            target->assign(*source);
    }
    supplier.fieldByName("Notes").assign(table.fieldByName("Modified"));
    supplier.post();
    EXPECT_EQ(supplier.fieldByName("UserName").asString(), "Alice");
    EXPECT_EQ(supplier.fieldByName("DBID").asInteger(), 12);
    EXPECT_EQ(supplier.fieldByName("Name").asString(), "Castrol");
    EXPECT_TRUE(supplier.fieldByName("Modified").asBoolean());
    EXPECT_EQ(supplier.fieldByName("Notes").asString(), "True");
}

} // namespace
