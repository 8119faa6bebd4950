// A HotSync that is killed, runs out of disk or meets a locked table at any
// moment loses nothing: once the next HotSync has run, both sides hold
// exactly what an uninterrupted HotSync gives — every record and edit, the
// handheld's version where both sides edited, every reference resolved, no
// duplicate.
//
// The data has work waiting on both sides in every table: new, changed and
// deleted records, conflicts, and new desktop rows that refer to each other
// by ids the handheld has not given yet, so that every HotSync renumbers
// references. Each case is checked by content: references are resolved to
// the names of the records they point at, so that a record written twice or
// a reference left pointing nowhere shows.
#include "SyncFixture.h"

#include "SystemCallTrace.h"
#include "conduit/ConduitUtils.h"
#include "desktopdb/Table.h"
#include "fileio/SystemCalls.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace conduittest;
namespace fs = std::filesystem;

namespace {

// Both sides of one HotSync, described by content.
struct View {
    std::map<std::string, std::multiset<std::string>> tables; // table -> rows as text
    std::vector<std::string> faults; // dangling references, flags left set, staged files, journal entries
};

std::string refName(const std::map<std::int64_t, std::string> &names, std::int64_t id, const char *what,
                    std::vector<std::string> &faults)
{
    if (id == 0)
        return "-";
    auto it = names.find(id);
    if (it != names.end())
        return it->second;
    faults.push_back(std::string("dangling ") + what + " reference " + std::to_string(id));
    return "?";
}

class CrashSafety : public HotSyncFixture {
protected:
    CrashSafety()
    {
        pristine = {handheldDir, conduitDir};
        build();
    }

    struct Sides {
        fs::path handheld, desktop;
    };

    void use(const Sides &s)
    {
        handheldDir = s.handheld;
        conduitDir = s.desktop;
        pathName = conduitDir.string();
    }

    Sides copyOfPristine(const std::string &name)
    {
        Sides s{temp / name / "handheld", temp / name / "conduit"};
        fs::create_directories(s.handheld.parent_path());
        fs::copy(pristine.handheld, s.handheld, fs::copy_options::recursive);
        fs::copy(pristine.desktop, s.desktop, fs::copy_options::recursive);
        return s;
    }

    void editRows(const std::string &table, const std::function<bool(desktopdb::Table &)> &change)
    {
        desktopdb::Table t;
        t.setDatabaseName(conduitDir.string());
        t.setTableName(table);
        t.open();
        for (t.first(); !t.eof(); t.next()) {
            t.edit();
            if (change(t))
                t.post();
            else
                t.cancel();
        }
    }

    // A handheld and a desktop in step, then work waiting on both sides.
    void build()
    {
        setRecords(kOilGradeDB, {palmRecord(11, oilGradeBytes({4, 50, "5W30", ""})),
                                 palmRecord(12, oilGradeBytes({5, 0, "10W40", ""}))});
        setRecords(kSupplierDB, {palmRecord(21, supplierBytes({1, "Shell", "", ""})),
                                 palmRecord(22, supplierBytes({2, "Esso", "", ""}))});
        setRecords(kVehicleDB, {palmRecord(31, vehicleBytes({11, 1998, 9000, "Truck", "", "MAN", "TGL", "", ""})),
                                palmRecord(32, vehicleBytes({12, 2001, 7000, "Van", "", "VW", "T4", "", ""}))});
        std::vector<palmsync::PalmRecord> entries;
        for (int i = 0; i < 20; ++i)
            entries.push_back(palmRecord(static_cast<std::uint32_t>(100 + i), mainBytes(entry(i % 2 ? 31 : 32,
                                                                                               i % 2 ? 21 : 22,
                                                                                               1000 + i, "first"))));
        setRecords(kMainDB, entries);
        ASSERT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});

