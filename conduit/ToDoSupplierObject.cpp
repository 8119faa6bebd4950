#include "ToDoSupplierObject.h"

namespace conduit {

void TToDoSupplierObject::setRecordId(std::int32_t id)
{
    TToDoObject::setRecordId(id);
    Rec.Id = id;
}

void TToDoSupplierObject::assign(const TToDoObject &source)
{
    TToDoObject::assign(source);
    const auto &src = dynamic_cast<const TToDoSupplierObject &>(source);
    Rec = src.Rec;
}

std::unique_ptr<TToDoObject> TToDoSupplierObject::clone() const
{
    auto copy = std::make_unique<TToDoSupplierObject>(UserName);
    copy->assign(*this);
    return copy;
}

bool TToDoSupplierObject::equals(const TToDoObject &other) const
{
    const auto *o = dynamic_cast<const TToDoSupplierObject *>(&other);
    return o && Rec.Id == o->Rec.Id && Rec.MainId == o->Rec.MainId && Rec.Name == o->Rec.Name &&
           Rec.Notes == o->Rec.Notes && Rec.Filler == o->Rec.Filler;
}

void TToDoSupplierObject::unpackRemote(palmsync::IPDUtility *utility)
{
    readDWord(utility, 4, Rec.MainId);
    Rec.Name = readText(utility, 8, 15);
    Rec.Notes = readText(utility, 23, 100);
    Rec.Filler = readText(utility, 123, 10);
}

void TToDoSupplierObject::packRemote(palmsync::IPDUtility *utility)
{
    writeDWord(utility, 4, Rec.MainId);
    writeText(utility, 8, Rec.Name);
    writeText(utility, 23, Rec.Notes);
    writeText(utility, 123, Rec.Filler);
}

void TToDoSupplierObject::readFromDesktop(desktopdb::Table &dataSet)
{
    TToDoObject::readFromDesktop(dataSet);
    Rec.MainId = desktopValue(dataSet, "MainId", [](desktopdb::Field &f) { return f.asInteger(); });
    Rec.Name = desktopValue(dataSet, "Name", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Notes = desktopValue(dataSet, "Notes", [](desktopdb::Field &f) { return f.asString(); });
    Rec.Filler = desktopValue(dataSet, "Filler", [](desktopdb::Field &f) { return f.asString(); });
}

void TToDoSupplierObject::writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced)
{
    TToDoObject::writeToDesktop(dataSet, modified, deleted, synced);
    dataSet.fieldByName("MainId").setAsInteger(Rec.MainId);
    dataSet.fieldByName("Name").setAsString(Rec.Name);
    dataSet.fieldByName("Notes").setAsString(Rec.Notes);
    dataSet.fieldByName("Filler").setAsString(Rec.Filler);
}

} // namespace conduit
