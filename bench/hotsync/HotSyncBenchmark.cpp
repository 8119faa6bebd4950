// HotSyncs of a large generated handheld as a user runs them: the hotsync
// program started for each one (process start, loading the conduit, the
// backup, the HotSync, the log). The first two-way HotSync into empty
// tables, a second one with nothing changed, one with 1% of the records
// changed on each side, desktop overwrites handheld, and handheld overwrites
// desktop. Each round times the floor (reading and rewriting the same
// handheld files and inserting the same number of rows into SQLite, one
// transaction per table) right before the case, and the case's ratio to
// that floor is reported (the mean of the rounds' ratios), so that the
// machine's state at the time weighs on both alike.
//
// GV_BENCH_BIN names the folder of the programs under test (hotsync,
// gearvane-sample, Tarnlink.so): by default those built beside this one.
#include "SampleData.h"
#include "com/ComPtr.h"
#include "conduit/DesktopSchema.h"
#include "conduit/KLXClientNotify.h"
#include "conduit/ToDoMainObject.h"
#include "desktopdb/Table.h"
#include "VirtualHandheld.h"
#include "palmlink/DeviceHandheld.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/TcpStream.h"
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
#include <thread>
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

fs::path programs()
{
    const char *bin = std::getenv("GV_BENCH_BIN");
    if (bin && *bin)
        return fs::absolute(bin);
    return fs::canonical("/proc/self/exe").parent_path();
}

// Runs a program of the folder under test with HOTSYNC_ROOT set; raises
// when it fails.
void runProgram(const fs::path &root, const std::vector<std::string> &args)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("HOTSYNC_ROOT", root.c_str(), 1);
        if (std::freopen("/dev/null", "w", stdout) == nullptr)
            _exit(127);
        std::vector<char *> argv;
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command;
        for (const auto &a : args)
            command += " " + a;
        throw std::runtime_error("failed (" + std::to_string(status) + "):" + command);
    }
}

// One HotSync of a handheld folder through the conduit, inside this program.
void runFolderHotSync(const Sides &s, int syncType)
{
    std::string line;
    {
        palmsync::HotSyncSession session({User, s.desktop.string(), syncType, s.handheld});
        {
            com::ComPtr<TKLXGVClientNotify> notify(new TKLXGVClientNotify);
            std::int16_t result = 0;
            notify->BeginProcess(&result);
        }
        session.end();
        auto lines = session.logLines();
        line = lines.empty() ? std::string() : lines.back();
    }
    if (line != "OK Gearvane")
        throw std::runtime_error("HotSync failed: " + line);
}

// The same HotSync with the handheld folder served by the virtual handheld
// over loopback Net Sync: the device side runs in a thread of the same
// process (it decodes, answers and writes its files as a device would).
// Returns the desktop's requests (round trips).
std::size_t runHotSyncOverNetSync(const Sides &s, int syncType)
{
    using namespace palmlink;
    const milliseconds timeout(60000);
    TcpListener listener("127.0.0.1", 0);
    std::thread device([&, port = listener.port()] {
        virtualhandheld::VirtualHandheld handheld(s.handheld);
        try {
            auto stream = TcpStream::connect("127.0.0.1", port, timeout);
            NetSyncLink link(*stream);
            link.openHandshake(timeout);
            serveDlp(link, handheld, timeout);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "bench_hotsync: the virtual handheld failed: %s\n", e.what());
        }
        handheld.closeAll();
    });
    auto stream = listener.accept(deadlineIn(timeout));
    NetSyncLink link(*stream);
    link.acceptHandshake(timeout);
    DlpClient client(link, timeout);
    auto handheld = std::make_shared<DeviceHandheld>(client, "the virtual handheld");
    std::string line;
    {
        palmsync::HotSyncSession session({User, s.desktop.string(), syncType, {}}, handheld);
        {
            com::ComPtr<TKLXGVClientNotify> notify(new TKLXGVClientNotify);
            std::int16_t result = 0;
            notify->BeginProcess(&result);
        }
        session.end();
        auto lines = session.logLines();
        line = lines.empty() ? std::string() : lines.back();
    }
    handheld->closeAll();
    client.endOfSync();
    device.join();
    if (line != "OK Gearvane")
        throw std::runtime_error("HotSync over Net Sync failed: " + line);
    return client.roundTrips();
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

