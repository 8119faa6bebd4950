#include "VehicleReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <ostream>

namespace hotsynctool {

namespace {

struct Entry {
    std::int64_t mileage = 0;
    std::string date;
    std::string type;
    double cost = 0;
    double qty = 0;
};

std::string trimmedUpper(const std::string &text)
{
    std::string t;
    for (char c : text) {
        if (c != ' ')
            t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return t;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// At most three decimals, without trailing zeros: 112, 10.5, 40.123.
std::string quantity(double value)
{
    std::string text = fixed(value, 3);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

VehicleSummary summarise(VehicleSummary s, std::vector<Entry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.mileage != b.mileage ? a.mileage < b.mileage : a.date < b.date;
    });
    std::map<std::string, TypeTotal> others;
    std::vector<const Entry *> fillUps;
    for (const auto &e : entries) {
        ++s.entries;
        s.totalCost += e.cost;
        if (!e.date.empty() && (s.firstDate.empty() || e.date < s.firstDate))
            s.firstDate = e.date;
        if (!e.date.empty() && e.date > s.lastDate)
            s.lastDate = e.date;
        if (e.mileage > 0) {
            s.fromMileage = std::min(s.fromMileage.value_or(e.mileage), e.mileage);
            s.toMileage = std::max(s.toMileage.value_or(e.mileage), e.mileage);
        }
        if (trimmedUpper(e.type) == fuelType) {
            ++s.fillUps;
            s.fuel += e.qty;
            s.fuelCost += e.cost;
            if (e.mileage > 0)
                fillUps.push_back(&e);
        } else {
            const std::string type = e.type.empty() ? "(none)" : e.type;
            TypeTotal &t = others[type];
            t.type = type;
            ++t.entries;
            t.cost += e.cost;
        }
    }
    if (fillUps.size() >= 2) {
        s.economyFillUps = static_cast<int>(fillUps.size());
        s.economyDistance = fillUps.back()->mileage - fillUps.front()->mileage;
        for (std::size_t i = 1; i < fillUps.size(); ++i)
            s.economyFuel += fillUps[i]->qty;
    }
    for (auto &[type, total] : others)
        s.otherTypes.push_back(total);
    return s;
}

} // namespace

std::optional<std::int64_t> VehicleSummary::distance() const
{
    if (!fromMileage || *toMileage == *fromMileage)
        return std::nullopt;
    return *toMileage - *fromMileage;
}

std::optional<double> VehicleSummary::costPerDistance() const
{
    auto d = distance();
    if (!d)
        return std::nullopt;
    return totalCost / static_cast<double>(*d);
}

std::optional<double> VehicleSummary::economy() const
{
    if (economyDistance <= 0 || economyFuel <= 0)
        return std::nullopt;
    return static_cast<double>(economyDistance) / economyFuel;
}

std::vector<VehicleSummary> summariseVehicles(const DesktopRows &vehicles, const DesktopRows &entries)
{
    std::map<std::int64_t, std::vector<Entry>> byVehicle;
    if (!entries.columns.empty()) {
        const std::size_t vehicle = entries.column("VehicleId"), mileage = entries.column("Mileage"),
                          type = entries.column("Type"), date = entries.column("TranDate"),
                          cost = entries.column("TotalCost"), qty = entries.column("Qty");
        for (const auto &row : entries.rows)
            byVehicle[asInteger(row[vehicle])].push_back({asInteger(row[mileage]), asText(row[date]), asText(row[type]),
                                                          asNumber(row[cost]), asNumber(row[qty])});
    }

    std::vector<VehicleSummary> result;
    if (!vehicles.columns.empty()) {
        const std::size_t id = vehicles.column("DBID"), name = vehicles.column("Name"), make = vehicles.column("Make"),
                          model = vehicles.column("Model"), year = vehicles.column("ModelYear");
        for (const auto &row : vehicles.rows) {
            VehicleSummary s;
            const std::int64_t vehicleId = asInteger(row[id]);
            s.name = asText(row[name]);
            if (s.name.empty())
                s.name = "Vehicle " + std::to_string(vehicleId);
            for (const std::string &part :
                 {asText(row[make]), asText(row[model]), asInteger(row[year]) ? asText(row[year]) : std::string()}) {
                if (!part.empty())
                    s.description += (s.description.empty() ? "" : " ") + part;
            }
            std::vector<Entry> own;
            // A vehicle not yet on the handheld (id 0) has no entries that
            // could name it.
            if (vehicleId != 0) {
                if (auto it = byVehicle.find(vehicleId); it != byVehicle.end()) {
                    own = std::move(it->second);
                    byVehicle.erase(it);
                }
            }
            result.push_back(summarise(std::move(s), std::move(own)));
        }
    }
    for (auto &[vehicleId, own] : byVehicle) {
        VehicleSummary s;
        s.name = vehicleId == 0 ? "Entries of no vehicle" : "Vehicle " + std::to_string(vehicleId);
        s.description = vehicleId == 0 ? "" : "not in the VEHICLE table";
        result.push_back(summarise(std::move(s), std::move(own)));
    }
    return result;
}

void printVehicleReport(std::ostream &out, const std::vector<VehicleSummary> &vehicles)
{
    auto label = [&](const char *text) { out << "  " << text << std::string(20 - std::string(text).size(), ' '); };
    bool first = true;
    for (const auto &v : vehicles) {
        if (!first)
            out << "\n";
        first = false;
        out << v.name << (v.description.empty() ? "" : " (" + v.description + ")") << "\n";
        if (v.entries == 0) {
            out << "  No log entries\n";
            continue;
        }
        label("Log entries");
        out << v.entries;
        if (!v.firstDate.empty())
            out << ", " << v.firstDate << " to " << v.lastDate;
        out << "\n";
        label("Distance covered");
        if (auto d = v.distance())
            out << *d << " (odometer " << *v.fromMileage << " to " << *v.toMileage << ")\n";
        else
            out << "unknown (fewer than two mileages)\n";
        label("Fuel bought");
        out << quantity(v.fuel) << " in " << v.fillUps << (v.fillUps == 1 ? " fill-up" : " fill-ups") << ", costing "
            << fixed(v.fuelCost, 2) << "\n";
        label("Running costs");
        out << fixed(v.totalCost, 2) << " (fuel " << fixed(v.fuelCost, 2) << ", other entries "
            << fixed(v.totalCost - v.fuelCost, 2) << ")\n";
        label("Cost per distance");
        if (auto c = v.costPerDistance())
            out << fixed(*c, 3) << "\n";
        else
            out << "unknown\n";
        label("Fuel economy");
        if (auto e = v.economy())
            out << fixed(*e, 2) << " distance per unit of fuel (" << v.economyDistance << " over "
                << quantity(v.economyFuel) << " between " << v.economyFillUps << " full fill-ups)\n";
        else
            out << "unknown (fewer than two fill-ups with a mileage)\n";
        if (v.otherTypes.empty())
            continue;
        label("Service by type");
        for (std::size_t i = 0; i < v.otherTypes.size(); ++i) {
            const auto &t = v.otherTypes[i];
            if (i)
                out << std::string(22, ' ');
            out << t.type << ": " << t.entries << (t.entries == 1 ? " entry" : " entries") << ", costing "
                << fixed(t.cost, 2) << "\n";
        }
    }
}

} // namespace hotsynctool
