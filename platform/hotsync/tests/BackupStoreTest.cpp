#include "hotsync/BackupStore.h"
#include "hotsync/HostError.h"

#include "TempDir.h"

#include <gmock/gmock.h>
#include <sqlite3.h>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace hotsync;
using testing::ElementsAre;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

sqlite3_syscall_ptr systemUnlink = nullptr;

// Ends the process where SQLite would remove the super-journal of a commit
// that spans several files: the commit is cut at its last step.
int unlinkOrDie(const char *path)
{
    if (std::strstr(path, "-mj"))
        _exit(0);
    return reinterpret_cast<int (*)(const char *)>(systemUnlink)(path);
}

class Connection {
public:
    explicit Connection(const fs::path &file) { sqlite3_open(file.c_str(), &db_); }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    int exec(const std::string &sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    std::vector<std::string> column(const std::string &sql)
    {
        std::vector<std::string> values;
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return values;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW)
            values.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return values;
    }

private:
    sqlite3 *db_ = nullptr;
};

class BackupStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(handheld);
        fs::create_directories(desktop);
        scope.handheldFolder = handheld;
        scope.userDirectory = dir / "user";
        scope.conduits = {{CreatorId::fromText("KLXC"), "gearvane"}};
    }

    std::vector<std::string> backupFolderNames() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(store.folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::int32_t> numbers(const std::vector<Backup> &backups)
    {
        std::vector<std::int32_t> n;
        for (const auto &b : backups)
            n.push_back(b.number);
        return n;
    }

    gvtest::TempDir dir;
    fs::path handheld = dir / "handheld";
    fs::path desktop = dir / "user" / "gearvane";
    BackupScope scope;
    BackupStore store{HostRoot(dir / "root"), 1, std::chrono::milliseconds(50)};
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now();
};

TEST_F(BackupStoreTest, ABackupThatCannotReadATableLeavesNothingThatLooksLikeABackup)
{
    gvtest::writeFileText(handheld / "MainDB-KLXC.pdb", "records");
    Connection writer(desktop / "MAIN.db");
    ASSERT_EQ(writer.exec("CREATE TABLE MAIN (Notes TEXT); BEGIN EXCLUSIVE; INSERT INTO MAIN VALUES ('x')"), SQLITE_OK);

    try {
        store.create(scope, when, "HotSync");
        FAIL() << "a table that stays locked cannot be copied";
    } catch (const HostError &e) {
        EXPECT_THAT(e.what(), HasSubstr("MAIN.db stayed locked by another program for 50 ms"));
    }
    EXPECT_THAT(backupFolderNames(), ElementsAre(".lock"));
    EXPECT_TRUE(store.list().empty());

    ASSERT_EQ(writer.exec("COMMIT"), SQLITE_OK);
    EXPECT_EQ(store.create(scope, when, "HotSync").number, 1);
}

TEST_F(BackupStoreTest, FoldersLeftByACrashAreNeitherListedNorRestoredAndTheNextBackupTidiesUp)
{
    gvtest::writeFileText(desktop / "settings.ini", "a");
    fs::create_directories(store.folder() / ".partial-Ab12Cd" / "handheld");
    gvtest::writeFileText(store.folder() / ".partial-Ab12Cd" / "manifest", "GVBACKUP\t1\ncreated\t0\n");
    fs::create_directories(store.folder() / ".removing-2-20260101-000000");
    fs::create_directories(store.folder() / "3-20260101-000000" / "handheld"); // no manifest
    EXPECT_TRUE(store.list().empty());
    EXPECT_THROW(store.find(std::nullopt), HostError);

    Backup b = store.create(scope, when, "HotSync");
    EXPECT_EQ(b.number, 4) << "a number is never given to two folders";
    EXPECT_THAT(backupFolderNames(), ElementsAre(".lock", "3-20260101-000000", b.folder.filename().string()));
    EXPECT_THAT(numbers(store.list()), ElementsAre(4));
    EXPECT_EQ(store.find(std::nullopt).conduits.at(0).files, (std::vector<BackupFile>{{"settings.ini", 1}}));
}

