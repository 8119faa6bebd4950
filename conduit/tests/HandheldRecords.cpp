#include "HandheldRecords.h"

#include <stdexcept>

namespace conduittest {

namespace {
void need(const Bytes &b, std::size_t end)
{
    if (b.size() < end)
        throw std::out_of_range("record of " + std::to_string(b.size()) + " bytes read up to " + std::to_string(end));
}
} // namespace

void put32(Bytes &b, std::size_t offset, std::int32_t value)
{
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b.at(offset + i) = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void put16(Bytes &b, std::size_t offset, std::uint16_t value)
{
    b.at(offset) = static_cast<std::uint8_t>(value >> 8);
    b.at(offset + 1) = static_cast<std::uint8_t>(value);
}

void putText(Bytes &b, std::size_t offset, const std::string &text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        b.at(offset + i) = static_cast<std::uint8_t>(text[i]);
    b.at(offset + text.size()) = 0;
}

std::int32_t get32(const Bytes &b, std::size_t offset)
{
    need(b, offset + 4);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | b[offset + i];
    return static_cast<std::int32_t>(v);
}

std::uint16_t get16(const Bytes &b, std::size_t offset)
{
    need(b, offset + 2);
    return static_cast<std::uint16_t>(b[offset] << 8 | b[offset + 1]);
}

std::string getText(const Bytes &b, std::size_t offset, std::size_t width)
{
    std::string text;
    for (std::size_t i = offset; i < offset + width && i < b.size() && b[i] != 0; ++i)
        text += static_cast<char>(b[i]);
    return text;
}

Bytes slice(const Bytes &b, std::size_t offset, std::size_t length)
{
    need(b, offset + length);
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(offset),
                 b.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes oilGradeBytes(const OilGradeRecord &r)
{
    Bytes b(132, 0);
    put32(b, 4, r.whole);
    put32(b, 8, r.fraction);
    putText(b, 12, r.name);
    putText(b, 22, r.notes);
    return b;
}

Bytes supplierBytes(const SupplierRecord &r)
{
    Bytes b(148, 0);
    put32(b, 4, r.mainId);
    putText(b, 8, r.name);
    putText(b, 23, r.notes);
    putText(b, 123, r.filler);
    return b;
}

Bytes vehicleBytes(const VehicleRecord &r)
{
    Bytes b(212, 0);
    put32(b, 4, r.oilGradeId);
    put32(b, 8, r.modelYear);
    put32(b, 12, r.milesPerYear);
    putText(b, 16, r.name);
    putText(b, 31, r.filler);
    putText(b, 51, r.make);
    putText(b, 61, r.model);
    putText(b, 76, r.tireSize);
    putText(b, 86, r.notes);
    return b;
}

Bytes mainBytes(const MainRecord &r)
{
    Bytes b(268, 0);
    put32(b, 4, r.vehicleId);
    put32(b, 8, r.mileage);
    putText(b, 12, r.type);
    for (int i = 0; i < 7; ++i)
        put16(b, 14 + 2 * i, r.date[i]);
    put32(b, 28, r.costWhole);
    put32(b, 32, r.costFraction);
    put32(b, 36, r.qtyWhole);
    put32(b, 40, r.qtyFraction);
    put32(b, 44, r.vendorId);
    put32(b, 48, r.fuelGradeId);
    put32(b, 52, r.miscBits);
    putText(b, 56, r.notes);
    putText(b, 156, r.filler);
    return b;
}

OilGradeRecord readOilGrade(const Bytes &b)
{
    return {get32(b, 4), get32(b, 8), getText(b, 12, 10), getText(b, 22, 100)};
}

SupplierRecord readSupplier(const Bytes &b)
{
    return {get32(b, 4), getText(b, 8, 15), getText(b, 23, 100), getText(b, 123, 10)};
}

VehicleRecord readVehicle(const Bytes &b)
{
    return {get32(b, 4),        get32(b, 8),        get32(b, 12),       getText(b, 16, 15), getText(b, 31, 20),
            getText(b, 51, 10), getText(b, 61, 15), getText(b, 76, 10), getText(b, 86, 100)};
}

MainRecord readMain(const Bytes &b)
{
    MainRecord r;
    r.vehicleId = get32(b, 4);
    r.mileage = get32(b, 8);
    r.type = getText(b, 12, 2);
    for (int i = 0; i < 7; ++i)
        r.date[i] = get16(b, 14 + 2 * i);
    r.costWhole = get32(b, 28);
    r.costFraction = get32(b, 32);
    r.qtyWhole = get32(b, 36);
    r.qtyFraction = get32(b, 40);
    r.vendorId = get32(b, 44);
    r.fuelGradeId = get32(b, 48);
    r.miscBits = get32(b, 52);
    r.notes = getText(b, 56, 100);
    r.filler = getText(b, 156, 100);
    return r;
}

} // namespace conduittest