        // The handheld: new records (a new oil grade, a vehicle that uses
        // it, entries for it), changed records, deleted records.
        auto oil = records(kOilGradeDB);
        oil.push_back(palmRecord(13, oilGradeBytes({3, 99, "0W20", ""}), 0x40));
        setRecords(kOilGradeDB, oil);
        auto vehicles = records(kVehicleDB);
        vehicles.push_back(palmRecord(33, vehicleBytes({13, 2020, 3000, "Bike", "", "BMW", "R", "", ""}), 0x40));
        setRecords(kVehicleDB, vehicles);
        auto main = records(kMainDB);
        for (auto &r : main) {
            const int mileage = readMain(r.data).mileage;
            if (mileage == 1000 || mileage == 1001 || mileage == 1002) {
                MainRecord m = readMain(r.data);
                m.notes = "changed on the handheld";
                r.data = mainBytes(m);
                r.attributes = 0x40;
            } else if (mileage == 1004 || mileage == 1005) {
                r.attributes = 0x80;
            }
        }
        for (int i = 0; i < 4; ++i)
            main.push_back(palmRecord(static_cast<std::uint32_t>(200 + i),
                                      mainBytes(entry(33, 21, 2000 + i, "new on the handheld")), 0x40));
        setRecords(kMainDB, main);

