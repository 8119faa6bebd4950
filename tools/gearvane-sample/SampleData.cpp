#include "SampleData.h"

#include "com/ClassTable.h"
#include "com/ComError.h"
#include "conduit/ToDoMainObject.h"
#include "conduit/ToDoOilGradeObject.h"
#include "conduit/ToDoSupplierObject.h"
#include "conduit/ToDoVehicleObject.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <random>
#include <string>
#include <vector>

namespace sample {

using namespace conduit;
using com::ComPtr;

namespace {

constexpr std::int32_t AttrNewOnHandheld = 0x40;

const char *const gradeNames[] = {"5W-20", "5W-30", "10W-30", "10W-40", "15W-40", "0W-20", "5W-40", "20W-50"};
const char *const supplierNames[] = {"Quick Lube", "Main St Shell", "Costco Fuel", "Midas Muffler", "Tire Barn",
                                     "Dealer Svc",  "Hi-Way Exxon",  "Auto Zone",   "Sunoco 12th", "Pep Boys"};
const char *const makes[] = {"Toyota", "Honda", "Ford", "Subaru", "Mazda", "Volvo", "Chevrolet", "Nissan"};
const char *const models[] = {"Corolla", "Civic", "F-150", "Outback", "Miata", "V70 Wagon", "Silverado", "Sentra"};
const char *const tires[] = {"195/65R15", "205/55R16", "265/70R17", "225/60R17", "205/45R17", "215/55R16"};

struct Database {
    ComPtr<palmsync::IPDRecordAdapter> adapter;
};

ComPtr<palmsync::IPDRecordAdapter> openDatabase(palmsync::IPDDatabaseQuery *query, const std::string &name)
{
    ComPtr<palmsync::IPDRecordAdapter> adapter;
    com::check(query->OpenRecordDatabase(name, "PDDirect.PDRecordAdapter", palmsync::eDbRead | palmsync::eDbWrite,
                                         reinterpret_cast<palmsync::IPDRecordAdapter **>(adapter.put())));
    return adapter;
}

std::string numbered(const char *base, int i, int count, std::size_t width)
{
    std::string name = base;
    if (i >= count)
        name += " " + std::to_string(i / count + 1);
    if (name.size() > width)
        name = name.substr(name.size() - width);
    return name;
}

} // namespace

SampleCounts writeSampleHandheld(const std::filesystem::path &handheldFolder, const SampleOptions &options)
{
    palmsync::HandheldFolder folder(handheldFolder);
    for (const char *name : {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC", "MainDB-KLXC"})
        folder.createRecordDatabase(name, "KLXC", "DATA");

    palmsync::HotSyncSession session({"sample", handheldFolder.string(), 0, handheldFolder});
    SampleCounts counts;
    {
        auto query = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
        auto utility = com::createInstance<palmsync::IPDUtility>(palmsync::IPDUtility::clsid);
        std::mt19937 rng(options.seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        auto money = [&](int lowCents, int highCents) {
            return (lowCents + pick(highCents - lowCents + 1)) / 100.0;
        };

        std::vector<std::int32_t> gradeIds, supplierIds, vehicleIds;
        {
            auto db = openDatabase(query.get(), "OilGradeDB-KLXC");
            for (int i = 0; i < options.oilGrades; ++i) {
                TToDoOilGradeObject grade("sample");
                grade.Rec.Name = numbered(gradeNames[i % std::size(gradeNames)], i, std::size(gradeNames), 10);
                grade.ItemCost = money(399, 1299);
                grade.Rec.ItemCost = FloatToDecimalPair(grade.ItemCost);
                grade.Rec.Notes = i % 2 ? "Synthetic blend" : "Conventional";
                grade.writeToRemote(db.get(), utility.get(), AttrNewOnHandheld);
                gradeIds.push_back(grade.RecordId);
            }
        }
        {
            auto db = openDatabase(query.get(), "SupplierDB-KLXC");
            for (int i = 0; i < options.suppliers; ++i) {
                TToDoSupplierObject supplier("sample");
                supplier.Rec.Name =
                    numbered(supplierNames[i % std::size(supplierNames)], i, std::size(supplierNames), 15);
                supplier.Rec.Notes = "Open " + std::to_string(7 + pick(3)) + " to " + std::to_string(17 + pick(5));
                supplier.writeToRemote(db.get(), utility.get(), AttrNewOnHandheld);
                supplierIds.push_back(supplier.RecordId);
            }
        }
        {
            auto db = openDatabase(query.get(), "VehicleDB-KLXC");
            for (int i = 0; i < options.vehicles; ++i) {
                TToDoVehicleObject vehicle("sample");
                int m = pick(std::size(makes));
                vehicle.Rec.Make = makes[m];
                vehicle.Rec.Model = models[m];
                vehicle.Rec.Name = numbered((std::string("My ") + makes[m]).c_str(), i, 1000000, 15);
                vehicle.Rec.ModelYear = 1990 + pick(14);
                vehicle.Rec.MilesPerYear = 8000 + 500 * pick(20);
                vehicle.Rec.TireSize = tires[pick(std::size(tires))];
                vehicle.Rec.OilGradeId = gradeIds.empty() ? 0 : gradeIds[pick(static_cast<int>(gradeIds.size()))];
                vehicle.Rec.Notes = "Bought used";
                vehicle.writeToRemote(db.get(), utility.get(), AttrNewOnHandheld);
                vehicleIds.push_back(vehicle.RecordId);
            }
        }
        {
            auto db = openDatabase(query.get(), "MainDB-KLXC");
            std::vector<int> mileage(vehicleIds.size(), 0);
            for (auto &m : mileage)
                m = 20000 + pick(60000);
            TDateTime day = EncodeDate(2001, 1, 2);
            for (int i = 0; i < options.entries && !vehicleIds.empty(); ++i) {
                TToDoMainObject entry("sample");
                int v = pick(static_cast<int>(vehicleIds.size()));
                mileage[v] += 150 + pick(400);
                entry.Rec.VehicleId = vehicleIds[v];
                entry.Rec.Mileage = mileage[v];
                bool fuel = pick(5) != 0;
                entry.Rec.Type = fuel ? "FU" : "SV";
                day += pick(3);
                entry.setTranDate(day + (7 + pick(12)) / 24.0);
                if (fuel) {
                    entry.setQty(8 + pick(9) + (100 + pick(900)) / 1000.0);
                    entry.setTotalCost(money(1500, 6500));
                    entry.Rec.FuelGradeId = 1 + pick(3);
                    entry.Rec.Notes = "Fill-up";
                } else {
                    entry.setQty(1);
                    entry.setTotalCost(money(2500, 45000));
                    entry.Rec.Notes = "Oil change and rotation";
                }
                entry.Rec.VendorId =
                    supplierIds.empty() ? 0 : supplierIds[pick(static_cast<int>(supplierIds.size()))];
                entry.writeToRemote(db.get(), utility.get(), AttrNewOnHandheld);
                ++counts.entries;
            }
        }
        counts.oilGrades = static_cast<int>(gradeIds.size());
        counts.suppliers = static_cast<int>(supplierIds.size());
        counts.vehicles = static_cast<int>(vehicleIds.size());
    }
    session.end();
    return counts;
}

} // namespace sample
