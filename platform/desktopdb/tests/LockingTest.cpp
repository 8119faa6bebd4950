#include "DesktopSchema.h"
#include "TempDir.h"
#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace desktopdb;
using desktopdbtest::createTable;
using desktopdbtest::PlainConnection;
using testing::HasSubstr;

namespace {

// Another program's connection to the same file, holding a lock.
class LockingTest : public testing::Test {
protected:
    void SetUp() override
    {
        createTable(dir.str(), "SUPPLIER");
        table.setDatabaseName(dir.str());
        table.setTableName("SUPPLIER");
        table.setBusyTimeout(50);
        table.open();
    }

    std::string file() const { return (dir / "SUPPLIER.db").string(); }

    void appendRow(std::int32_t id)
    {
        table.append();
        table.fieldByName("UserName").setAsString("Alice");
        table.fieldByName("DBID").setAsInteger(id);
        table.post();
    }

    int rowsOnDisk()
    {
        PlainConnection plain(file());
        return std::stoi(plain.scalar("SELECT count(*) FROM SUPPLIER"));
    }

    gvtest::TempDir dir;
    Table table;
};

TEST_F(LockingTest, PostWhileAnotherProgramWritesFailsClearlyAndCanBeRetried)
{
    appendRow(1);
    PlainConnection other(file());
    other.exec("BEGIN IMMEDIATE");
    table.append();
    table.fieldByName("DBID").setAsInteger(2);
    try {
        table.post();
        FAIL() << "post succeeded under another program's write lock";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr("locked by another program"));
        EXPECT_THAT(error.what(), HasSubstr("SUPPLIER"));
    }
    EXPECT_EQ(table.state(), DataSetState::Insert);
    EXPECT_EQ(table.recordCount(), 1);
    other.exec("ROLLBACK");
    table.post();
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(rowsOnDisk(), 2);
}

TEST_F(LockingTest, BatchCannotBeginWhileAnotherProgramWrites)
{
    PlainConnection other(file());
    other.exec("BEGIN IMMEDIATE");
    EXPECT_THROW(table.beginBatch(), DesktopDbError);
    EXPECT_FALSE(table.inBatch());
    other.exec("ROLLBACK");
    table.beginBatch();
    EXPECT_TRUE(table.inBatch());
    table.commitBatch();
}

TEST_F(LockingTest, BatchIsOneTransactionThatOthersSeeOnlyWhenCommitted)
{
    appendRow(1);
    table.beginBatch();
    for (int id = 2; id <= 200; ++id)
        appendRow(id);
    ASSERT_TRUE(table.locate("UserName;DBID", {std::string("Alice"), std::int64_t{150}}));
    table.edit();
    table.fieldByName("Name").setAsString("edited");
    table.post();
    table.setRecNo(1);
    table.remove();
    EXPECT_EQ(rowsOnDisk(), 1) << "another program still sees the state before the batch";
    table.commitBatch();
    EXPECT_EQ(rowsOnDisk(), 199);
    PlainConnection plain(file());
    EXPECT_EQ(plain.scalar("SELECT Name FROM SUPPLIER WHERE DBID = 150"), "edited");
    EXPECT_FALSE(table.inBatch());
    appendRow(300); // after the batch each post stands alone
    EXPECT_EQ(rowsOnDisk(), 200);
}

// What is not committed on purpose is never committed on the way out: not
// by close(), not by the destructor.
TEST_F(LockingTest, CloseAndDestructionUndoAnOpenBatch)
{
    appendRow(1);
    table.beginBatch();
    appendRow(2);
    appendRow(3);
    table.close();
    EXPECT_EQ(rowsOnDisk(), 1);
    {
        Table other;
        other.setDatabaseName(dir.str());
        other.setTableName("SUPPLIER");
        other.open();
        other.beginBatch();
        other.first();
        other.remove();
    }
    EXPECT_EQ(rowsOnDisk(), 1);
}

TEST_F(LockingTest, CommitBlockedByAReaderUndoesTheBatchAndSaysSo)
{
    appendRow(1);
    table.beginBatch();
    appendRow(2);
    appendRow(3);
    PlainConnection reader(file());
    reader.exec("BEGIN");
    EXPECT_EQ(reader.scalar("SELECT count(*) FROM SUPPLIER"), "1"); // holds a read lock
    try {
        table.commitBatch();
        FAIL() << "commit succeeded while a reader held the file";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr("locked by another program"));
        EXPECT_THAT(error.what(), HasSubstr("undone"));
    }
    reader.exec("COMMIT");
    EXPECT_FALSE(table.inBatch());
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_EQ(rowsOnDisk(), 1);
    table.first();
    EXPECT_EQ(table.fieldByName("DBID").asInteger(), 1);
}

TEST_F(LockingTest, OpenFailsWhileAnotherProcessHoldsAnExclusiveLock)
{
    table.close();
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3 *db = nullptr;
        int status = 1;
        if (sqlite3_open(file().c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK)
            status = 0;
        char byte = static_cast<char>(status);
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        sqlite3_close(db);
        _exit(status);
    }
    char byte = 1;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 0) << "the child could not lock the file";
    try {
        table.open();
        ADD_FAILURE() << "opened a file another process holds exclusively";
    } catch (const DesktopDbError &error) {
        EXPECT_THAT(error.what(), HasSubstr("locked by another program"));
    }
    EXPECT_FALSE(table.active());
    (void)!write(release[1], &byte, 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    table.open();
    EXPECT_TRUE(table.active());
}

} // namespace

namespace {

TEST(BatchTest, FailedPostKeepsTheRowsPostedBeforeItInTheBatch)
{
    gvtest::TempDir dir;
    SqlQuery query;
    query.setDatabaseName(dir.str());
    query.add("CREATE TABLE PARTS (InternalID AUTOINC, DBID INTEGER, PRIMARY KEY (InternalID))");
    query.execSql();
    query.clear();
    query.add("CREATE UNIQUE INDEX DBID ON PARTS (DBID)");
    query.execSql();
    Table table;
    table.setDatabaseName(dir.str());
    table.setTableName("PARTS");
    table.open();
    table.beginBatch();
    for (int id : {1, 2, 2}) {
        table.append();
        table.fieldByName("DBID").setAsInteger(id);
        if (id == 2 && table.recordCount() == 2) {
            EXPECT_THROW(table.post(), DesktopDbError); // the unique index refuses it
            table.cancel();
        } else {
            table.post();
        }
    }
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.recNo(), 2);
    table.commitBatch();
    table.close();
    PlainConnection plain((dir / "PARTS.db").string());
    EXPECT_EQ(plain.scalar("SELECT group_concat(DBID) FROM PARTS"), "1,2");
}

} // namespace