TEST_F(BackupStoreTest, ARestoredTableIsSeenByAProgramThatKeepsItOpen)
{
    Connection app(desktop / "MAIN.db");
    ASSERT_EQ(app.exec("CREATE TABLE MAIN (Notes TEXT); INSERT INTO MAIN VALUES ('oil change'), ('new tyres')"),
              SQLITE_OK);
    store.create(scope, when, "HotSync");
    ASSERT_EQ(app.exec("DELETE FROM MAIN"), SQLITE_OK);

    auto report = store.restore(1, scope, when);
    EXPECT_EQ(report.restored.number, 1);
    EXPECT_EQ(report.before.number, 2);
    EXPECT_THAT(app.column("SELECT Notes FROM MAIN ORDER BY rowid"), ElementsAre("oil change", "new tyres"));
    ASSERT_EQ(app.exec("INSERT INTO MAIN VALUES ('wipers')"), SQLITE_OK);
    EXPECT_THAT(app.column("PRAGMA integrity_check"), ElementsAre("ok"));

    // The backup taken before the restore holds the emptied table.
    Connection before(report.before.folder / "conduits" / "KLXC" / "MAIN.db");
    EXPECT_THAT(before.column("SELECT count(*) FROM MAIN"), ElementsAre("0"));
}

TEST_F(BackupStoreTest, AManifestThatNamesAFileOutsideTheBackupIsDamage)
{
    gvtest::writeFileText(desktop / "settings.ini", "a");
    Backup b = store.create(scope, when, "HotSync");
    gvtest::writeFileText(b.folder / "manifest", "GVBACKUP\t1\ncreated\t0\nreason\tHotSync\nconduit\tKLXC\tgearvane\n"
                                                 "file\tKLXC\t../../../../escape\t1\n");
    try {
        store.restore(std::nullopt, scope, when);
        FAIL() << "restored a damaged backup";
    } catch (const HostError &e) {
        EXPECT_THAT(e.what(), HasSubstr("Backup 1 is damaged: it names the file \"../../../../escape\""));
    }
    EXPECT_THAT(numbers(store.list()), ElementsAre(1));
}

// A process killed in a commit across two table files leaves SQLite's
// super-journal beside them, which goes away as soon as the tables are
// opened again: it is no file of the backup, and the backup is whole.
TEST_F(BackupStoreTest, ACommitKilledAcrossTwoTablesDoesNotStopTheBackup)
{
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        sqlite3_vfs *vfs = sqlite3_vfs_find("unix");
        systemUnlink = vfs->xGetSystemCall(vfs, "unlink");
        vfs->xSetSystemCall(vfs, "unlink", reinterpret_cast<sqlite3_syscall_ptr>(&unlinkOrDie));
        Connection vehicles(desktop / "VEHICLE.db");
        vehicles.exec("CREATE TABLE VEHICLE (Name TEXT); INSERT INTO VEHICLE VALUES ('Van')");
        vehicles.exec("ATTACH '" + (desktop / "MAIN.db").string() +
                      "' AS log; CREATE TABLE log.MAIN (Notes TEXT); INSERT INTO log.MAIN VALUES ('Oil')");
        vehicles.exec("BEGIN; UPDATE VEHICLE SET Name = 'Car'; UPDATE log.MAIN SET Notes = 'Tyres'; COMMIT");
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the commit made no super-journal";
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(desktop))
        left.push_back(entry.path().filename().string());
    ASSERT_THAT(left, testing::Contains(testing::StartsWith("VEHICLE.db-mj")));

    store.create(scope, when, "HotSync");
    std::vector<std::string> names;
    const Backup backup = store.find(std::nullopt);
    for (const auto &file : backup.conduits.at(0).files)
        names.push_back(file.path);
    EXPECT_THAT(names, ElementsAre("MAIN.db", "VEHICLE.db"));
}

} // namespace