// The HotSync host of a scenario: one user whose desktop tables live in
// <root>/work/user/gearvane, and the conduit registered as a user installs
// it. A HotSync works on <root>/work: its handheld and the user's folder.
fs::path hostRoot(const Scenario &sc) { return sc.root / "host"; }
Sides workSides(const Scenario &sc) { return {sc.root / "work/handheld", sc.root / "work/user/gearvane"}; }

void putInPlace(const Scenario &sc, const char *state)
{
    copySides(sc.root / state / "handheld", sc.root / "work/handheld");
    copySides(sc.root / state / "desktop", sc.root / "work/user/gearvane");
}

void keepAs(const Scenario &sc, const char *state)
{
    copySides(sc.root / "work/handheld", sc.root / state / "handheld");
    copySides(sc.root / "work/user/gearvane", sc.root / state / "desktop");
}

void hotsync(const Scenario &sc, const std::vector<std::string> &args)
{
    std::vector<std::string> all{(programs() / "hotsync").string()};
    all.insert(all.end(), args.begin(), args.end());
    runProgram(hostRoot(sc), all);
}

void syncWork(const Scenario &sc, const char *action)
{
    hotsync(sc, {"sync", "--user", User, "--handheld", workSides(sc).handheld.string(), "--action", action});
}

Scenario &scenario(int entries)
{
    auto it = scenarios.find(entries);
    if (it != scenarios.end())
        return it->second;
    Scenario sc;
    sc.root = benchRoot() / ("entries-" + std::to_string(entries));
    fs::remove_all(sc.root);
    fs::create_directories(sc.root / "fresh/handheld");
    fs::create_directories(sc.root / "fresh/desktop");
    runProgram(hostRoot(sc), {(programs() / "gearvane-sample").string(), (sc.root / "fresh/handheld").string(),
                              "--oil-grades", "100", "--suppliers", "1000", "--vehicles", "1000", "--entries",
                              std::to_string(entries)});
    hotsync(sc, {"users", "add", User, "--directory", (sc.root / "work/user").string()});
    hotsync(sc, {"register", (programs() / "Tarnlink.so").string()});
    hotsync(sc, {"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client",
                 "Tarnlink.KLXGVClientNotify", "--directory", "gearvane"});
    // The states the cases start from, made by the programs under test.
    putInPlace(sc, "fresh");
    syncWork(sc, "synchronize");
    keepAs(sc, "synced");
    inChild([&] {
        changeOnePercent(workSides(sc));
        return 0.0;
    });
    keepAs(sc, "changed");
    for (const char *name : Databases)
        sc.records += static_cast<int>(
            palmsync::PalmDatabase::load(sc.root / "fresh/handheld" / (std::string(name) + ".pdb")).records.size());
    return scenarios.emplace(entries, sc).first->second;
}

void report(benchmark::State &state, const Scenario &sc, double seconds, long peakKiB)
{
    state.counters["records"] = sc.records;
    state.counters["records_per_s"] = benchmark::Counter(sc.records / seconds);
    state.counters["peak_MiB"] = peakKiB / 1024.0;
}

