#include "DesktopSchema.h"
#include "TempDir.h"
#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace desktopdb;
using desktopdbtest::createTable;
using desktopdbtest::PlainConnection;

namespace {

class StoredFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        createTable(dir.str(), "MAIN");
        table.setDatabaseName(dir.str());
        table.setTableName("MAIN");
    }

    std::string file() const { return (dir / "MAIN.db").string(); }

    gvtest::TempDir dir;
    Table table;
};

TEST_F(StoredFormTest, PlainSqlReadsTheStoredForms)
{
    table.open();
    table.append();
    table.fieldByName("DBID").setAsInteger(4711);
    table.fieldByName("UserName").setAsString("J\u00fcrgen");
    table.fieldByName("Modified").setAsBoolean(true);
    table.fieldByName("Synced").setAsBoolean(false);
    table.fieldByName("TranDate").setAsDateTime(37451.6);
    table.fieldByName("TotalCost").setAsFloat(12);
    table.fieldByName("Qty").setAsFloat(40);
    table.fieldByName("Type").setAsString("F");
    table.post();
    table.close();

    PlainConnection plain(file());
    const std::string row = plain.scalar(
        "SELECT typeof(DBID) || ' ' || DBID || ' | ' || typeof(UserName) || ' ' || UserName || ' | ' ||"
        " typeof(Modified) || ' ' || Modified || ' | ' || typeof(Synced) || ' ' || Synced || ' | ' ||"
        " typeof(Deleted) || ' | ' || typeof(TranDate) || ' ' || TranDate || ' | ' ||"
        " typeof(TotalCost) || ' ' || TotalCost || ' | ' || typeof(Qty) || ' ' || Qty || ' | ' || Type FROM MAIN");
    EXPECT_EQ(row, "integer 4711 | text J\u00fcrgen | integer 1 | integer 0 | null | text 2002-07-14 | "
                   "real 12.0 | real 40.0 | F");
    EXPECT_EQ(plain.scalar("SELECT count(*) FROM MAIN WHERE TranDate = date('2002-07-14') AND Modified"), "1");
}

struct ReadCase {
    const char *label;
    const char *column;
    const char *literal; // as another program stores it
    std::int32_t integer;
    int boolean; // -1: a Boolean reading makes no sense for this value
    double floating;
    const char *text;
};

class LenientReadTest : public StoredFormTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(LenientReadTest, RowsWrittenByPlainSqlReadBack)
{
    const ReadCase &c = GetParam();
    {
        PlainConnection plain(file());
        plain.exec(std::string("INSERT INTO MAIN (UserName, ") + c.column + ") VALUES ('x', " + c.literal + ")");
    }
    table.open();
    table.first();
    Field &field = table.fieldByName(c.column);
    EXPECT_EQ(field.asInteger(), c.integer);
    if (c.boolean >= 0) {
        EXPECT_EQ(field.asBoolean(), c.boolean == 1);
    }
    EXPECT_DOUBLE_EQ(field.asFloat(), c.floating);
    EXPECT_EQ(field.asString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, LenientReadTest,
    testing::Values(ReadCase{"IntegerAsNumber", "DBID", "42", 42, 1, 42, "42"},
                    ReadCase{"IntegerAsText", "DBID", "' 42 '", 42, 1, 42, "42"},
                    ReadCase{"IntegerAsReal", "Mileage", "12.0", 12, 1, 12, "12"},
                    ReadCase{"IntegerNegative", "VendorId", "-7", -7, 1, -7, "-7"},
                    ReadCase{"BooleanOne", "Modified", "1", 1, 1, 1, "True"},
                    ReadCase{"BooleanZero", "Modified", "0", 0, 0, 0, "False"},
                    ReadCase{"BooleanTrueText", "Deleted", "'true'", 1, 1, 1, "True"},
                    ReadCase{"BooleanFalseText", "Deleted", "'False'", 0, 0, 0, "False"},
                    ReadCase{"BooleanTextDigit", "Synced", "'1'", 1, 1, 1, "True"},
                    ReadCase{"MoneyAsText", "TotalCost", "'12.5'", 12, 1, 12.5, "12.5"},
                    ReadCase{"MoneyAsInteger", "TotalCost", "12", 12, 1, 12, "12"},
                    ReadCase{"FloatAsReal", "Qty", "0.25", 0, 1, 0.25, "0.25"},
                    ReadCase{"DateAsIsoText", "TranDate", "'2002-07-14'", 37451, -1, 37451, "2002-07-14"},
                    ReadCase{"DateWithMidnight", "TranDate", "'2002-07-14 00:00:00'", 37451, -1, 37451, "2002-07-14"},
                    ReadCase{"DateWithTime", "TranDate", "'2002-07-14T08:30:00'", 37451, -1, 37451, "2002-07-14"},
                    ReadCase{"DateAsDayNumber", "TranDate", "37451", 37451, -1, 37451, "2002-07-14"},
                    ReadCase{"DateBefore1900", "TranDate", "'1899-12-29'", -1, -1, -1, "1899-12-29"},
                    ReadCase{"TextColumnHoldingNumber", "Notes", "17", 17, 1, 17, "17"},
                    ReadCase{"TextColumnHoldingPaddedNumber", "Notes", "' 17 '", 17, 1, 17, " 17 "}),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.label); });

TEST_F(StoredFormTest, UnreadableValuesFailClearly)
{
    {
        PlainConnection plain(file());
        plain.exec("INSERT INTO MAIN (DBID, Modified, TranDate, Qty) VALUES ('abc', 'maybe', 'July', 'lots')");
        plain.exec("INSERT INTO MAIN (DBID) VALUES (3000000000)");
    }
    table.open();
    table.first();
    EXPECT_THROW(table.fieldByName("DBID").asInteger(), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Modified").asBoolean(), DesktopDbError);
    EXPECT_THROW(table.fieldByName("TranDate").asDateTime(), DesktopDbError);
    EXPECT_THROW(table.fieldByName("Qty").asFloat(), DesktopDbError);
    EXPECT_EQ(table.fieldByName("DBID").asString(), "abc");
    table.next();
    EXPECT_THROW(table.fieldByName("DBID").asInteger(), DesktopDbError);
}

TEST_F(StoredFormTest, WritesConvertToTheColumnsForm)
{
    table.open();
    table.append();
    table.fieldByName("Modified").setAsString("yes");
    table.fieldByName("DBID").setAsString("17");
    table.fieldByName("TranDate").setAsString("2002-07-14 12:00");
    table.fieldByName("TotalCost").setAsString("3.75");
    table.fieldByName("Notes").setAsFloat(0.1);
    table.fieldByName("Mileage").setAsString("");
    table.post();
    table.close();
    PlainConnection plain(file());
    EXPECT_EQ(plain.scalar("SELECT quote(Modified) || ' ' || quote(DBID) || ' ' || quote(TranDate) || ' ' ||"
                           " quote(TotalCost) || ' ' || quote(Notes) || ' ' || quote(Mileage) FROM MAIN"),
              "1 17 '2002-07-14' 3.75 '0.1' NULL");
}

} // namespace
