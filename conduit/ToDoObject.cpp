#include "conduit/ToDoObject.h"

#include "com/ComError.h"
#include "text/Cp1252.h"

namespace conduit {

std::size_t handheldLength(const std::string &utf8) { return charset::utf8ToCp1252(utf8).size(); }

void TToDoObject::setRecordId(std::int32_t id) { RecordId = id; }

void TToDoObject::assign(const TToDoObject &source)
{
    RecordId = source.RecordId;
    Attributes = source.Attributes;
    Modified = source.Modified;
    Deleted = source.Deleted;
    Synced = source.Synced;
}

void TToDoObject::readFromRemote(palmsync::IPDUtility *utility, const ByteArray &data, std::int32_t index,
                                 std::int32_t recordId, std::int32_t category, std::int32_t attributes)
{
    RawData = data;
    Index = index;
    RecordId = recordId;
    Category = category;
    Attributes = attributes;
    // A record deleted on the handheld carries no usable content.
    if (isDeleted())
        return;
    unpackRemote(utility);
}

void TToDoObject::readFromDesktop(desktopdb::Table &dataSet)
{
    RecNo = dataSet.recNo();
    RecordId = desktopValue(dataSet, "DBID", [](desktopdb::Field &f) { return f.asInteger(); });
    UserName = desktopValue(dataSet, "UserName", [](desktopdb::Field &f) { return f.asString(); });
    Modified = desktopValue(dataSet, "Modified", [](desktopdb::Field &f) { return f.asBoolean(); });
    Synced = desktopValue(dataSet, "Synced", [](desktopdb::Field &f) { return f.asBoolean(); });
    Deleted = desktopValue(dataSet, "Deleted", [](desktopdb::Field &f) { return f.asBoolean(); });
}

std::string TToDoObject::desktopRowContext(desktopdb::Table &dataSet, const char *column)
{
    // The stored text of the DBID, which names the row even when it is not
    // a number itself.
    std::string id = "?";
    try {
        id = dataSet.fieldByName("DBID").asString();
    } catch (...) {
    }
    return " (" + dataSet.tableName() + " DBID " + id + ", column " + column + ")";
}

void TToDoObject::writeToRemote(palmsync::IPDRecordAdapter *adapter, palmsync::IPDUtility *utility,
                                std::int32_t attributes)
{
    if (RecordId == 0 || isDeleted())
        RawData.assign(recordLength(), 0);
    Attributes = attributes;
    packRemote(utility);
    std::int32_t id = RecordId;
    com::check(adapter->WriteRecord(&id, Category, Attributes, RawData));
    RecordId = id;
}

void TToDoObject::writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced)
{
    Modified = modified;
    Deleted = deleted;
    Synced = synced;
    dataSet.fieldByName("DBID").setAsInteger(RecordId);
    dataSet.fieldByName("UserName").setAsString(UserName);
    dataSet.fieldByName("Modified").setAsBoolean(Modified);
    dataSet.fieldByName("Synced").setAsBoolean(Synced);
    dataSet.fieldByName("Deleted").setAsBoolean(Deleted);
}

void TToDoObject::ensureRawSize(std::size_t size)
{
    if (RawData.size() < size)
        RawData.resize(size, 0);
}

std::int32_t TToDoObject::readDWord(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t &value) const
{
    std::int32_t next = 0;
    com::check(utility->ReadDWord(RawData, offset, true, &value, &next));
    return next;
}

std::int32_t TToDoObject::readWord(palmsync::IPDUtility *utility, std::int32_t offset, std::uint16_t &value) const
{
    std::int32_t next = 0;
    com::check(utility->ReadWord(RawData, offset, true, &value, &next));
    return next;
}

std::string TToDoObject::readText(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t width) const
{
    // A record the handheld application stored shorter ends its last texts
    // early; what lies past its end is empty text.
    std::int32_t available = static_cast<std::int32_t>(RawData.size()) - offset;
    if (available <= 0)
        return std::string();
    std::string text;
    std::int32_t next = 0;
    com::check(utility->ReadString(RawData, offset, std::min(width, available), &text, &next));
    return text;
}

std::int32_t TToDoObject::writeDWord(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t value)
{
    ensureRawSize(static_cast<std::size_t>(offset) + 4);
    std::int32_t next = 0;
    com::check(utility->WriteDWord(&RawData, offset, true, value, &next));
    return next;
}

std::int32_t TToDoObject::writeWord(palmsync::IPDUtility *utility, std::int32_t offset, std::uint16_t value)
{
    ensureRawSize(static_cast<std::size_t>(offset) + 2);
    std::int32_t next = 0;
    com::check(utility->WriteWord(&RawData, offset, true, value, &next));
    return next;
}

void TToDoObject::writeText(palmsync::IPDUtility *utility, std::int32_t offset, const std::string &text)
{
    ensureRawSize(static_cast<std::size_t>(offset) + handheldLength(text) + 1);
    std::int32_t next = 0;
    com::check(utility->WriteString(&RawData, offset, text, &next));
}

} // namespace conduit
