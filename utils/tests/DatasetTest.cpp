#include "utils/Utils.h"

#include "TempDir.h"

#include "dbcontrols/TDataSource.h"
#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

void createTable(const std::string &folder, const std::vector<std::string> &lines)
{
    desktopdb::SqlQuery query;
    query.setDatabaseName(folder);
    for (const auto &line : lines)
        query.add(line);
    query.execSql();
}

class Datasets : public testing::Test {
protected:
    void SetUp() override
    {
        createTable(dir.str(), {"CREATE TABLE SOURCE (", "InternalID AUTOINC,", "Name VARCHAR(20),", "Price MONEY,",
                                "Count INTEGER,", "PRIMARY KEY (InternalID))"});
        createTable(dir.str(), {"CREATE TABLE TARGET (", "InternalID AUTOINC,", "Count VARCHAR(10),",
                                "Name VARCHAR(20),", "Price MONEY,", "Extra INTEGER,", "PRIMARY KEY (InternalID))"});
        createTable(dir.str(),
                    {"CREATE TABLE NARROW (", "InternalID AUTOINC,", "Name VARCHAR(20),", "PRIMARY KEY (InternalID))"});
        open(source, "SOURCE");
        source.append();
        source.fieldByName("Name").setAsString("Synthetic 5W-30");
        source.fieldByName("Price").setAsFloat(12.5);
        source.fieldByName("Count").setAsInteger(7);
        source.post();
        open(target, "TARGET");
        target.append();
        target.fieldByName("Extra").setAsInteger(99);
    }

    void open(desktopdb::Table &table, const std::string &name)
    {
        table.setDatabaseName(dir.str());
        table.setTableName(name);
        table.open();
    }

    gvtest::TempDir dir;
    desktopdb::Table source;
    desktopdb::Table target;
    TclsUtils utils;
};

TEST_F(Datasets, CopyFieldsTakesEveryDataFieldByName)
{
    utils.CopyFields(source, target);
    EXPECT_EQ(target.fieldByName("Name").asString(), "Synthetic 5W-30");
    EXPECT_DOUBLE_EQ(target.fieldByName("Price").asFloat(), 12.5);
    EXPECT_EQ(target.fieldByName("Count").asString(), "7");
    EXPECT_EQ(target.fieldByName("Extra").asInteger(), 99);
    // The target keeps the number the database gives it.
    target.post();
    source.append();
    source.fieldByName("Name").setAsString("second");
    source.post();
    target.append();
    utils.CopyFields(source, target);
    target.post();
    EXPECT_EQ(target.recordCount(), 2);

    desktopdb::Table narrow;
    open(narrow, "NARROW");
    narrow.append();
    EXPECT_THROW(utils.CopyFields(source, narrow), desktopdb::DesktopDbError);
}

TEST_F(Datasets, CopyMatchingFieldsSkipsMissingFieldsAndOtherTypes)
{
    target.fieldByName("Count").setAsString("keep");
    utils.CopyMatchingFields(source, target);
    EXPECT_EQ(target.fieldByName("Name").asString(), "Synthetic 5W-30");
    EXPECT_DOUBLE_EQ(target.fieldByName("Price").asFloat(), 12.5);
    EXPECT_EQ(target.fieldByName("Count").asString(), "keep");

    desktopdb::Table narrow;
    open(narrow, "NARROW");
    narrow.append();
    EXPECT_NO_THROW(utils.CopyMatchingFields(source, narrow));
    EXPECT_EQ(narrow.fieldByName("Name").asString(), "Synthetic 5W-30");
}

TEST_F(Datasets, IsRecordInEditLooksAtOtherFormsEditingThatRow)
{
    target.cancel();
    source.first();
    const int id = source.fieldByName("InternalID").asInteger();

    QWidget form;
    form.setObjectName("frmOilGrade");
    auto *dataSource = new dbcontrols::TDataSource(&form);
    dataSource->SetDataSet(&source);
    QWidget self;
    self.setObjectName("frmOilGrade");

    EXPECT_FALSE(utils.IsRecordInEdit("frmOilGrade", &self, id, "InternalID", "SOURCE"));
    source.edit();
    const struct {
        const char *name;
        QString formName;
        QWidget *skip;
        int key;
        std::string field, table;
        bool inEdit;
    } cases[] = {
        {"that row in edit", "frmOilGrade", &self, id, "InternalID", "SOURCE", true},
        {"table name in other case", "frmOilGrade", &self, id, "InternalID", "source", true},
        {"the asking form itself", "frmOilGrade", &form, id, "InternalID", "SOURCE", false},
        {"another form name", "frmVehicle", &self, id, "InternalID", "SOURCE", false},
        {"another row", "frmOilGrade", &self, id + 1, "InternalID", "SOURCE", false},
        {"no such field", "frmOilGrade", &self, id, "VehicleId", "SOURCE", false},
        {"another table", "frmOilGrade", &self, id, "InternalID", "TARGET", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(utils.IsRecordInEdit(c.formName, c.skip, c.key, c.field, c.table), c.inEdit) << c.name;
    source.cancel();
    EXPECT_FALSE(utils.IsRecordInEdit("frmOilGrade", &self, id, "InternalID", "SOURCE"));
    dataSource->SetDataSet(nullptr);
}

} // namespace