// The floor: load and rewrite the four handheld files, and insert as many
// rows as each database has records into its desktop table (created from
// the same statements, so with the same columns and indexes), each table in
// one transaction.
double floorWork(const Scenario &sc, const fs::path &work)
{
    copySides(sc.root / "fresh", work);
    Sides s = sidesIn(work);
    return timed([&] {
        for (std::size_t t = 0; t < std::size(Databases); ++t) {
            auto file = s.handheld / (std::string(Databases[t]) + ".pdb");
            auto pdb = palmsync::PalmDatabase::load(file);
            const int rows = static_cast<int>(pdb.records.size());
            pdb.touch(std::time(nullptr));
            pdb.save(file);

            desktopdb::SqlQuery query;
            query.setDatabaseName(s.desktop.string());
            const TableSchema *schema = schemaForHandheldDatabase(Databases[t]);
            for (const Statement *statement = &schema->createTable; statement;) {
                query.clear();
                for (const auto &line : *statement)
                    query.add(line);
                query.execSql();
                statement = nullptr;
            }
            for (const auto &index : schema->createIndexes) {
                query.clear();
                for (const auto &line : index)
                    query.add(line);
                query.execSql();
            }
            query.close();

            sqlite3 *db = nullptr;
            sqlite3_open((s.desktop / (schema->tableName + ".db")).c_str(), &db);
            // Every column but the key, with a value of its type.
            std::vector<std::string> columns, types;
            sqlite3_stmt *info = nullptr;
            sqlite3_prepare_v2(db, ("PRAGMA table_info(" + schema->tableName + ")").c_str(), -1, &info, nullptr);
            while (sqlite3_step(info) == SQLITE_ROW) {
                std::string name = reinterpret_cast<const char *>(sqlite3_column_text(info, 1));
                if (name != "InternalID") {
                    columns.push_back(name);
                    types.push_back(reinterpret_cast<const char *>(sqlite3_column_text(info, 2)));
                }
            }
            sqlite3_finalize(info);
            std::string sql = "INSERT INTO " + schema->tableName + " (";
            for (std::size_t c = 0; c < columns.size(); ++c)
                sql += (c ? ", " : "") + columns[c];
            sql += ") VALUES (";
            for (std::size_t c = 0; c < columns.size(); ++c)
                sql += c ? ", ?" : "?";
            sql += ")";
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_stmt *insert = nullptr;
            sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr);
            for (int i = 0; i < rows; ++i) {
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    const std::string &type = types[c];
                    const int p = static_cast<int>(c) + 1;
                    if (type.rfind("VARCHAR", 0) == 0)
                        sqlite3_bind_text(insert, p, c == 4 ? User.c_str() : "Fill-up", -1, SQLITE_STATIC);
                    else if (type == "DATE")
                        sqlite3_bind_text(insert, p, "2003-04-05", -1, SQLITE_STATIC);
                    else if (type.find("MONEY") != std::string::npos || type == "FLOAT")
                        sqlite3_bind_double(insert, p, 25.5);
                    else
                        sqlite3_bind_int(insert, p, i + 1);
                }
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
    });
}

void BM_Floor(benchmark::State &state)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        auto r = inChild([&] { return floorWork(sc, sc.root / "floor"); });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    report(state, sc, total / n, peak);
}

// One round: the floor, then the case as the hotsync program.
void runCase(benchmark::State &state, const char *source, const char *action)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0, ratios = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double floor = inChild([&] { return floorWork(sc, sc.root / "floor"); }).seconds;
        putInPlace(sc, source);
        state.ResumeTiming();
        auto r = inChild([&] { return timed([&] { syncWork(sc, action); }); });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        ratios += r.seconds / floor;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    report(state, sc, total / n, peak);
    state.counters["x_floor"] = ratios / n;
}

void BM_A_FirstTwoWay(benchmark::State &state) { runCase(state, "fresh", "synchronize"); }
void BM_B_NothingChanged(benchmark::State &state) { runCase(state, "synced", "synchronize"); }
void BM_C_OnePercentChanged(benchmark::State &state) { runCase(state, "changed", "synchronize"); }
void BM_D_DesktopOverwrites(benchmark::State &state) { runCase(state, "synced", "desktop-overwrites"); }
void BM_E_HandheldOverwrites(benchmark::State &state) { runCase(state, "synced", "handheld-overwrites"); }

