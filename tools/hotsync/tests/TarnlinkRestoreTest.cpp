#include "ProgramRunner.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "palmsync/PalmDatabase.h"

#include <gmock/gmock.h>
#include <sqlite3.h>

#include <cstdlib>
#include <map>
#include <thread>

using namespace hotsynctest;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> tables{"MAIN", "OILGRADE", "SUPPLIER", "VEHICLE"};

class Database {
public:
    explicit Database(const fs::path &file)
    {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << file << ": " << sqlite3_errmsg(db_);
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void exec(const std::string &sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }

    // Every row as "value|value|...", in the order of the primary key.
    std::vector<std::string> rows(const std::string &table)
    {
        std::vector<std::string> result;
        sqlite3_stmt *stmt = nullptr;
        std::string sql = "SELECT * FROM " + table + " ORDER BY InternalID";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return result;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                auto text = sqlite3_column_text(stmt, i);
                row += (i ? "|" : "") + std::string(text ? reinterpret_cast<const char *>(text) : "NULL");
            }
            result.push_back(row);
        }
        sqlite3_finalize(stmt);
        return result;
    }

private:
    sqlite3 *db_ = nullptr;
};

class TarnlinkRestoreTest : public testing::Test {
protected:
    RunResult hotsync(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--root", root.string()});
        return runProgram(scratch, args, sanitizerEnvironment());
    }

    std::vector<std::string> sanitizerEnvironment() { return pluginSanitizerEnvironment(dir.path()); }

    std::map<std::string, std::vector<std::string>> desktopRows()
    {
        std::map<std::string, std::vector<std::string>> all;
        for (const auto &table : tables)
            all[table] = Database(desktop / (table + ".db")).rows(table);
        return all;
    }

    std::map<std::string, std::vector<unsigned char>> handheldFiles()
    {
        std::map<std::string, std::vector<unsigned char>> files;
        for (const auto &entry : fs::directory_iterator(handheld))
            files[entry.path().filename().string()] = gvtest::readFileBytes(entry.path());
        return files;
    }

    gvtest::TempDir dir;
    fs::path root = dir / "host root";
    fs::path handheld = dir / "handheld";
    fs::path scratch = dir / "scratch";
    fs::path desktop;
};

TEST_F(TarnlinkRestoreTest, RestoreBringsBackTheDesktopRowsThatHandheldOverwritesDeleted)
{
    fs::create_directories(root);
    fs::create_directories(handheld);
    fs::create_directories(scratch);
    auto r = hotsync({"register", (gvtest::binaryDir() / "Tarnlink.so").string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    r = hotsync({"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client",
                 "Tarnlink.KLXGVClientNotify", "--directory", "gearvane"});
    ASSERT_EQ(r.status, 0) << describe(r);
    r = hotsync({"users", "add", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    desktop = root / "users" / (lines(r.out).at(0) + "-Anna") / "gearvane";
    r = runBuiltProgram("gearvane-sample", scratch, {handheld.string(), "--entries", "25"});
    ASSERT_EQ(r.status, 0) << describe(r);

    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    ASSERT_THAT(r.out, HasSubstr("OK Gearvane"));

    // Work on the desktop since that HotSync: a new supplier, an edited entry.
    {
        Database main(desktop / "MAIN.db");
        main.exec("UPDATE MAIN SET Notes = 'new tyres, receipt in the glovebox', Modified = 1 "
                  "WHERE InternalID = (SELECT min(InternalID) FROM MAIN)");
        Database supplier(desktop / "SUPPLIER.db");
        supplier.exec("INSERT INTO SUPPLIER (DBID, Modified, Synced, Deleted, UserName, MainId, Name, Notes, Filler) "
                      "VALUES (0, 0, 0, 0, 'Anna', 0, 'Corner Garage', 'opens at 7', '')");
    }
    auto desktopBefore = desktopRows();
    auto handheldBefore = handheldFiles();
    ASSERT_THAT(desktopBefore["SUPPLIER"], testing::Contains(HasSubstr("Corner Garage")));

    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string(), "--action", "handheld-overwrites"});
    ASSERT_EQ(r.status, 0) << describe(r);
    ASSERT_THAT(desktopRows()["SUPPLIER"], testing::Not(testing::Contains(HasSubstr("Corner Garage"))))
        << "the HotSync replaced the desktop rows by the handheld's";
    ASSERT_THAT(desktopRows()["MAIN"], testing::Not(testing::Contains(HasSubstr("receipt in the glovebox"))));

    r = hotsync({"restore", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Restored backup 2 of "));
    EXPECT_EQ(desktopRows(), desktopBefore);
    EXPECT_EQ(handheldFiles(), handheldBefore);

    // The restored tables are whole again: the next HotSync carries the
    // desktop's work to the handheld.
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("OK Gearvane"));
    // InternalID|DBID|Modified|Synced|...
    EXPECT_THAT(desktopRows()["SUPPLIER"],
                testing::Contains(testing::MatchesRegex("[0-9]+\\|[1-9][0-9]*\\|0\\|1\\|.*Corner Garage.*")));
}

// Two HotSyncs of the same user started at once run one after the other:
// the desktop's new rows reach the handheld once, and the sides stay in
// step (without the lock both runs wrote them, and the log was doubled).
TEST_F(TarnlinkRestoreTest, TwoHotSyncsAtOnceRunOneAfterTheOther)
{
    fs::create_directories(root);
    fs::create_directories(handheld);
    fs::create_directories(scratch);
    ASSERT_EQ(hotsync({"register", (gvtest::binaryDir() / "Tarnlink.so").string()}).status, 0);
    ASSERT_EQ(hotsync({"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client",
                       "Tarnlink.KLXGVClientNotify", "--directory", "gearvane"})
                  .status,
              0);
    auto r = hotsync({"users", "add", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    desktop = root / "users" / (lines(r.out).at(0) + "-Anna") / "gearvane";
    ASSERT_EQ(runBuiltProgram("gearvane-sample", scratch, {handheld.string(), "--entries", "400"}).status, 0);
    ASSERT_EQ(hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()}).status, 0);
    {
        Database main(desktop / "MAIN.db");
        main.exec("INSERT INTO MAIN (DBID, Modified, Synced, Deleted, UserName, VehicleId, Mileage, Type, Notes) "
                  "SELECT 0, 0, 0, 0, 'Anna', VehicleId, Mileage + 100000, Type, 'added on the desktop' FROM MAIN "
                  "LIMIT 50");
    }
    const auto rowsBefore = desktopRows()["MAIN"].size();

    // Each run writes its output into files of its own.
    auto syncInto = [&](const fs::path &own) {
        fs::create_directories(own);
        return runProgram(
            own, {"--root", root.string(), "sync", "--user", "Anna", "--handheld", handheld.string(), "--wait", "120"},
            sanitizerEnvironment());
    };
    RunResult first, second;
    std::thread a([&] { first = syncInto(scratch / "first"); });
    std::thread b([&] { second = syncInto(scratch / "second"); });
    a.join();
    b.join();
    EXPECT_EQ(first.status, 0) << describe(first);
    EXPECT_EQ(second.status, 0) << describe(second);
    EXPECT_THAT(first.out + second.out, HasSubstr("Waiting for the run that holds the user Anna"));

    auto rows = desktopRows()["MAIN"];
    EXPECT_EQ(rows.size(), rowsBefore);
    EXPECT_EQ(palmsync::PalmDatabase::load(handheld / "MainDB-KLXC.pdb").records.size(), rows.size());
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(desktopRows()["MAIN"], rows) << "a third HotSync finds nothing left to do";
}

} // namespace
