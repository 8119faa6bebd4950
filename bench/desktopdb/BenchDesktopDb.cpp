// A sync visits every row of a table by its row number and locates the row
// of every handheld record. Both passes are measured for tables of 12,500
// to 100,000 rows: the time per pass should double with the rows, and the
// reported complexity come out as O(N).

#include "desktopdb/SqlQuery.h"
#include "desktopdb/Table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

const char *const kUser = "Bench User";

// One folder per table size, filled once and removed at exit.
class Folders {
public:
    ~Folders()
    {
        std::error_code ignored;
        for (const auto &[rows, folder] : folders_)
            fs::remove_all(folder, ignored);
    }

    const std::string &forRows(int rows)
    {
        auto found = folders_.find(rows);
        if (found != folders_.end())
            return found->second;
        std::string pattern = (fs::temp_directory_path() / "gvbench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        fill(pattern, rows);
        return folders_.emplace(rows, pattern).first->second;
    }

private:
    static void fill(const std::string &folder, int rows)
    {
        desktopdb::SqlQuery query;
        query.setDatabaseName(folder);
        for (const char *statement :
             {"CREATE TABLE MAIN (\n  InternalID AUTOINC,\n  DBID INTEGER,\n  Modified BOOLEAN,\n"
              "  Synced BOOLEAN,\n  Deleted BOOLEAN,\n  UserName VARCHAR(20),\n  Mileage INTEGER,\n"
              "  TranDate DATE,\n  TotalCost MONEY,\n  Notes VARCHAR(100),\nPRIMARY KEY (InternalID))",
              "CREATE INDEX DBID ON MAIN (DBID)"}) {
            query.clear();
            query.add(statement);
            query.execSql();
        }
        desktopdb::Table table;
        table.setDatabaseName(folder);
        table.setTableName("MAIN");
        table.open();
        table.beginBatch();
        for (int i = 1; i <= rows; ++i) {
            table.append();
            table.fieldByName("DBID").setAsInteger(i);
            table.fieldByName("UserName").setAsString(kUser);
            table.fieldByName("Synced").setAsBoolean(true);
            table.fieldByName("Mileage").setAsInteger(1000 + i);
            table.fieldByName("TranDate").setAsDateTime(37000 + i % 3000);
            table.fieldByName("TotalCost").setAsFloat(i * 0.25);
            table.fieldByName("Notes").setAsString("service entry");
            table.post();
        }
        table.commitBatch();
    }

    std::map<int, std::string> folders_;
};

Folders &folders()
{
    static Folders instance;
    return instance;
}

void openMain(desktopdb::Table &table, int rows)
{
    table.setDatabaseName(folders().forRows(rows));
    table.setTableName("MAIN");
    table.open();
}

void BM_VisitEveryRowByRecNo(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    desktopdb::Table table;
    openMain(table, rows);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (int recNo = 1; recNo <= rows; ++recNo) {
            table.setRecNo(recNo);
            sum += table.fieldByName("DBID").asInteger() + table.fieldByName("Synced").asBoolean();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetComplexityN(rows);
}

void BM_LocateEveryRow(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    desktopdb::Table table;
    openMain(table, rows);
    const std::string user = kUser;
    for (auto _ : state) {
        int found = 0;
        for (int id = 1; id <= rows; ++id)
            found += table.locate("UserName;DBID", {user, std::int64_t{id}}) ? table.recNo() > 0 : 0;
        if (found != rows)
            state.SkipWithError("a row was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetComplexityN(rows);
}

BENCHMARK(BM_VisitEveryRowByRecNo)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_LocateEveryRow)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
