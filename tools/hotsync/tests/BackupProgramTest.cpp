#include "hotsync/ActionStore.h"
#include "hotsync/BackupStore.h"
#include "hotsync/InstallQueue.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/PalmDatabase.h"

#include "ProgramRunner.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gmock/gmock.h>
#include <sqlite3.h>

#include <thread>

using namespace hotsync;
using namespace hotsynctest;
using testing::ElementsAre;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class BackupProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root);
        fs::create_directories(handheld);
        fs::create_directories(scratch);
        fs::copy_file(gvtest::binaryDir() / "FakeConduit.so", dir / "FakeConduit.so");
        auto r = hotsync({"register", (dir / "FakeConduit.so").string()});
        ASSERT_EQ(r.status, 0) << describe(r);
        r = hotsync({"conduit", "add", "--creator", "TEST", "--conduit", "ComConduit.dll", "--com-client",
                     "GvTest.FakeClientNotify", "--directory", "fake dir", "--title", "Fake"});
        ASSERT_EQ(r.status, 0) << describe(r);
        r = hotsync({"users", "add", "Anna"});
        ASSERT_EQ(r.status, 0) << describe(r);
        userId = std::stoi(r.out);
        conduitFolder = root / "users" / (std::to_string(userId) + "-Anna") / "fake dir";
        fs::create_directories(conduitFolder);
        palmsync::HandheldFolder(handheld).createRecordDatabase("FakeDB-TEST", "TEST", "DATA");
    }

    RunResult hotsync(std::vector<std::string> args, const std::vector<std::string> &env = {})
    {
        args.insert(args.begin(), {"--root", root.string()});
        return runProgram(scratch, args, env);
    }

    RunResult sync() { return hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()}); }

    fs::path backupFolder(int number)
    {
        for (const auto &entry : fs::directory_iterator(root / "userdata" / std::to_string(userId) / "backups")) {
            if (entry.path().filename().string().rfind(std::to_string(number) + "-", 0) == 0)
                return entry.path();
        }
        ADD_FAILURE() << "no folder of backup " << number;
        return {};
    }

    std::vector<std::string> folderNames(const fs::path &folder)
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::size_t recordCount(const fs::path &database)
    {
        return palmsync::PalmDatabase::load(database).records.size();
    }

    gvtest::TempDir dir;
    fs::path root = dir / "host root";
    fs::path handheld = dir / "handheld";
    fs::path scratch = dir / "scratch";
    fs::path conduitFolder;
    std::int32_t userId = 0;
};