        // The desktop: a new oil grade, supplier and vehicle that refer to
        // each other by ids of their own, new entries for them, changed
        // rows (two of them changed on the handheld too) and a deleted row.
        addRow("OILGRADE", syncColumns(-1, false) + Row{{"Name", "15W50"}, {"ItemCost", 9.5}});
        addRow("SUPPLIER", syncColumns(-1, false) + Row{{"Name", "Aral"}, {"MainId", std::int64_t{7}}});
        addRow("VEHICLE", syncColumns(-2, false) + Row{{"Name", "Camper"},
                                                       {"OilGradeId", std::int64_t{-1}},
                                                       {"ModelYear", std::int64_t{1985}}});
        for (int i = 0; i < 4; ++i)
            addRow("MAIN", syncColumns(-5 - i, false) + Row{{"VehicleId", std::int64_t{-2}},
                                                            {"VendorId", std::int64_t{-1}},
                                                            {"Mileage", std::int64_t{3000 + i}},
                                                            {"Type", "SV"},
                                                            {"TranDate", conduit::EncodeDate(2004, 2, 1 + i)},
                                                            {"Notes", "new on the desktop"}});
        editRows("MAIN", [](desktopdb::Table &t) {
            const auto mileage = t.fieldByName("Mileage").asInteger();
            if (mileage == 1001 || mileage == 1002 || mileage == 1006 || mileage == 1007) {
                t.fieldByName("Notes").setAsString("changed on the desktop");
                t.fieldByName("Modified").setAsBoolean(true);
                return true;
            }
            if (mileage == 1008) {
                t.fieldByName("Deleted").setAsBoolean(true);
                return true;
            }
            return false;
        });
        editRows("VEHICLE", [](desktopdb::Table &t) {
            if (t.fieldByName("Name").asString() != "Van")
                return false;
            t.fieldByName("ModelYear").setAsInteger(2002);
            t.fieldByName("Modified").setAsBoolean(true);
            return true;
        });
    }

    static MainRecord entry(std::int32_t vehicle, std::int32_t vendor, std::int32_t mileage, const std::string &notes)
    {
        MainRecord m;
        m.vehicleId = vehicle;
        m.vendorId = vendor;
        m.mileage = mileage;
        m.type = "FU";
        m.date[3] = 1 + static_cast<std::uint16_t>(mileage % 28);
        m.date[4] = 3;
        m.date[5] = 2003;
        m.costWhole = 20;
        m.qtyWhole = 10;
        m.notes = notes;
        return m;
    }

    View handheldView() const
    {
        View v;
        std::map<std::int64_t, std::string> oil, suppliers, vehicles;
        for (const auto &r : records(kOilGradeDB)) {
            oil[r.uniqueId] = readOilGrade(r.data).name;
            v.tables["OILGRADE"].insert(readOilGrade(r.data).name);
        }
        for (const auto &r : records(kSupplierDB)) {
            suppliers[r.uniqueId] = readSupplier(r.data).name;
            v.tables["SUPPLIER"].insert(readSupplier(r.data).name);
        }
        for (const auto &r : records(kVehicleDB)) {
            VehicleRecord x = readVehicle(r.data);
            vehicles[r.uniqueId] = x.name;
            v.tables["VEHICLE"].insert(x.name + "|" + std::to_string(x.modelYear) + "|" +
                                       refName(oil, x.oilGradeId, "oil grade", v.faults));
        }
        for (const auto &r : records(kMainDB)) {
            MainRecord x = readMain(r.data);
            v.tables["MAIN"].insert(std::to_string(x.mileage) + "|" + x.notes + "|" +
                                    refName(vehicles, x.vehicleId, "vehicle", v.faults) + "|" +
                                    refName(suppliers, x.vendorId, "supplier", v.faults));
        }
        for (const std::string &db : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB}) {
            for (const auto &r : records(db)) {
                if (r.attributes != 0)
                    v.faults.push_back(db + " record " + std::to_string(r.uniqueId) + " keeps attributes " +
                                       std::to_string(r.attributes));
            }
        }
        for (const auto &e : fs::directory_iterator(handheldDir)) {
            if (e.path().filename().string().find(".staged-") != std::string::npos)
                v.faults.push_back("staged file left: " + e.path().filename().string());
        }
        return v;
    }

    View desktopView()
    {
        View v;
        auto ids = [&](const char *table) {
            std::map<std::int64_t, std::string> names;
            for (const auto &row : rows(table))
                names[intOf(row, "DBID")] = textOf(row, "Name");
            return names;
        };
        auto oil = ids("OILGRADE"), suppliers = ids("SUPPLIER"), vehicles = ids("VEHICLE");
        for (const char *table : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"}) {
            for (const auto &row : rows(table)) {
                if (!boolOf(row, "Synced") || boolOf(row, "Modified") || boolOf(row, "Deleted"))
                    v.faults.push_back(std::string(table) + " row " + std::to_string(intOf(row, "DBID")) +
                                       " keeps a flag");
                std::string text;
                if (std::string(table) == "OILGRADE" || std::string(table) == "SUPPLIER")
                    text = textOf(row, "Name");
                else if (std::string(table) == "VEHICLE")
                    text = textOf(row, "Name") + "|" + std::to_string(intOf(row, "ModelYear")) + "|" +
                           refName(oil, intOf(row, "OilGradeId"), "oil grade", v.faults);
                else
                    text = std::to_string(intOf(row, "Mileage")) + "|" + textOf(row, "Notes") + "|" +
                           refName(vehicles, intOf(row, "VehicleId"), "vehicle", v.faults) + "|" +
                           refName(suppliers, intOf(row, "VendorId"), "supplier", v.faults);
                v.tables[table].insert(text);
            }
            // Id pairs of finished renumbering are gone.
            sqlite3 *db = nullptr;
            sqlite3_open_v2(tableFile(table).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
            for (const char *journal : {"TarnlinkIdPairs", "TarnlinkOverwrite"}) {
                sqlite3_stmt *st = nullptr;
                const std::string sql = std::string("SELECT COUNT(*) FROM ") + journal;
                if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
                    sqlite3_column_int(st, 0) != 0)
                    v.faults.push_back(std::string(table) + " keeps entries in " + journal);
                sqlite3_finalize(st);
            }
            sqlite3_close(db);
        }
        return v;
    }

    // What an uninterrupted HotSync of that type gives, checked once.
    const View &cleanView(std::int32_t syncType)
    {
        auto it = clean.find(syncType);
        if (it != clean.end())
            return it->second;
        use(copyOfPristine("clean-" + std::to_string(syncType)));
        EXPECT_EQ(runHotSync(syncType), std::vector<std::string>{"OK Gearvane"});
        View handheld = handheldView(), desktop = desktopView();
        EXPECT_EQ(handheld.faults, std::vector<std::string>{});
        EXPECT_EQ(desktop.faults, std::vector<std::string>{});
        EXPECT_EQ(handheld.tables, desktop.tables);
        return clean[syncType] = handheld;
    }

    // After the interrupted HotSync, the next one (of the same type, unless
    // `interrupted` names the type of the interrupted one) must leave both
    // sides as the uninterrupted one does.
    void expectLikeACleanRun(std::int32_t syncType, const std::string &what, std::int32_t interrupted = -1)
    {
        SCOPED_TRACE(what);
        auto log = runHotSync(syncType);
        EXPECT_EQ(log, std::vector<std::string>{"OK Gearvane"});
        View handheld = handheldView(), desktop = desktopView();
        EXPECT_EQ(handheld.faults, std::vector<std::string>{});
        EXPECT_EQ(desktop.faults, std::vector<std::string>{});
        const View &expected = clean.at(interrupted < 0 ? syncType : interrupted);
        EXPECT_EQ(handheld.tables, expected.tables);
        EXPECT_EQ(desktop.tables, expected.tables);
    }

    // Runs the HotSync in a child with the given environment; returns the
    // child's status.
    // With `killAtCall` > 0 the child kills itself just before (or after)
    // its killAtCall-th durable system call.
    int hotSyncInChild(std::int32_t syncType, const std::map<std::string, std::string> &environment,
                       int killAfterMicros = -1, long killAtCall = 0, bool beforeTheCall = true)
    {
        pid_t pid = fork();
        if (pid == 0) {
            for (const auto &[name, value] : environment)
                setenv(name.c_str(), value.c_str(), 1);
            long calls = 0;
            std::optional<fileio::ScopedSystemCalls> killing;
            if (killAtCall > 0)
                killing.emplace(countedCalls(calls, killAtCall, beforeTheCall));
            runHotSync(syncType);
            _exit(0);
        }
        if (killAfterMicros >= 0) {
            usleep(static_cast<useconds_t>(killAfterMicros));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }

    // The system's durable calls, counted in `count`; with `killAt` > 0 the
    // process is killed just before or just after the killAt-th of them.
    static fileio::SystemCalls countedCalls(long &count, long killAt, bool before)
    {
        const fileio::SystemCalls system = fileio::defaultSystemCalls();
        auto counted = [&count, killAt, before](auto call) {
            return [&count, killAt, before, call](auto... args) {
                const bool now = ++count == killAt;
                if (now && before)
                    std::raise(SIGKILL);
                auto result = call(args...);
                if (now)
                    std::raise(SIGKILL);
                return result;
            };
        };
        fileio::SystemCalls calls;
        calls.write = counted(system.write);
        calls.pwrite = counted(system.pwrite);
        calls.fsync = counted(system.fsync);
        calls.fsyncFolder = counted(system.fsyncFolder);
        calls.rename = counted(system.rename);
        return calls;
    }

    static bool killed(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }

    Sides pristine;
    std::map<std::int32_t, View> clean;
};