// The HotSync over loopback Net Sync, and the same HotSync of the folder,
// both inside this program (without the hotsync program's start, backup and
// log), so that the two differ only by the link; the first also reports the
// round trips per handheld record.
void runNetSyncCase(benchmark::State &state, const char *source, int syncType)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        auto r = inChild([&] {
            copySides(sc.root / source, sc.root / "work-link");
            Sides s = sidesIn(sc.root / "work-link");
            std::size_t trips = 0;
            double seconds = timed([&] { trips = runHotSyncOverNetSync(s, syncType); });
            std::FILE *f = std::fopen((sc.root / "round-trips").c_str(), "w");
            if (f) {
                std::fprintf(f, "%zu\n", trips);
                std::fclose(f);
            }
            return seconds;
        });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    report(state, sc, total / n, peak);
    std::size_t trips = 0;
    if (std::FILE *f = std::fopen((sc.root / "round-trips").c_str(), "r")) {
        if (std::fscanf(f, "%zu", &trips) != 1)
            trips = 0;
        std::fclose(f);
    }
    state.counters["round_trips"] = static_cast<double>(trips);
    state.counters["trips_per_record"] = static_cast<double>(trips) / sc.records;
}

void runFolderCase(benchmark::State &state, const char *source, int syncType)
{
    Scenario &sc = scenario(static_cast<int>(state.range(0)));
    double total = 0;
    long peak = 0;
    int n = 0;
    for (auto _ : state) {
        auto r = inChild([&] {
            copySides(sc.root / source, sc.root / "work-link");
            Sides s = sidesIn(sc.root / "work-link");
            return timed([&] { runFolderHotSync(s, syncType); });
        });
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
        ++n;
    }
    report(state, sc, total / n, peak);
}

void BM_A_FirstTwoWay_Folder(benchmark::State &state) { runFolderCase(state, "fresh", 0); }
void BM_B_NothingChanged_Folder(benchmark::State &state) { runFolderCase(state, "synced", 0); }
void BM_C_OnePercentChanged_Folder(benchmark::State &state) { runFolderCase(state, "changed", 0); }
void BM_A_FirstTwoWay_NetSync(benchmark::State &state) { runNetSyncCase(state, "fresh", 0); }
void BM_B_NothingChanged_NetSync(benchmark::State &state) { runNetSyncCase(state, "synced", 0); }
void BM_C_OnePercentChanged_NetSync(benchmark::State &state) { runNetSyncCase(state, "changed", 0); }

// A Palm database holds at most 65,535 records, so the largest log is 60,000
// entries.
#define GV_SIZES ->Arg(10000)->Arg(60000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)
BENCHMARK(BM_Floor) GV_SIZES;
BENCHMARK(BM_A_FirstTwoWay) GV_SIZES;
BENCHMARK(BM_B_NothingChanged) GV_SIZES;
BENCHMARK(BM_C_OnePercentChanged) GV_SIZES;
BENCHMARK(BM_D_DesktopOverwrites) GV_SIZES;
BENCHMARK(BM_E_HandheldOverwrites) GV_SIZES;
// Over loopback Net Sync with the virtual handheld, beside the same
// HotSync of the folder: 10,000 entries.
#define GV_LINK_SIZES ->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)
BENCHMARK(BM_A_FirstTwoWay_Folder) GV_LINK_SIZES;
BENCHMARK(BM_B_NothingChanged_Folder) GV_LINK_SIZES;
BENCHMARK(BM_C_OnePercentChanged_Folder) GV_LINK_SIZES;
BENCHMARK(BM_A_FirstTwoWay_NetSync) GV_LINK_SIZES;
BENCHMARK(BM_B_NothingChanged_NetSync) GV_LINK_SIZES;
BENCHMARK(BM_C_OnePercentChanged_NetSync) GV_LINK_SIZES;

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
