#include "EditButtonTestSupport.h"

#include "TempDir.h"
#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <string>

using namespace dravik;
using namespace dravik::test;
using namespace dbcontrols;

namespace {

void createSupplierTable(const std::string &folder)
{
    desktopdb::SqlQuery query;
    query.setDatabaseName(folder);
    query.add("CREATE TABLE SUPPLIER (");
    query.add("  InternalID AUTOINC,");
    query.add("  DBID INTEGER,");
    query.add("  Name VARCHAR(15),");
    query.add("  PRIMARY KEY (InternalID))");
    query.execSql();
}

class DBEditButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        createSupplierTable(dir.str());
        openTable(table);
        for (auto [id, name] : {std::pair{7, "Acme Oils"}, std::pair{9, "Lubrico"}}) {
            table.append();
            table.fieldByName("DBID").setAsInteger(id);
            table.fieldByName("Name").setAsString(name);
            table.post();
        }
        table.first();
        source.SetDataSet(&table);
        control()->SetDataSource(&source);
        control()->SetDataField(QStringLiteral("Name"));
    }

    void openTable(desktopdb::Table &t)
    {
        t.setDatabaseName(dir.str());
        t.setTableName("SUPPLIER");
        t.open();
    }

    // The stored value of a column of the first row, read through a table
    // of its own.
    std::string storedFirst(const std::string &field)
    {
        desktopdb::Table other;
        openTable(other);
        other.first();
        return other.fieldByName(field).asString();
    }

    TwwDBEditButton *control() { return f.control; }

    gvtest::TempDir dir;
    desktopdb::Table table;
    TDataSource source;
    FormWith<TwwDBEditButton> f;
};

TEST_F(DBEditButtonTest, ShowsTheFieldOfTheCurrentRow)
{
    EXPECT_EQ(control()->GetText(), QStringLiteral("Acme Oils"));
    table.next();
    source.DataChanged();
    EXPECT_EQ(control()->GetText(), QStringLiteral("Lubrico"));
    control()->SetDataField(QStringLiteral("DBID"));
    EXPECT_EQ(control()->GetText(), QStringLiteral("9"));
}

TEST_F(DBEditButtonTest, TypedTextIsWrittenWhenEditingEndsAndStoredByPost)
{
    f.edit()->setFocus();
    f.edit()->selectAll();
    QTest::keyClicks(f.edit(), QStringLiteral("Castrol"));
    EXPECT_EQ(table.state(), desktopdb::DataSetState::Edit);
    QTest::keyClick(f.edit(), Qt::Key_Return);
    EXPECT_EQ(table.fieldByName("Name").asString(), "Castrol");
    source.Post();
    EXPECT_EQ(table.state(), desktopdb::DataSetState::Browse);
    EXPECT_EQ(storedFirst("Name"), "Castrol");
    EXPECT_EQ(control()->GetText(), QStringLiteral("Castrol"));
}

TEST_F(DBEditButtonTest, PostTakesTheTextStillBeingEdited)
{
    f.edit()->setFocus();
    f.edit()->end(false);
    QTest::keyClicks(f.edit(), QStringLiteral(" Ltd"));
    source.Post();
    EXPECT_EQ(storedFirst("Name"), "Acme Oils Ltd");
}

TEST_F(DBEditButtonTest, CancelBringsTheStoredTextBack)
{
    f.edit()->setFocus();
    QTest::keyClicks(f.edit(), QStringLiteral("zzz"));
    source.Cancel();
    EXPECT_EQ(control()->GetText(), QStringLiteral("Acme Oils"));
    EXPECT_EQ(storedFirst("Name"), "Acme Oils");
}

TEST_F(DBEditButtonTest, TextThatDoesNotFitTheFieldIsKeptAndThePostFails)
{
    control()->SetDataField(QStringLiteral("DBID"));
    f.edit()->setFocus();
    f.edit()->selectAll();
    QTest::keyClicks(f.edit(), QStringLiteral("twelve"));
    QTest::keyClick(f.edit(), Qt::Key_Return);
    EXPECT_THROW(source.Post(), desktopdb::DesktopDbError);
    EXPECT_EQ(table.state(), desktopdb::DataSetState::Edit);
    EXPECT_EQ(control()->GetText(), QStringLiteral("twelve"));
    EXPECT_EQ(storedFirst("DBID"), "7");
}