constexpr std::int32_t syncTypes[] = {0, 2, 3};

// The order that makes each table's unit survive a power loss, not only a
// killed process: the staged handheld changes and their folder entry are on
// disk before the desktop commit writes the table file, and the staged file
// is put in place (and its folder flushed) only after that commit.
TEST_F(CrashSafety, EachStepIsOnDiskBeforeTheNextOneReliesOnIt)
{
    use(copyOfPristine("order"));
    gvtest::SystemCallTrace trace;
    ASSERT_EQ(runHotSync(0), std::vector<std::string>{"OK Gearvane"});
    EXPECT_EQ(trace.durabilityFaults(), std::vector<std::string>{});
    const auto &calls = trace.calls();
    auto first = [&](gvtest::Call kind, const std::function<bool(const gvtest::TracedCall &)> &match,
                     std::size_t from) -> std::size_t {
        for (std::size_t i = from; i < calls.size(); ++i) {
            if (calls[i].kind == kind && match(calls[i]))
                return i;
        }
        return calls.size();
    };
    for (const auto &[database, table] : {std::pair{kMainDB, "MAIN"}, {kOilGradeDB, "OILGRADE"},
                                           {kSupplierDB, "SUPPLIER"}, {kVehicleDB, "VEHICLE"}}) {
        SCOPED_TRACE(database);
        const std::string staged = "/." + database + ".pdb.staged-";
        const std::string tablePath = "/" + std::string(table) + ".db";
        const auto flushed = first(
            gvtest::Call::Fsync, [&](const auto &c) { return c.path.find(staged) != std::string::npos; }, 0);
        ASSERT_LT(flushed, calls.size()) << "the staged changes are never flushed";
        const auto folderFlushed = first(
            gvtest::Call::FsyncFolder, [&](const auto &c) { return c.path == handheldDir.string(); }, flushed);
        const auto committed = first(
            gvtest::Call::Write,
            [&](const auto &c) {
                return c.path.size() >= tablePath.size() &&
                       c.path.compare(c.path.size() - tablePath.size(), tablePath.size(), tablePath) == 0;
            },
            flushed);
        const auto published = first(
            gvtest::Call::Rename, [&](const auto &c) { return c.path.find(staged) != std::string::npos; }, flushed);
        EXPECT_LT(folderFlushed, committed) << "the staged file's entry is not on disk before the desktop commit";
        EXPECT_LT(committed, published) << "the staged file is put in place before the desktop commit";
        EXPECT_LT(published, calls.size());
        EXPECT_LT(first(gvtest::Call::FsyncFolder, [&](const auto &c) { return c.path == handheldDir.string(); },
                        published),
                  calls.size())
            << "the folder is not flushed after the staged file is put in place";
    }
}

