#include "ToDoMainObject.h"

#include <cmath>

namespace conduit {

// Each setter stores the desktop form as the handheld form reads back, so
// the object always holds what the handheld will hold.
void TToDoMainObject::setTranDate(TDateTime value)
{
    THandheldDate date = DateTimeToHandheldDate(value);
    FTranDate = HandheldDateToDateTime(date);
    Rec.TranDate = date;
}

void TToDoMainObject::setQty(double value)
{
    TDecimalPair pair = FloatToDecimalPair(value);
    FQty = DecimalPairToFloat(pair);
    Rec.Qty = pair;
}

void TToDoMainObject::setTotalCost(double value)
{
    TDecimalPair pair = FloatToDecimalPair(value);
    FTotalCost = DecimalPairToFloat(pair);
    Rec.TotalCost = pair;
}

void TToDoMainObject::setHandheldDate(const THandheldDate &date)
{
    FTranDate = HandheldDateToDateTime(date);
    Rec.TranDate = date;
}

void TToDoMainObject::setQtyPair(const TDecimalPair &pair)
{
    FQty = DecimalPairToFloat(pair);
    Rec.Qty = pair;
}

void TToDoMainObject::setTotalCostPair(const TDecimalPair &pair)
{
    FTotalCost = DecimalPairToFloat(pair);
    Rec.TotalCost = pair;
}

void TToDoMainObject::setRecordId(std::int32_t id)
{
    TToDoObject::setRecordId(id);
    Rec.Id = id;
}

void TToDoMainObject::assign(const TToDoObject &source)
{
    TToDoObject::assign(source);
    const auto &src = dynamic_cast<const TToDoMainObject &>(source);
    Rec.Id = src.Rec.Id;
    Rec.VehicleId = src.Rec.VehicleId;
    Rec.Mileage = src.Rec.Mileage;
    setTranDate(src.FTranDate);
    setTotalCost(src.FTotalCost);
    setQty(src.FQty);
    Rec.VendorId = src.Rec.VendorId;
    Rec.FuelGradeId = src.Rec.FuelGradeId;
    Rec.MiscBits = src.Rec.MiscBits;
    Rec.Type = src.Rec.Type;
    Rec.Notes = src.Rec.Notes;
    Rec.Filler = src.Rec.Filler;
}

std::unique_ptr<TToDoObject> TToDoMainObject::clone() const
{
    auto copy = std::make_unique<TToDoMainObject>(UserName);
    copy->assign(*this);
    return copy;
}

bool TToDoMainObject::equals(const TToDoObject &other) const
{
    const auto *o = dynamic_cast<const TToDoMainObject *>(&other);
    if (!o)
        return false;
    const TMainDB &a = Rec, &b = o->Rec;
    return a.Id == b.Id && a.VehicleId == b.VehicleId && a.Mileage == b.Mileage && a.Type == b.Type &&
           FTranDate == o->FTranDate && FTotalCost == o->FTotalCost && FQty == o->FQty && a.VendorId == b.VendorId &&
           a.FuelGradeId == b.FuelGradeId && a.MiscBits == b.MiscBits && a.Notes == b.Notes && a.Filler == b.Filler;
}

void TToDoMainObject::unpackRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = readDWord(utility, 4, Rec.VehicleId);
    readDWord(utility, offset, Rec.Mileage);
    Rec.Type = readText(utility, 12, 2);
    THandheldDate &d = Rec.TranDate;
    offset = 14;
    for (std::uint16_t *word : {&d.Second, &d.Minute, &d.Hour, &d.Day, &d.Month, &d.Year, &d.DayOfWeek})
        offset = readWord(utility, offset, *word);
    offset = readDWord(utility, offset, Rec.TotalCost.Whole);
    offset = readDWord(utility, offset, Rec.TotalCost.Fraction);
    offset = readDWord(utility, offset, Rec.Qty.Whole);
    offset = readDWord(utility, offset, Rec.Qty.Fraction);
    offset = readDWord(utility, offset, Rec.VendorId);
    offset = readDWord(utility, offset, Rec.FuelGradeId);
    readDWord(utility, offset, Rec.MiscBits);
    Rec.Notes = readText(utility, 56, 100);
    // Filler is never read from the handheld.
    FTranDate = HandheldDateToDateTime(Rec.TranDate);
    FQty = DecimalPairToFloat(Rec.Qty);
    FTotalCost = DecimalPairToFloat(Rec.TotalCost);
}