TEST_F(DBEditButtonTest, TypingIntoAnEmptyTableIsUndone)
{
    table.remove();
    table.remove();
    source.DataChanged();
    f.edit()->setFocus();
    QTest::keyClicks(f.edit(), QStringLiteral("x"));
    EXPECT_EQ(control()->GetText(), QString());
    EXPECT_EQ(table.state(), desktopdb::DataSetState::Browse);
    EXPECT_EQ(table.recordCount(), 0);
}

TEST_F(DBEditButtonTest, ReadOnlyDisablesTheButtonWhileTheRowIsEditable)
{
    source.Edit();
    control()->SetReadOnly(true);
    EXPECT_TRUE(f.edit()->isReadOnly());
    EXPECT_FALSE(f.button()->isEnabled());
    QTest::keyClicks(f.edit(), QStringLiteral("x"));
    EXPECT_EQ(control()->GetText(), QStringLiteral("Acme Oils"));
    control()->SetReadOnly(false);
    EXPECT_TRUE(f.button()->isEnabled());
}

TEST_F(DBEditButtonTest, EditWithoutItsFieldTakesNoTyping)
{
    control()->SetDataField(QStringLiteral("NoSuchField"));
    EXPECT_EQ(control()->GetText(), QString());
    EXPECT_TRUE(f.edit()->isReadOnly());
    EXPECT_FALSE(control()->GetReadOnly()) << "the control's own flag is unchanged";
    table.close();
    control()->SetDataField(QStringLiteral("Name"));
    EXPECT_TRUE(f.edit()->isReadOnly());
}

TEST_F(DBEditButtonTest, StaysSingleLineWhateverItsMultiLineSettings)
{
    control()->SetWordWrap(true);
    control()->SetWantReturns(true);
    control()->SetShowVertScrollBar(true);
    // Return ends editing instead of breaking the line.
    f.edit()->setFocus();
    f.edit()->end(false);
    QTest::keyClick(f.edit(), Qt::Key_Return);
    EXPECT_EQ(control()->GetText(), QStringLiteral("Acme Oils"));
    EXPECT_EQ(f.edit()->height(), 20);
}

TEST_F(DBEditButtonTest, MaxLengthLimitsTheMaskedText)
{
    control()->SetMaxLength(4);
    control()->SetText(QStringLiteral("Valvoline"));
    EXPECT_EQ(control()->GetText(), QStringLiteral("Valv"));
    EXPECT_EQ(control()->GetMaxLength(), 4);
}

TEST(DBEditButtonMissingEditTest, DataSettingsAreNeutralWithoutEdit)
{
    QWidget form;
    auto *control = new TestDBEditButton(&form, 1u);
    TDataSource source;
    control->SetDataSource(&source);
    control->SetDataField(QStringLiteral("Name"));
    control->SetUsePictureMask(true);
    control->SetWordWrap(true);
    control->SetReadOnly(false);
    EXPECT_EQ(control->GetDataSource(), nullptr);
    EXPECT_EQ(control->GetDataField(), QString());
    EXPECT_FALSE(control->GetUsePictureMask());
    EXPECT_FALSE(control->GetWordWrap());
    EXPECT_TRUE(control->GetReadOnly());
    EXPECT_EQ(control->GetPicture(), TwwDBPicture());
}

TEST(DBEditButtonLifetimeTest, DataSourceMayGoFirst)
{
    FormWith<TwwDBEditButton> f;
    auto source = std::make_unique<TDataSource>();
    f.control->SetDataSource(source.get());
    source.reset();
    EXPECT_EQ(f.control->GetDataSource(), nullptr);
    f.control->SetText(QStringLiteral("free"));
    EXPECT_EQ(f.control->GetText(), QStringLiteral("free"));
}

} // namespace