// Killed at every pass of every durable step: the handheld's changes staged,
// the desktop commit (just before and after), the staged changes put in
// place (just before and after), in the table steps and in the renumbering.
TEST_F(CrashSafety, KilledAtEveryDurableStepLosesNothing)
{
    const char *points[] = {"handheld-staged", "desktop-before-commit", "desktop-after-commit",
                            "handheld-before-publish", "handheld-after-publish"};
    std::map<std::int32_t, int> killsIn;
    for (std::int32_t syncType : syncTypes) {
        cleanView(syncType);
        for (const char *point : points) {
            for (int n = 1;; ++n) {
                const std::string name = std::to_string(syncType) + "-" + point + "-" + std::to_string(n);
                use(copyOfPristine(name));
                const fs::path note = temp / (name + ".note");
                int status = hotSyncInChild(syncType, {{"GV_CRASH_AT", std::string(point) + ":" + std::to_string(n)},
                                                       {"GV_CRASH_NOTE", note.string()}});
                if (!killed(status)) {
                    // The HotSync passes this point fewer than n times.
                    ASSERT_TRUE(WIFEXITED(status)) << name;
                    ASSERT_GT(n, 1) << point << " is never passed in sync type " << syncType;
                    EXPECT_FALSE(fs::exists(note)) << name;
                    break;
                }
                ASSERT_EQ(gvtest::readFileText(note), std::string(point) + ":" + std::to_string(n) + "\n")
                    << "killed elsewhere than " << name;
                ++killsIn[syncType];
                expectLikeACleanRun(syncType, name);
            }
        }
    }
    // Two-way: four table steps and the two renumbering passes. Desktop
    // overwrites: four table steps, which renumber as they write.
    EXPECT_GE(killsIn[0], 6 * 5);
    EXPECT_GE(killsIn[3], 4 * 5);
    EXPECT_GE(killsIn[2], 3 * 5);
    const int kills = killsIn[0] + killsIn[2] + killsIn[3];
    RecordProperty("kills", kills);
    std::printf("killed at %d durable steps (%d, %d and %d in sync types 0, 2 and 3)\n", kills, killsIn[0],
                killsIn[2], killsIn[3]);
}

// Desktop overwrites handheld, killed after the oil grades, the suppliers
// and the vehicles were written, is finished by the next HotSync whatever
// its own sync type: the tables it had not reached are written from the
// desktop first, so nothing of the handheld it was replacing comes back,
// and an uninterrupted overwrite leaves a two-way HotSync nothing to do.
TEST_F(CrashSafety, AnInterruptedOverwriteIsFinishedFirst)
{
    cleanView(3);
    for (int n = 1; n <= 3; ++n) {
        const std::string point = "desktop-after-commit:" + std::to_string(n);
        const std::string name = "overwrite-then-two-way-" + std::to_string(n);
        use(copyOfPristine(name));
        const fs::path note = temp / (name + ".note");
        int status = hotSyncInChild(3, {{"GV_CRASH_AT", point}, {"GV_CRASH_NOTE", note.string()}});
        ASSERT_TRUE(killed(status)) << name;
        ASSERT_EQ(gvtest::readFileText(note), point + "\n") << name;
        expectLikeACleanRun(0, name, 3);
    }
}

