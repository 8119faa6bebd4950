// A HotSync killed at any moment loses no record: after the next HotSync
// every record that existed on either side beforehand is on both sides.
// The HotSync runs in a child process that is killed at each durable step
// (the handheld file's rename, the desktop commit; just before and just
// after) and at random moments.
#include "KLXClientNotify.h"
#include "ToDoMainObject.h"
#include "ToDoOilGradeObject.h"
#include "ToDoSupplierObject.h"
#include "ToDoVehicleObject.h"
#include "TempDir.h"
#include "com/ClassTable.h"
#include "com/ComPtr.h"
#include "desktopdb/Table.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"
#include "palmsync/PalmDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace conduit;
namespace fs = std::filesystem;

namespace {

const std::string User = "Crash Tester";

struct Sides {
    fs::path handheld;
    fs::path desktop;
};

std::string runHotSync(const Sides &s, int syncType)
{
    palmsync::HotSyncSession session({User, s.desktop.string(), syncType, s.handheld});
    {
        com::ComPtr<TKLXGVClientNotify> notify(new TKLXGVClientNotify);
        std::int16_t result = 1;
        EXPECT_EQ(notify->BeginProcess(&result), com::S_OK);
    }
    session.end();
    auto lines = session.logLines();
    return lines.empty() ? std::string() : lines.back();
}

com::ComPtr<palmsync::IPDRecordAdapter> openDb(palmsync::IPDDatabaseQuery *q, const char *name)
{
    com::ComPtr<palmsync::IPDRecordAdapter> a;
    com::check(q->OpenRecordDatabase(name, "PDDirect.PDRecordAdapter", 0xC0,
                                     reinterpret_cast<palmsync::IPDRecordAdapter **>(a.put())));
    return a;
}

// Log entries are told apart by their mileage, vehicles by their miles per
// year: fields no change in this test touches.
void addHandheldRecords(const Sides &s, int firstMileage, int entries, int vehicleMiles, int dirtyChanges)
{
    palmsync::HotSyncSession session({User, s.desktop.string(), 0, s.handheld});
    {
        auto query = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
        auto utility = com::createInstance<palmsync::IPDUtility>(palmsync::IPDUtility::clsid);
        std::int32_t vehicleId = 0;
        {
            auto db = openDb(query.get(), "VehicleDB-KLXC");
            TToDoVehicleObject v(User);
            v.Rec.Name = "Truck " + std::to_string(vehicleMiles);
            v.Rec.MilesPerYear = vehicleMiles;
            v.writeToRemote(db.get(), utility.get(), 0x40);
            vehicleId = v.RecordId;
        }
        auto db = openDb(query.get(), "MainDB-KLXC");
        for (int i = 0; i < entries; ++i) {
            TToDoMainObject e(User);
            e.Rec.VehicleId = vehicleId;
            e.Rec.Mileage = firstMileage + i;
            e.Rec.Type = "FU";
            e.setTranDate(EncodeDate(2003, 1 + i % 12, 1 + i % 28));
            e.setTotalCost(20 + i);
            e.setQty(10.5);
            e.Rec.Notes = "handheld " + std::to_string(i);
            e.writeToRemote(db.get(), utility.get(), 0x40);
        }
        // Change some records that are already on both sides.
        com::check(db->SetIterationIndex(0));
        for (int i = 0; i < dirtyChanges; ++i) {
            std::int32_t index, id, category, attributes;
            palmsync::ByteArray data;
            if (db->ReadNextRecord(&index, &id, &category, &attributes, &data) != com::S_OK)
                break;
            TToDoMainObject e(User);
            e.readFromRemote(utility.get(), data, index, id, category, attributes);
            e.Rec.Notes = "changed on the handheld";
            e.writeToRemote(db.get(), utility.get(), 0x40);
        }
    }
    session.end();
}

void addDesktopRows(const Sides &s, int firstMileage, int rows, int modify)
{
    desktopdb::Table t;
    t.setDatabaseName(s.desktop.string());
    t.setTableName("MAIN");
    t.open();
    for (int i = 0; i < modify && i < t.recordCount(); ++i) {
        t.setRecNo(i + 1);
        t.edit();
        t.fieldByName("Notes").setAsString("changed on the desktop");
        t.fieldByName("Modified").setAsBoolean(true);
        t.post();
    }
    for (int i = 0; i < rows; ++i) {
        t.append();
        t.fieldByName("UserName").setAsString(User);
        t.fieldByName("DBID").setAsInteger(0);
        t.fieldByName("Synced").setAsBoolean(false);
        t.fieldByName("Mileage").setAsInteger(firstMileage + i);
        t.fieldByName("Type").setAsString("SV");
        t.fieldByName("TranDate").setAsDateTime(EncodeDate(2004, 2, 1 + i));
        t.fieldByName("TotalCost").setAsFloat(99.5);
        t.fieldByName("Notes").setAsString("desktop " + std::to_string(i));
        t.post();
    }
    t.close();
}

std::multiset<int> desktopMileages(const Sides &s)
{
    std::multiset<int> out;
    desktopdb::Table t;
    t.setDatabaseName(s.desktop.string());
    t.setTableName("MAIN");
    t.open();
    for (t.first(); !t.eof(); t.next())
        out.insert(t.fieldByName("Mileage").asInteger());
    return out;
}

std::multiset<int> handheldMileages(const Sides &s)
{
    std::multiset<int> out;
    auto db = palmsync::PalmDatabase::load(s.handheld / "MainDB-KLXC.pdb");
    for (const auto &r : db.records) {
        if (r.attributes & 0x80 || r.data.size() < 12)
            continue;
        out.insert((r.data[8] << 24) | (r.data[9] << 16) | (r.data[10] << 8) | r.data[11]);
    }
    return out;
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        pristine = {dir.path() / "pristine/handheld", dir.path() / "pristine/desktop"};
        fs::create_directories(pristine.handheld);
        fs::create_directories(pristine.desktop);
        palmsync::HandheldFolder folder(pristine.handheld);
        for (const char *name : {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC", "MainDB-KLXC"})
            folder.createRecordDatabase(name, "KLXC", "DATA");
        addHandheldRecords(pristine, 1000, 30, 12000, 0);
        ASSERT_EQ(runHotSync(pristine, 0), "OK Gearvane");
        // Work waiting on both sides: new, changed and unsynced records.
        addHandheldRecords(pristine, 2000, 8, 13000, 4);
        addDesktopRows(pristine, 3000, 8, 4);

        // What an uninterrupted HotSync keeps: both sides' records when
        // synchronising; the desktop's when it overwrites the handheld; the
        // handheld's when it overwrites the desktop.
        for (int m : desktopMileages(pristine))
            survivors[0].insert(m), survivors[3].insert(m);
        for (int m : handheldMileages(pristine))
            survivors[0].insert(m), survivors[2].insert(m);
        ASSERT_EQ(survivors[0].size(), 30u + 8u + 8u);
    }

    Sides freshCopy(const std::string &name)
    {
        Sides s{dir.path() / name / "handheld", dir.path() / name / "desktop"};
        fs::create_directories(s.handheld.parent_path());
        fs::copy(pristine.handheld, s.handheld, fs::copy_options::recursive);
        fs::copy(pristine.desktop, s.desktop, fs::copy_options::recursive);
        return s;
    }

    // Runs a HotSync in a child; returns true when the child was killed.
    static bool hotSyncInChild(const Sides &s, int syncType, const std::string &crashAt, int killAfterMicros = -1)
    {
        pid_t pid = fork();
        if (pid == 0) {
            if (!crashAt.empty())
                setenv("GV_CRASH_AT", crashAt.c_str(), 1);
            runHotSync(s, syncType);
            _exit(0);
        }
        if (killAfterMicros >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(killAfterMicros));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    void expectNothingLost(const Sides &s, int syncType, const std::string &what)
    {
        const std::set<int> &expected = survivors[syncType];
        SCOPED_TRACE(what);
        // Stale journal files of a killed process are rolled back by the
        // table engine on the next open.
        EXPECT_EQ(runHotSync(s, 0), "OK Gearvane");
        auto desktop = desktopMileages(s);
        auto handheld = handheldMileages(s);
        for (int m : expected) {
            EXPECT_TRUE(desktop.count(m)) << "mileage " << m << " lost on the desktop";
            EXPECT_TRUE(handheld.count(m)) << "mileage " << m << " lost on the handheld";
        }
    }

    gvtest::TempDir dir;
    Sides pristine;
    std::map<int, std::set<int>> survivors; // by sync type
};

TEST_F(CrashSafety, KilledAtEachDurableStepLosesNothing)
{
    const char *points[] = {"handheld-before-rename", "handheld-after-rename", "desktop-before-commit",
                            "desktop-after-commit"};
    for (int syncType : {0, 2, 3}) {
        for (const char *point : points) {
            for (int n = 1; n <= 12; ++n) {
                std::string name = std::to_string(syncType) + "-" + point + "-" + std::to_string(n);
                Sides s = freshCopy(name);
                bool killed = hotSyncInChild(s, syncType, std::string(point) + ":" + std::to_string(n));
                if (!killed)
                    break; // the HotSync passes this point fewer than n times
                expectNothingLost(s, syncType, name);
            }
        }
    }
}

TEST_F(CrashSafety, KilledAtRandomMomentsLosesNothing)
{
    // How long an uninterrupted HotSync of this data takes here.
    Sides timing = freshCopy("timing");
    auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(hotSyncInChild(timing, 0, ""));
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                      .count();

    std::mt19937 rng(20021214);
    for (int i = 0; i < 12; ++i) {
        std::string name = "random-" + std::to_string(i);
        Sides s = freshCopy(name);
        int syncType = i % 4 == 3 ? 3 : i % 4 == 2 ? 2 : 0;
        hotSyncInChild(s, syncType, "", static_cast<int>(rng() % static_cast<unsigned>(micros + 1)));
        expectNothingLost(s, syncType, name);
    }
}

// The desktop application holds a write lock on a table: the HotSync waits
// for the busy time-out, then fails that table with a clear line; the tables
// before it are done, nothing of the locked one is written, and the next
// HotSync finishes the work.
TEST_F(CrashSafety, TableLockedByAnotherProgramFailsCleanly)
{
    Sides s = freshCopy("locked");
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open((s.desktop / "VEHICLE.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto vehicleBefore = gvtest::readFileBytes(s.desktop / "VEHICLE.db");

    std::string line = runHotSync(s, 0);
    EXPECT_EQ(line.rfind("ERROR (Gearvane): syncStandard: openDesktopDatabase: ", 0), 0u) << line;
    EXPECT_NE(line.find("lock"), std::string::npos) << line;
    EXPECT_EQ(gvtest::readFileBytes(s.desktop / "VEHICLE.db"), vehicleBefore);
    // MAIN, the first table, was synced before the lock was met.
    for (int m : survivors[0])
        EXPECT_TRUE(desktopMileages(s).count(m)) << m;

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    expectNothingLost(s, 0, "after the lock is gone");
}

} // namespace
