// HotSyncs of a large generated handheld: the first two-way HotSync into
// empty tables, a second one with nothing changed, one with 1% of the
// records changed on each side, desktop overwrites handheld, and handheld
// overwrites desktop; next to a floor that only reads and rewrites the same
// handheld files and inserts the same number of rows into SQLite in one
// transaction. Every run happens in a child process, so that wall time and
// peak memory are those of that run alone.
#include "KLXClientNotify.h"
#include "SampleData.h"
#include "ToDoMainObject.h"
#include "com/ComPtr.h"
#include "desktopdb/Table.h"
#include "palmsync/HotSyncSession.h"
#include "palmsync/PalmDatabase.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace conduit;

namespace {

const char *const Databases[] = {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC", "MainDB-KLXC"};
const char *const Tables[] = {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"};
const std::string User = "Bench Driver";

struct Sides {
    fs::path handheld, desktop;
};

Sides sidesIn(const fs::path &folder) { return {folder / "handheld", folder / "desktop"}; }

void copySides(const fs::path &from, const fs::path &to)
{
    fs::remove_all(to);
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

std::string runHotSync(const Sides &s, int syncType)
{
    palmsync::HotSyncSession session({User, s.desktop.string(), syncType, s.handheld});
    {
        com::ComPtr<TKLXGVClientNotify> notify(new TKLXGVClientNotify);
        std::int16_t result = 0;
        notify->BeginProcess(&result);
    }
    session.end();
    auto lines = session.logLines();
    std::string line = lines.empty() ? std::string() : lines.back();
    if (line != "OK Gearvane")
        throw std::runtime_error("HotSync failed: " + line);
    return line;
}

// Runs `work` in a child; returns the seconds it reports and the child's
// peak resident memory in KiB.
struct ChildResult {
    double seconds = 0;
    long peakKiB = 0;
};

ChildResult inChild(const std::function<double()> &work)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double seconds = -1;
        try {
            seconds = work();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "bench_hotsync: %s\n", e.what());
        }
        (void)!write(fds[1], &seconds, sizeof seconds);
        _exit(seconds < 0 ? 1 : 0);
    }
    close(fds[1]);
    ChildResult r;
    if (read(fds[0], &r.seconds, sizeof r.seconds) != sizeof r.seconds)
        r.seconds = -1;
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    r.peakKiB = usage.ru_maxrss;
    if (r.seconds < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("benchmark child failed");
    return r;
}

double timed(const std::function<void()> &f)
{
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Marks every hundredth record of each handheld database changed, with new
// notes, and every hundredth desktop row Modified, with new notes.
void changeOnePercent(const Sides &s)
{
    for (const char *name : Databases) {
        auto file = s.handheld / (std::string(name) + ".pdb");
        auto db = palmsync::PalmDatabase::load(file);
        for (std::size_t i = 0; i < db.records.size(); i += 100)
            db.records[i].attributes |= 0x40;
        db.save(file);
    }
    for (const char *table : Tables) {
        desktopdb::Table t;
        t.setDatabaseName(s.desktop.string());
        t.setTableName(table);
        t.open();
        t.beginBatch();
        for (int r = 50; r <= t.recordCount(); r += 100) {
            t.setRecNo(r);
            t.edit();
            t.fieldByName("Notes").setAsString("changed on the desktop");
            t.fieldByName("Modified").setAsBoolean(true);
            t.post();
        }
        t.commitBatch();
    }
}

struct Scenario {
    fs::path root;
    int records = 0;
    double floorSeconds = 0;
};

std::map<int, Scenario> scenarios;

fs::path benchRoot()
{
    static fs::path root = [] {
        const char *base = std::getenv("GV_BENCH_DIR");
        fs::path p = base && *base ? fs::path(base) : fs::temp_directory_path() / ("gv-bench-" + std::to_string(getpid()));
        fs::create_directories(p);
        return p;
    }();
    return root;
}

Scenario &scenario(int entries)
{
    auto it = scenarios.find(entries);
    if (it != scenarios.end())
        return it->second;
    Scenario sc;
    sc.root = benchRoot() / ("entries-" + std::to_string(entries));
    fs::remove_all(sc.root);
    // Prepared in children too, so this process stays small.
    inChild([&] {
        Sides fresh = sidesIn(sc.root / "fresh");
        fs::create_directories(fresh.handheld);
        fs::create_directories(fresh.desktop);
        sample::SampleOptions o;
        o.oilGrades = 100;
        o.suppliers = 1000;
        o.vehicles = 1000;
        o.entries = entries;
        sample::writeSampleHandheld(fresh.handheld, o);
        copySides(sc.root / "fresh", sc.root / "synced");
        runHotSync(sidesIn(sc.root / "synced"), 0);
        copySides(sc.root / "synced", sc.root / "changed");
        changeOnePercent(sidesIn(sc.root / "changed"));
        return 0.0;
    });
    for (const char *name : Databases)
        sc.records += static_cast<int>(
            palmsync::PalmDatabase::load(sc.root / "fresh/handheld" / (std::string(name) + ".pdb")).records.size());
    return scenarios.emplace(entries, sc).first->second;
}

void report(benchmark::State &state, const Scenario &sc, double seconds, long peakKiB, bool isFloor)
{
    state.counters["records"] = sc.records;
    state.counters["records_per_s"] = benchmark::Counter(sc.records / seconds);
    state.counters["peak_MiB"] = peakKiB / 1024.0;
    if (!isFloor && sc.floorSeconds > 0)
        state.counters["x_floor"] = seconds / sc.floorSeconds;
}

// The floor: load and rewrite the four handheld files, and insert as many
// rows as there are records into SQLite tables of the same schema in one
// transaction.
double floorWork(const Scenario &sc, const fs::path &work)
{
    copySides(sc.root / "fresh", work);
    Sides s = sidesIn(work);
    return timed([&] {
        int rows = 0;
        for (const char *name : Databases) {
            auto file = s.handheld / (std::string(name) + ".pdb");
            auto db = palmsync::PalmDatabase::load(file);
            rows += static_cast<int>(db.records.size());
            db.touch(std::time(nullptr));
            db.save(file);
        }
        sqlite3 *db = nullptr;
        sqlite3_open((s.desktop / "FLOOR.db").c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE FLOOR (InternalID INTEGER PRIMARY KEY, DBID INTEGER, Modified BOOLEAN, "
                     "Synced BOOLEAN, Deleted BOOLEAN, UserName VARCHAR(20), VehicleId INTEGER, Mileage INTEGER, "
                     "Type VARCHAR(2), TranDate DATE, TotalCost REAL, Qty REAL, VendorId INTEGER, FuelGradeId "
                     "INTEGER, MiscBits INTEGER, Notes VARCHAR(100), Filler VARCHAR(100));"
                     "CREATE INDEX DBID ON FLOOR (DBID);",
                     nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO FLOOR (DBID, Modified, Synced, Deleted, UserName, VehicleId, Mileage, Type, "
                           "TranDate, TotalCost, Qty, VendorId, FuelGradeId, MiscBits, Notes) "
                           "VALUES (?, 0, 1, 0, ?, ?, ?, 'FU', '2003-04-05', 25.5, 10.123, ?, 1, 0, ?)",
                           -1, &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            sqlite3_bind_int(insert, 1, i + 1);
            sqlite3_bind_text(insert, 2, User.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 3, i % 1000);
            sqlite3_bind_int(insert, 4, 20000 + i);
            sqlite3_bind_int(insert, 5, i % 1000);
            sqlite3_bind_text(insert, 6, "Fill-up", -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
}

void BM_Floor(benchmark::State &state)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        auto r = inChild([&] { return floorWork(sc, sc.root / "work"); });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    sc.floorSeconds = total / n;
    report(state, sc, total / n, peak, true);
}

void runCase(benchmark::State &state, const char *source, int syncType)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        auto r = inChild([&] {
            copySides(sc.root / source, sc.root / "work");
            Sides s = sidesIn(sc.root / "work");
            return timed([&] { runHotSync(s, syncType); });
        });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    report(state, sc, total / n, peak, false);
}

void BM_A_FirstTwoWay(benchmark::State &state) { runCase(state, "fresh", 0); }
void BM_B_NothingChanged(benchmark::State &state) { runCase(state, "synced", 0); }
void BM_C_OnePercentChanged(benchmark::State &state) { runCase(state, "changed", 0); }
void BM_D_DesktopOverwrites(benchmark::State &state) { runCase(state, "synced", 3); }
void BM_E_HandheldOverwrites(benchmark::State &state) { runCase(state, "synced", 2); }

// A Palm database holds at most 65,535 records, so the largest log is 60,000
// entries.
#define GV_SIZES ->Arg(10000)->Arg(60000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)
BENCHMARK(BM_Floor) GV_SIZES;
BENCHMARK(BM_A_FirstTwoWay) GV_SIZES;
BENCHMARK(BM_B_NothingChanged) GV_SIZES;
BENCHMARK(BM_C_OnePercentChanged) GV_SIZES;
BENCHMARK(BM_D_DesktopOverwrites) GV_SIZES;
BENCHMARK(BM_E_HandheldOverwrites) GV_SIZES;

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("GV_BENCH_DIR"))
        fs::remove_all(benchRoot());
    return 0;
}