// Killed at random moments. What a kill leaves on disk depends only on the
// durable system calls made before it, so most kills fall just before or
// just after a randomly drawn one of them: that spreads them over the whole
// HotSync whatever the machine's speed. A few more fall at random times, to
// catch the states between those calls (a journal removed, a file created).
TEST_F(CrashSafety, KilledAtRandomMomentsLosesNothing)
{
    std::mt19937 random(20021214);
    for (std::int32_t syncType : syncTypes) {
        cleanView(syncType);
        use(copyOfPristine("timing-" + std::to_string(syncType)));
        long calls = 0;
        {
            fileio::ScopedSystemCalls counting(countedCalls(calls, 0, false));
            ASSERT_EQ(runHotSync(syncType), std::vector<std::string>{"OK Gearvane"});
        }
        ASSERT_GT(calls, 20);
        use(copyOfPristine("timing-child-" + std::to_string(syncType)));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(WIFEXITED(hotSyncInChild(syncType, {})));
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();

        std::set<std::string> lastSteps;
        auto check = [&](const std::string &name, const fs::path &trace) {
            std::string passed = fs::exists(trace) ? gvtest::readFileText(trace) : std::string();
            auto lastLine = passed.empty() ? std::string("before the first durable step")
                                           : passed.substr(passed.rfind('\n', passed.size() - 2) + 1);
            lastSteps.insert(lastLine);
            expectLikeACleanRun(syncType, name + " after " + lastLine);
        };
        for (int k = 0; k < 8; ++k) {
            const long n = 1 + static_cast<long>(random() % static_cast<unsigned long>(calls));
            const bool before = random() % 2 == 0;
            const std::string name = "call-" + std::to_string(syncType) + "-" + std::to_string(n) +
                                     (before ? "-before" : "-after");
            use(copyOfPristine(name));
            const fs::path trace = temp / (name + ".trace");
            const int status = hotSyncInChild(syncType, {{"GV_CRASH_TRACE", trace.string()}}, -1, n, before);
            ASSERT_TRUE(killed(status)) << name << ": the HotSync made fewer durable calls than before";
            check(name, trace);
        }
        int timedKills = 0;
        for (int attempt = 0; timedKills < 3 && attempt < 30; ++attempt) {
            const std::string name = "timed-" + std::to_string(syncType) + "-" + std::to_string(attempt);
            use(copyOfPristine(name));
            const fs::path trace = temp / (name + ".trace");
            const int delay = static_cast<int>(random() % static_cast<unsigned>(micros + 1));
            if (!killed(hotSyncInChild(syncType, {{"GV_CRASH_TRACE", trace.string()}}, delay)))
                continue; // it ended before the kill
            ++timedKills;
            check(name, trace);
        }
        EXPECT_GE(lastSteps.size(), 3u) << "the kills did not spread over the HotSync";
        std::printf("sync type %d: killed at 8 of %ld durable calls and %d times at random, after %zu different "
                    "steps\n",
                    syncType, calls, timedKills, lastSteps.size());
    }
}

// Out of disk, on either side, at every moment of the HotSync: the write
// that fails and every one after it. The HotSync reports the failure, each
// table is as it was or as it should be on both sides, and the next HotSync
// finishes the work.
TEST_F(CrashSafety, AFullDiskAtAnyWriteLosesNothing)
{
    for (std::int32_t syncType : syncTypes) {
        cleanView(syncType);
        int writes = 0;
        {
            use(copyOfPristine("count-" + std::to_string(syncType)));
            gvtest::SystemCallTrace trace;
            runHotSync(syncType);
            writes = trace.count(gvtest::Call::Write);
        }
        ASSERT_GT(writes, 10);
        int moments = 0;
        for (int n = 1; n <= writes; n += std::max(1, writes / 25), ++moments) {
            const std::string name = "full-" + std::to_string(syncType) + "-" + std::to_string(n);
            use(copyOfPristine(name));
            std::vector<std::string> log;
            {
                gvtest::SystemCallTrace trace;
                trace.failAt(gvtest::Call::Write, n, ENOSPC, true);
                log = runHotSync(syncType);
            }
            ASSERT_EQ(log.size(), 1u);
            // A HotSync that says OK has done all of its work: only the
            // clean-up of its own bookkeeping may have met the full disk.
            if (log[0] == "OK Gearvane")
                EXPECT_EQ(handheldView().tables, clean.at(syncType).tables) << name;
            else
                EXPECT_EQ(log[0].rfind("ERROR (Gearvane): ", 0), 0u) << name << ": " << log[0];
            expectLikeACleanRun(syncType, name);
        }
        std::printf("sync type %d: the disk filled up at %d of its %d writes\n", syncType, moments, writes);
    }
}

