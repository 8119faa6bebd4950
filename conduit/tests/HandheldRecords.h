#pragma once

// Handheld record bytes built and read byte by byte, most significant byte
// first, so that the tests check the record layouts independently of the
// code that packs them.

#include <cstdint>
#include <string>
#include <vector>

namespace conduittest {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes &b, std::size_t offset, std::int32_t value);
void put16(Bytes &b, std::size_t offset, std::uint16_t value);
// The text's bytes (ASCII in these tests) and one zero byte.
void putText(Bytes &b, std::size_t offset, const std::string &text);
std::int32_t get32(const Bytes &b, std::size_t offset);
std::uint16_t get16(const Bytes &b, std::size_t offset);
// At most width bytes, ending before the first zero byte.
std::string getText(const Bytes &b, std::size_t offset, std::size_t width);
Bytes slice(const Bytes &b, std::size_t offset, std::size_t length);

struct OilGradeRecord {
    std::int32_t whole = 0, fraction = 0;
    std::string name, notes;
};
struct SupplierRecord {
    std::int32_t mainId = 0;
    std::string name, notes, filler;
};
struct VehicleRecord {
    std::int32_t oilGradeId = 0, modelYear = 0, milesPerYear = 0;
    std::string name, filler, make, model, tireSize, notes;
};
struct MainRecord {
    std::int32_t vehicleId = 0, mileage = 0;
    std::string type;
    std::uint16_t date[7] = {0, 0, 0, 1, 1, 2000, 7}; // second, minute, hour, day, month, year, day of week
    std::int32_t costWhole = 0, costFraction = 0, qtyWhole = 0, qtyFraction = 0;
    std::int32_t vendorId = 0, fuelGradeId = 0, miscBits = 0;
    std::string notes, filler;
};

// Records of the full length (132, 148, 212, 268 bytes), zero elsewhere.
Bytes oilGradeBytes(const OilGradeRecord &r);
Bytes supplierBytes(const SupplierRecord &r);
Bytes vehicleBytes(const VehicleRecord &r);
Bytes mainBytes(const MainRecord &r);

OilGradeRecord readOilGrade(const Bytes &b);
SupplierRecord readSupplier(const Bytes &b);
VehicleRecord readVehicle(const Bytes &b);
MainRecord readMain(const Bytes &b); // filler read from offset 156

} // namespace conduittest
