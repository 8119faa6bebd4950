// hotsync export | report: the Gearvane desktop tables as users read them

#include "CommandTable.h"
#include "DesktopTables.h"
#include "TableExport.h"
#include "VehicleReport.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace hotsynctool {

using namespace hotsync;

namespace {

std::string tableArgument(const std::string &given)
{
    std::string name;
    for (char c : given)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto &all = gearvaneTables();
    if (std::find(all.begin(), all.end(), name) == all.end())
        throw UsageError("unknown table \"" + given + "\": give MAIN, OILGRADE, SUPPLIER or VEHICLE");
    return name;
}

int exportTables(Invocation &inv)
{
    const std::string format = inv.args.value("format").value_or("json");
    if (format != "csv" && format != "json")
        throw UsageError("unknown format \"" + format + "\": give csv or json");
    std::vector<std::string> names = gearvaneTables();
    if (auto t = inv.args.value("table"))
        names = {tableArgument(*t)};
    else if (format == "csv")
        throw UsageError("--format csv writes one table: give --table MAIN, OILGRADE, SUPPLIER or VEHICLE");
    const User user = selectUser(inv.hostRoot(), inv.args);
    const DesktopTables tables = DesktopTables::of(inv.hostRoot(), user);

    std::vector<DesktopRows> exported;
    for (const auto &name : names)
        exported.push_back(exportedTable(tables, name));
    if (format == "csv")
        writeCsv(inv.out, exported.front());
    else
        writeJson(inv.out, exported);
    return exitSuccess;
}

int report(Invocation &inv)
{
    const User user = selectUser(inv.hostRoot(), inv.args);
    const DesktopTables tables = DesktopTables::of(inv.hostRoot(), user);
    const DesktopRows entries = tables.read("MAIN");
    const DesktopRows vehicles = tables.readIfPresent("VEHICLE");
    printVehicleReport(inv.out, summariseVehicles(vehicles, entries));
    return exitSuccess;
}

} // namespace

std::vector<CommandEntry> tableCommands()
{
    auto exportOptions = userOptions();
    exportOptions.insert(exportOptions.end(),
                         {{"table", "TABLE", "only this table: MAIN, OILGRADE, SUPPLIER or VEHICLE"},
                          {"format", "FORMAT", "json (default) or csv; csv writes one table"}});
    return {
        {"export",
         "Write a user's Gearvane tables as CSV or JSON",
         "export (--user NAME | --user-id ID) [--table TABLE] [--format csv|json]",
         "Writes the user's Gearvane desktop tables to standard output, read-only: the oil grades (OILGRADE), "
         "suppliers (SUPPLIER), vehicles (VEHICLE) and the service and expense log (MAIN). Rows marked deleted "
         "are left out, and so are the columns the HotSync keeps for itself (InternalID, Modified, Synced, "
         "Deleted, UserName). Each reference is followed by the name it stands for: OilGrade after a vehicle's "
         "OilGradeId, Vehicle after an entry's VehicleId, Supplier after its VendorId; empty when it names no "
         "row. DBID is the record's id on the handheld, by which the references name rows.\n\n"
         "JSON (the default) is one object holding each table's rows as objects; CSV holds one table, so it "
         "needs --table. Dates are written YYYY-MM-DD.",
         exportOptions,
         {},
         "hotsync export --user \"Pat Driver\" --table MAIN --format csv > log.csv",
         RootUse::Existing,
         exportTables},
        {"report",
         "Sum up a user's vehicle log",
         "report (--user NAME | --user-id ID)",
         "Prints, for each vehicle of the user's Gearvane tables: its log entries and their dates, the distance "
         "covered (from the lowest to the highest odometer reading), the fuel bought, the running costs, the "
         "cost per distance, the fuel economy between full fill-ups, and the other entries by type with their "
         "costs. Rows marked deleted do not count.\n\n"
         "Entries of type FU are fuel purchases: Qty is the fuel, TotalCost what it cost. Other types are "
         "services and expenses. An entry with mileage 0 has no odometer reading and counts for neither distance "
         "nor fuel economy. The log does not mark partial fill-ups, so every fuel purchase counts as a full "
         "fill-up: the fuel economy is the distance from the first to the last fill-up over the fuel bought at "
         "the fill-ups after the first. Distances are in the odometer's unit and fuel in the unit of Qty (miles "
         "and gallons give miles per gallon).",
         userOptions(),
         {},
         "hotsync report --user \"Pat Driver\"",
         RootUse::Existing,
         report},
    };
}

} // namespace hotsynctool