// A handheld that cannot be written (read-only, or full) stops the HotSync
// before a table changes on either side.
TEST_F(CrashSafety, AHandheldThatCannotBeWrittenChangesNeitherSide)
{
    for (int err : {EROFS, ENOSPC}) {
        cleanView(0);
        use(copyOfPristine("handheld-" + std::to_string(err)));
        std::map<std::string, std::vector<unsigned char>> tablesBefore;
        for (const char *table : {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"})
            tablesBefore[table] = gvtest::readFileBytes(tableFile(table));
        {
            gvtest::SystemCallTrace trace;
            trace.failPath(gvtest::Call::Write, handheldDir.string() + "/", err);
            auto log = runHotSync(0);
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].rfind("ERROR (Gearvane): syncStandard: ", 0), 0u) << log[0];
        }
        for (const auto &[table, bytes] : tablesBefore)
            EXPECT_EQ(gvtest::readFileBytes(tableFile(table)), bytes) << table << ": a new row must not be marked synced";
        expectLikeACleanRun(0, "after the handheld could be written again");
    }
}

// Another program holds a write lock on a table: the HotSync waits for it,
// then fails that table; the tables before it are done on both sides, their
// id pairs wait in the tables, and the next HotSync renumbers and finishes.
TEST_F(CrashSafety, ALockedTableLosesNoRenumbering)
{
    for (std::int32_t syncType : syncTypes) {
        cleanView(syncType);
        use(copyOfPristine("locked-" + std::to_string(syncType)));
        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open(tableFile("VEHICLE").c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const auto vehicleBefore = gvtest::readFileBytes(tableFile("VEHICLE"));
        const auto handheldBefore = gvtest::readFileBytes(databaseFile(kVehicleDB));
        auto log = runHotSync(syncType);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].rfind("ERROR (Gearvane): syncStandard: openDesktopDatabase: ", 0), 0u) << log[0];
        EXPECT_NE(log[0].find("lock"), std::string::npos) << log[0];
        EXPECT_EQ(gvtest::readFileBytes(tableFile("VEHICLE")), vehicleBefore);
        EXPECT_EQ(gvtest::readFileBytes(databaseFile(kVehicleDB)), handheldBefore);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        expectLikeACleanRun(syncType, "after the lock is gone");
    }
}

// A record that cannot be read stops its table: the table stays as it was
// on both sides (handheld overwriting the desktop no longer empties the
// desktop table first), the table before it keeps its work, and the
// HotSync after the record is mended finishes.
TEST_F(CrashSafety, AnUnreadableRecordLeavesItsTableWhole)
{
    for (std::int32_t syncType : {0, 2}) {
        cleanView(syncType);
        use(copyOfPristine("unreadable-" + std::to_string(syncType)));
        auto grades = records(kOilGradeDB);
        const auto good = grades.front();
        grades.front().data = oilGradeBytes({12, -5, "5W30", ""}); // no amount has a negative fraction
        setRecords(kOilGradeDB, grades);
        const auto tableBefore = rows("OILGRADE");
        const auto handheldBefore = gvtest::readFileBytes(databaseFile(kOilGradeDB));
        auto log = runHotSync(syncType);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].rfind("ERROR (Gearvane): syncStandard: syncLocalFromRemote: ", 0), 0u) << log[0];
        EXPECT_NE(log[0].find("(OilGradeDB-KLXC record " + std::to_string(good.uniqueId) + ")"), std::string::npos)
            << log[0];
        EXPECT_EQ(rows("OILGRADE"), tableBefore);
        EXPECT_EQ(gvtest::readFileBytes(databaseFile(kOilGradeDB)), handheldBefore);
        EXPECT_TRUE(rowWithDbid("MAIN", 200)) << "the table before it keeps its work";
        grades.front() = good;
        setRecords(kOilGradeDB, grades);
        expectLikeACleanRun(syncType, "after the record is mended");
    }
}

} // namespace