void TToDoMainObject::packRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = writeDWord(utility, 4, Rec.VehicleId);
    writeDWord(utility, offset, Rec.Mileage);
    writeText(utility, 12, Rec.Type);
    const THandheldDate &d = Rec.TranDate;
    offset = 14;
    for (std::uint16_t word : {d.Second, d.Minute, d.Hour, d.Day, d.Month, d.Year, d.DayOfWeek})
        offset = writeWord(utility, offset, word);
    offset = writeDWord(utility, offset, Rec.TotalCost.Whole);
    offset = writeDWord(utility, offset, Rec.TotalCost.Fraction);
    offset = writeDWord(utility, offset, Rec.Qty.Whole);
    offset = writeDWord(utility, offset, Rec.Qty.Fraction);
    offset = writeDWord(utility, offset, Rec.VendorId);
    offset = writeDWord(utility, offset, Rec.FuelGradeId);
    writeDWord(utility, offset, Rec.MiscBits);
    writeText(utility, 56, Rec.Notes);
    writeText(utility, 156, Rec.Filler);
}

void TToDoMainObject::readFromDesktop(desktopdb::Table &dataSet)
{
    TToDoObject::readFromDesktop(dataSet);
    Rec.VehicleId = desktopValue(dataSet, "VehicleId", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.Mileage = desktopValue(dataSet, "Mileage", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.Type = desktopValue(dataSet, "Type", [](desktopdb::Field &f) { return f.asString(); });
    Rec.TranDate =
        desktopValue(dataSet, "TranDate", [](desktopdb::Field &f) { return DateTimeToHandheldDate(f.asDateTime()); });
    Rec.TotalCost =
        desktopValue(dataSet, "TotalCost", [](desktopdb::Field &f) { return FloatToDecimalPair(f.asFloat()); });
    Rec.Qty = desktopValue(dataSet, "Qty", [](desktopdb::Field &f) { return FloatToDecimalPair(f.asFloat()); });
    Rec.VendorId = desktopValue(dataSet, "VendorId", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.FuelGradeId = desktopValue(dataSet, "FuelGradeId", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.MiscBits = desktopValue(dataSet, "MiscBits", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.Notes = desktopValue(dataSet, "Notes", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Filler = desktopValue(dataSet, "Filler", [](desktopdb::Field &f) { return f.asString(); });
    FTranDate = HandheldDateToDateTime(Rec.TranDate);
    FQty = DecimalPairToFloat(Rec.Qty);
    FTotalCost = DecimalPairToFloat(Rec.TotalCost);
}

void TToDoMainObject::writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced)
{
    TToDoObject::writeToDesktop(dataSet, modified, deleted, synced);
    dataSet.fieldByName("VehicleId").setAsInteger(Rec.VehicleId);
    dataSet.fieldByName("Mileage").setAsInteger(Rec.Mileage);
    dataSet.fieldByName("Type").setAsString(Rec.Type);
    dataSet.fieldByName("TranDate").setAsDateTime(FTranDate);
    dataSet.fieldByName("TotalCost").setAsFloat(FTotalCost);
    dataSet.fieldByName("Qty").setAsFloat(FQty);
    dataSet.fieldByName("VendorId").setAsInteger(Rec.VendorId);
    dataSet.fieldByName("FuelGradeId").setAsInteger(Rec.FuelGradeId);
    dataSet.fieldByName("MiscBits").setAsInteger(Rec.MiscBits);
    dataSet.fieldByName("Notes").setAsString(Rec.Notes);
    // Filler keeps the row's value: it travels to the handheld only.
}

} // namespace conduit