TEST_F(BackupProgramTest, EachHotSyncKeepsTheStateBeforeItAndTheLastFiveStay)
{
    auto app = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 0);
    app.resources.push_back({"code", 1, {0x4E, 0x75}});
    app.save(handheld / "Gearvane.prc");
    gvtest::writeFileText(handheld / "readme.txt", "not a database");
    gvtest::writeFileText(conduitFolder / "settings.ini", "[Gearvane]\n");
    fs::create_directories(conduitFolder / "photos");
    gvtest::writeFileBytes(conduitFolder / "photos" / "car.jpg", {0xFF, 0xD8, 0x00, 0x01});
    auto before = gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb");

    auto r = sync();
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Backup 1 saved"));
    ASSERT_EQ(recordCount(handheld / "FakeDB-TEST.pdb"), 1u) << "the conduit changed the handheld after the backup";

    fs::path first = backupFolder(1);
    EXPECT_THAT(folderNames(first / "handheld"), ElementsAre("FakeDB-TEST.pdb", "Gearvane.prc"));
    EXPECT_EQ(gvtest::readFileBytes(first / "handheld" / "FakeDB-TEST.pdb"), before);
    EXPECT_EQ(palmsync::PalmDatabase::load(first / "handheld" / "Gearvane.prc").resources, app.resources);
    EXPECT_EQ(gvtest::readFileText(first / "conduits" / "TEST" / "settings.ini"), "[Gearvane]\n");
    EXPECT_EQ(gvtest::readFileBytes(first / "conduits" / "TEST" / "photos" / "car.jpg"),
              (std::vector<unsigned char>{0xFF, 0xD8, 0x00, 0x01}));

    r = hotsync({"backups", "--user", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(lines(r.out), ElementsAre(testing::MatchesRegex("1\t[0-9-]{10} [0-9:]{8}\tbefore HotSync \\(completed\\)\t2 "
                                                                "handheld databases, TEST 2 files\tfrom /.*/handheld")));

    for (int i = 2; i <= 7; ++i) {
        r = sync();
        ASSERT_EQ(r.status, 0) << describe(r);
    }
    r = hotsync({"backups", "--user-id", std::to_string(userId)});
    ASSERT_EQ(r.status, 0) << describe(r);
    std::vector<std::string> numbers;
    for (const auto &line : lines(r.out))
        numbers.push_back(line.substr(0, line.find('\t')));
    EXPECT_THAT(numbers, ElementsAre("3", "4", "5", "6", "7"));
    EXPECT_THAT(folderNames(root / "userdata" / std::to_string(userId) / "backups"),
                testing::AllOf(testing::SizeIs(6), testing::Contains(".lock"),
                               testing::Each(testing::MatchesRegex("\\.lock|[3-7]-[0-9]{8}-[0-9]{6}"))));
    EXPECT_EQ(recordCount(backupFolder(7) / "handheld" / "FakeDB-TEST.pdb"), 6u);
}

TEST_F(BackupProgramTest, ABackupThatCannotBeMadeStopsTheHotSyncBeforeAnyChange)
{
    auto app = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 0);
    app.save(dir / "Gearvane.prc");
    ASSERT_EQ(hotsync({"install", "--user", "Anna", (dir / "Gearvane.prc").string()}).status, 0);
    ActionStore(HostRoot(root)).set(userId, CreatorId::fromText("TEST"), {std::nullopt, 3});
    // A file where the backups folder belongs: no backup can be written.
    gvtest::writeFileText(root / "userdata" / std::to_string(userId) / "backups", "");
    auto before = gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb");

    auto r = sync();
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(lines(r.out), ElementsAre("HotSync started for Anna",
                                          testing::StartsWith("ERROR (Backup): Cannot back up the handheld and the "
                                                              "desktop data: "),
                                          "HotSync stopped before any change"));
    EXPECT_EQ(gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb"), before);
    EXPECT_FALSE(fs::exists(handheld / "Gearvane.prc"));
    EXPECT_THAT(InstallQueue(HostRoot(root)).list(userId), ElementsAre(dir / "Gearvane.prc"));
    EXPECT_EQ(ActionStore(HostRoot(root)).get(userId, CreatorId::fromText("TEST")), (ConduitActions{std::nullopt, 3}))
        << "the action for the next HotSync is still waiting";
    EXPECT_THAT(gvtest::readFileText(HostRoot(root).logFile(userId)), HasSubstr("ERROR (Backup): "));
}

TEST_F(BackupProgramTest, RestorePutsBackTheChosenBackupExactlyAndCanBeUndone)
{
    gvtest::writeFileText(conduitFolder / "settings.ini", "v1");
    ASSERT_EQ(sync().status, 0); // backup 1: no record, settings v1
    gvtest::writeFileText(conduitFolder / "settings.ini", "v2");
    gvtest::writeFileText(conduitFolder / "later.txt", "made after backup 1");
    palmsync::HandheldFolder(handheld).createRecordDatabase("Later", "TEST", "DATA");
    ASSERT_EQ(sync().status, 0); // backup 2
    ASSERT_EQ(sync().status, 0); // backup 3
    gvtest::writeFileText(handheld / "readme.txt", "not a database");
    ASSERT_EQ(recordCount(handheld / "FakeDB-TEST.pdb"), 3u);

    // What a restore killed half-way left behind goes.
    gvtest::writeFileText(handheld / ".FakeDB-TEST.pdb.restore-k1ll3d00", "partial");
    auto r = hotsync({"restore", "--user", "Anna", "--backup", "1", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(lines(r.out),
                ElementsAre("Backup 4 saved: the state before this restore",
                            testing::MatchesRegex(
                                "Restored backup 1 of [0-9-]{10} [0-9:]{8}: 1 handheld databases, TEST 1 files"),
                            testing::MatchesRegex("Removed /.*/handheld/Later.pdb: it was not in backup 1 \\(backup 4 "
                                                  "keeps it\\)"),
                            testing::MatchesRegex("Removed /.*/fake dir/later.txt: it was not in backup 1 \\(backup 4 "
                                                  "keeps it\\)")));
    EXPECT_FALSE(fs::exists(handheld / ".FakeDB-TEST.pdb.restore-k1ll3d00"));
    EXPECT_EQ(recordCount(handheld / "FakeDB-TEST.pdb"), 0u);
    EXPECT_FALSE(fs::exists(handheld / "Later.pdb")) << "a database made after the backup goes";
    EXPECT_EQ(gvtest::readFileText(handheld / "readme.txt"), "not a database") << "other files stay";
    EXPECT_EQ(gvtest::readFileText(conduitFolder / "settings.ini"), "v1");
    EXPECT_FALSE(fs::exists(conduitFolder / "later.txt"));

    // Without --backup the newest one is restored: the state before the
    // restore.
    r = hotsync({"restore", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Restored backup 4 of "));
    EXPECT_EQ(recordCount(handheld / "FakeDB-TEST.pdb"), 3u);
    EXPECT_TRUE(fs::exists(handheld / "Later.pdb"));
    EXPECT_EQ(gvtest::readFileText(conduitFolder / "settings.ini"), "v2");
    EXPECT_EQ(gvtest::readFileText(conduitFolder / "later.txt"), "made after backup 1");

    r = hotsync({"restore", "--user", "Anna", "--backup", "9", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("There is no backup number 9"));
}

TEST_F(BackupProgramTest, ADamagedBackupIsRefusedAndNothingChanges)
{
    ASSERT_EQ(sync().status, 0);
    fs::resize_file(backupFolder(1) / "handheld" / "FakeDB-TEST.pdb", 10);
    auto before = gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb");

    auto r = hotsync({"restore", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("Backup 1 is damaged: "));
    EXPECT_THAT(r.err, HasSubstr("has 10 bytes instead of"));
    EXPECT_EQ(gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb"), before);
    r = hotsync({"backups", "--user", "Anna"});
    EXPECT_THAT(lines(r.out), testing::SizeIs(1)) << "no backup is taken for a restore that cannot run";
}

int queryInt(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

std::string queryText(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return value;
}

TEST_F(BackupProgramTest, ATableFileInTheMiddleOfACommitIsCopiedAsOfItsLastCommit)
{
    fs::path table = conduitFolder / "MAIN.db";
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(table.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "CREATE TABLE MAIN (InternalID INTEGER PRIMARY KEY, Notes TEXT);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                           "INSERT INTO MAIN (Notes) SELECT printf('committed %-200d', i) FROM n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    // A transaction larger than the writer's page cache spills changed pages
    // into the table file before its commit: the file on disk is half old,
    // half new, and SQLite holds it locked for everyone else.
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA cache_size = 10; BEGIN; "
                           "UPDATE MAIN SET Notes = printf('uncommitted %-198d', InternalID);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        sqlite3 *reader = nullptr;
        ASSERT_EQ(sqlite3_open(table.c_str(), &reader), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(reader, "SELECT count(*) FROM MAIN", nullptr, nullptr, nullptr), SQLITE_BUSY)
            << "the test needs the writer to hold the file locked";
        sqlite3_close(reader);
    }

    std::thread rollback([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    });
    auto r = sync();
    rollback.join();
    sqlite3_close(writer);
    ASSERT_EQ(r.status, 0) << describe(r);

    sqlite3 *copy = nullptr;
    ASSERT_EQ(sqlite3_open_v2((backupFolder(1) / "conduits" / "TEST" / "MAIN.db").c_str(), &copy, SQLITE_OPEN_READONLY,
                              nullptr),
              SQLITE_OK);
    EXPECT_EQ(queryText(copy, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(queryInt(copy, "SELECT count(*) FROM MAIN WHERE Notes LIKE 'committed %'"), 2000);
    sqlite3_close(copy);
    EXPECT_THAT(folderNames(backupFolder(1) / "conduits" / "TEST"), ElementsAre("MAIN.db"));
}

TEST_F(BackupProgramTest, AHotSyncKilledWhileCopyingLeavesNoBackupThatLooksComplete)
{
    std::vector<unsigned char> photo(256 * 1024);
    for (std::size_t i = 0; i < photo.size(); ++i)
        photo[i] = static_cast<unsigned char>(i * 7);
    for (int i = 0; i < 20; ++i)
        gvtest::writeFileBytes(conduitFolder / ("photo" + std::to_string(i) + ".jpg"), photo);

    BackupStore store(HostRoot(root), userId);
    for (int i = 0; i < 15; ++i) {
        runAndKill({"--root", root.string(), "sync", "--user", "Anna", "--handheld", handheld.string()},
                   std::chrono::milliseconds(3 * i));
        for (const auto &backup : store.list()) {
            ASSERT_EQ(backup.conduits.size(), 1u);
            ASSERT_EQ(backup.conduits[0].files.size(), 20u) << "backup " << backup.number;
            for (const auto &file : backup.conduits[0].files)
                ASSERT_EQ(gvtest::readFileBytes(backup.folder / "conduits" / "TEST" / file.path), photo)
                    << "backup " << backup.number << ", " << file.path;
            ASSERT_EQ(backup.handheld.size(), 1u);
        }
    }
    auto r = sync();
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(folderNames(store.folder()), testing::Each(testing::Not(testing::StartsWith(".partial"))));
    r = hotsync({"restore", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 0) << describe(r);
}

// Failing HotSyncs (here five and more in a row) never push the backup of
// the last HotSync that completed out of those kept.
TEST_F(BackupProgramTest, FailingHotSyncsKeepTheLastGoodBackup)
{
    ASSERT_EQ(sync().status, 0); // backup 1: completed
    gvtest::writeFileText(conduitFolder / "fail-status", "");
    for (int i = 2; i <= 8; ++i)
        ASSERT_EQ(sync().status, 1);
    auto r = hotsync({"backups", "--user", "Anna"});
    std::vector<std::string> numbers;
    for (const auto &line : lines(r.out))
        numbers.push_back(line.substr(0, line.find('\t')));
    EXPECT_THAT(numbers, ElementsAre("1", "4", "5", "6", "7", "8"));
    EXPECT_THAT(lines(r.out)[0], HasSubstr("(completed)"));
    EXPECT_THAT(lines(r.out)[1], HasSubstr("(failed)"));
}

// A backup goes back into the handheld folder it was taken of: another
// folder is refused unless named with --to, and without either option the
// backup's own folder is used.
TEST_F(BackupProgramTest, RestoreIntoAnotherFolderNeedsToBeAskedFor)
{
    ASSERT_EQ(sync().status, 0);
    const fs::path other = dir / "another handheld";
    fs::create_directories(other);
    auto r = hotsync({"restore", "--user", "Anna", "--handheld", other.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("was taken of the handheld folder"));
    EXPECT_THAT(r.err, HasSubstr("--to"));
    EXPECT_TRUE(fs::is_empty(other));

    r = hotsync({"restore", "--user", "Anna", "--to", other.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_TRUE(fs::exists(other / "FakeDB-TEST.pdb"));

    const auto before = gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb");
    r = hotsync({"restore", "--user", "Anna", "--backup", "1"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_NE(gvtest::readFileBytes(handheld / "FakeDB-TEST.pdb"), before) << "restored where it came from";
}

struct RestoreUsageCase {
    const char *name;
    std::vector<std::string> args;
    const char *message;
};

void PrintTo(const RestoreUsageCase &c, std::ostream *os)
{
    *os << c.name;
}

class RestoreUsageTest : public testing::TestWithParam<RestoreUsageCase> {};

TEST_P(RestoreUsageTest, ExitsWithStatus2AndSaysWhy)
{
    gvtest::TempDir dir;
    auto args = GetParam().args;
    args.insert(args.begin(), {"--root", dir.str()});
    auto r = runProgram(dir.path(), args);
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr(GetParam().message)) << describe(r);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreUsageTest,
    testing::Values(RestoreUsageCase{"HandheldAndTo",
                                     {"restore", "--user", "A", "--handheld", "/x", "--to", "/y"},
                                     "give --handheld or --to, not both"},
                    RestoreUsageCase{"BadNumber",
                                     {"restore", "--user", "A", "--handheld", "/x", "--backup", "last"},
                                     "--backup must be a whole number"},
                    RestoreUsageCase{"BackupsWithoutUser", {"backups"}, "option --user is required"},
                    RestoreUsageCase{"BackupsWithWord", {"backups", "all", "--user", "A"}, "takes no arguments"}),
    [](const testing::TestParamInfo<RestoreUsageCase> &info) { return std::string(info.param.name); });

} // namespace
