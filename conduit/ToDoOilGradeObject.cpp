#include "ToDoOilGradeObject.h"

#include <cmath>

namespace conduit {

void TToDoOilGradeObject::setRecordId(std::int32_t id)
{
    TToDoObject::setRecordId(id);
    Rec.Id = id;
}

void TToDoOilGradeObject::assign(const TToDoObject &source)
{
    TToDoObject::assign(source);
    const auto &src = dynamic_cast<const TToDoOilGradeObject &>(source);
    Rec.Id = src.Rec.Id;
    ItemCost = src.ItemCost;
    Rec.ItemCost = FloatToDecimalPair(ItemCost);
    Rec.Name = src.Rec.Name;
    Rec.Notes = src.Rec.Notes;
}

std::unique_ptr<TToDoObject> TToDoOilGradeObject::clone() const
{
    auto copy = std::make_unique<TToDoOilGradeObject>(UserName);
    copy->assign(*this);
    return copy;
}

bool TToDoOilGradeObject::equals(const TToDoObject &other) const
{
    const auto *o = dynamic_cast<const TToDoOilGradeObject *>(&other);
    return o && Rec.Id == o->Rec.Id && ItemCost == o->ItemCost && Rec.Name == o->Rec.Name && Rec.Notes == o->Rec.Notes;
}

void TToDoOilGradeObject::unpackRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = readDWord(utility, 4, Rec.ItemCost.Whole);
    readDWord(utility, offset, Rec.ItemCost.Fraction);
    Rec.Name = readText(utility, 12, 10);
    Rec.Notes = readText(utility, 22, 100);
    ItemCost = DecimalPairToFloat(Rec.ItemCost);
}

void TToDoOilGradeObject::packRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = writeDWord(utility, 4, Rec.ItemCost.Whole);
    writeDWord(utility, offset, Rec.ItemCost.Fraction);
    writeText(utility, 12, Rec.Name);
    writeText(utility, 22, Rec.Notes);
}

void TToDoOilGradeObject::readFromDesktop(desktopdb::Table &dataSet)
{
    TToDoObject::readFromDesktop(dataSet);
    Rec.ItemCost =
        desktopValue(dataSet, "ItemCost", [](desktopdb::Field &f) { return FloatToDecimalPair(f.asFloat()); });
    Rec.Name = desktopValue(dataSet, "Name", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Notes = desktopValue(dataSet, "Notes", [](desktopdb::Field &f) { return f.asString(); });
    ItemCost = DecimalPairToFloat(Rec.ItemCost);
}

void TToDoOilGradeObject::writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced)
{
    TToDoObject::writeToDesktop(dataSet, modified, deleted, synced);
    // A currency amount keeps four decimals.
    dataSet.fieldByName("ItemCost").setAsFloat(std::round(ItemCost * 10000.0) / 10000.0);
    dataSet.fieldByName("Name").setAsString(Rec.Name);
    dataSet.fieldByName("Notes").setAsString(Rec.Notes);
}

} // namespace conduit
