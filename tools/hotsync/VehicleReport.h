#pragma once

#include "DesktopTables.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace hotsynctool {

// The log entry type of a fuel purchase. The handheld and desktop
// applications give entries two-letter types; "FU" is fuel, every other
// type is a service or another expense.
inline constexpr const char *fuelType = "FU";

struct TypeTotal {
    std::string type;
    int entries = 0;
    double cost = 0;
};

// What a vehicle's log entries add up to. Mileage is the odometer reading;
// an entry with mileage 0 has none and counts for neither distance nor
// economy.
//
// The entries carry no mark of a partial fill-up, so every fuel entry
// counts as a full fill-up: the fuel economy is the distance from the
// first to the last fill-up with a mileage, over the fuel bought at the
// fill-ups after the first (the first fill-up's fuel was burnt before it).
struct VehicleSummary {
    std::string name;
    std::string description; // make, model and model year
    int entries = 0;
    std::string firstDate, lastDate;
    std::optional<std::int64_t> fromMileage, toMileage;
    double totalCost = 0;
    int fillUps = 0;
    double fuel = 0;
    double fuelCost = 0;
    // From the first to the last full fill-up with a mileage.
    int economyFillUps = 0;
    std::int64_t economyDistance = 0;
    double economyFuel = 0;
    std::vector<TypeTotal> otherTypes; // by type, in the order of the types

    std::optional<std::int64_t> distance() const;
    std::optional<double> costPerDistance() const;
    std::optional<double> economy() const;
};

// One summary per vehicle of VEHICLE (in table order), then one per
// vehicle id that entries name but VEHICLE lacks.
std::vector<VehicleSummary> summariseVehicles(const DesktopRows &vehicles, const DesktopRows &entries);
void printVehicleReport(std::ostream &out, const std::vector<VehicleSummary> &vehicles);

} // namespace hotsynctool
