#include "ToDoVehicleObject.h"

namespace conduit {

void TToDoVehicleObject::setRecordId(std::int32_t id)
{
    TToDoObject::setRecordId(id);
    Rec.Id = id;
}

void TToDoVehicleObject::assign(const TToDoObject &source)
{
    TToDoObject::assign(source);
    Rec = dynamic_cast<const TToDoVehicleObject &>(source).Rec;
}

std::unique_ptr<TToDoObject> TToDoVehicleObject::clone() const
{
    auto copy = std::make_unique<TToDoVehicleObject>(UserName);
    copy->assign(*this);
    return copy;
}

bool TToDoVehicleObject::equals(const TToDoObject &other) const
{
    const auto *o = dynamic_cast<const TToDoVehicleObject *>(&other);
    if (!o)
        return false;
    const TVehicleDB &a = Rec, &b = o->Rec;
    return a.Id == b.Id && a.OilGradeId == b.OilGradeId && a.ModelYear == b.ModelYear &&
           a.MilesPerYear == b.MilesPerYear && a.Name == b.Name && a.Filler == b.Filler && a.Make == b.Make &&
           a.Model == b.Model && a.TireSize == b.TireSize && a.Notes == b.Notes;
}

void TToDoVehicleObject::unpackRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = readDWord(utility, 4, Rec.OilGradeId);
    offset = readDWord(utility, offset, Rec.ModelYear);
    readDWord(utility, offset, Rec.MilesPerYear);
    Rec.Name = readText(utility, 16, 15);
    Rec.Filler = readText(utility, 31, 20);
    Rec.Make = readText(utility, 51, 10);
    Rec.Model = readText(utility, 61, 15);
    Rec.TireSize = readText(utility, 76, 10);
    Rec.Notes = readText(utility, 86, 100);
}

void TToDoVehicleObject::packRemote(palmsync::IPDUtility *utility)
{
    std::int32_t offset = writeDWord(utility, 4, Rec.OilGradeId);
    offset = writeDWord(utility, offset, Rec.ModelYear);
    writeDWord(utility, offset, Rec.MilesPerYear);
    writeText(utility, 16, Rec.Name);
    writeText(utility, 31, Rec.Filler);
    writeText(utility, 51, Rec.Make);
    writeText(utility, 61, Rec.Model);
    writeText(utility, 76, Rec.TireSize);
    writeText(utility, 86, Rec.Notes);
}

void TToDoVehicleObject::readFromDesktop(desktopdb::Table &dataSet)
{
    TToDoObject::readFromDesktop(dataSet);
    Rec.OilGradeId = desktopValue(dataSet, "OilGradeId", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.ModelYear = desktopValue(dataSet, "ModelYear", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.MilesPerYear = desktopValue(dataSet, "MilesPerYear", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.Name = desktopValue(dataSet, "Name", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Filler = desktopValue(dataSet, "Filler", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Make = desktopValue(dataSet, "Make", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Model = desktopValue(dataSet, "Model", [](desktopdb::Field &f) { return f.asString(); });
    Rec.TireSize = desktopValue(dataSet, "TireSize", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Notes = desktopValue(dataSet, "Notes", [](desktopdb::Field &f) { return f.asString(); });
}

void TToDoVehicleObject::writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced)
{
    TToDoObject::writeToDesktop(dataSet, modified, deleted, synced);
    dataSet.fieldByName("OilGradeId").setAsInteger(Rec.OilGradeId);
    dataSet.fieldByName("ModelYear").setAsInteger(Rec.ModelYear);
    dataSet.fieldByName("MilesPerYear").setAsInteger(Rec.MilesPerYear);
    dataSet.fieldByName("Name").setAsString(Rec.Name);
    dataSet.fieldByName("Filler").setAsString(Rec.Filler);
    dataSet.fieldByName("Make").setAsString(Rec.Make);
    dataSet.fieldByName("Model").setAsString(Rec.Model);
    dataSet.fieldByName("TireSize").setAsString(Rec.TireSize);
    dataSet.fieldByName("Notes").setAsString(Rec.Notes);
}

} // namespace conduit
