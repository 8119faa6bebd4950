#include "RecordDecoderHarness.h"

#include "conduit/ToDoMainObject.h"
#include "conduit/ToDoOilGradeObject.h"
#include "conduit/ToDoSupplierObject.h"
#include "conduit/ToDoVehicleObject.h"

#include "com/ClassTable.h"
#include "com/ComError.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <algorithm>
#include <exception>

namespace conduit::fuzz {

namespace {

struct RecordClass {
    const char *database;
    std::size_t recordLength;
    // Where the last field's width ends: a text that fills its field puts
    // its zero byte here, so this byte may change on a write; every byte
    // after it must survive.
    std::size_t fieldsEnd;
};

const RecordClass kClasses[RecordDecoderHarness::kRecordClasses] = {
    {"OilGradeDB-KLXC", TToDoOilGradeObject::RecordLength, 122},
    {"SupplierDB-KLXC", TToDoSupplierObject::RecordLength, 133},
    {"VehicleDB-KLXC", TToDoVehicleObject::RecordLength, 186},
    {"MainDB-KLXC", TToDoMainObject::RecordLength, 256},
};

const char *const kClassNames[RecordDecoderHarness::kRecordClasses] = {"TToDoOilGradeObject", "TToDoSupplierObject",
                                                                       "TToDoVehicleObject", "TToDoMainObject"};

std::unique_ptr<TToDoObject> makeObject(int recordClass, const std::string &userName)
{
    switch (recordClass) {
    case 0:
        return std::make_unique<TToDoOilGradeObject>(userName);
    case 1:
        return std::make_unique<TToDoSupplierObject>(userName);
    case 2:
        return std::make_unique<TToDoVehicleObject>(userName);
    default:
        return std::make_unique<TToDoMainObject>(userName);
    }
}

// True when the decimal text of the pair has at most 15 digits, so that
// its value survives the trip through a floating value and back exactly.
bool pairFitsFifteenDigits(const TDecimalPair &pair)
{
    std::string whole = std::to_string(pair.Whole);
    if (!whole.empty() && whole[0] == '-')
        whole.erase(0, 1);
    return whole.size() + PadLeft(std::to_string(pair.Fraction), 2, '0').size() <= 15;
}

bool sameDay(const THandheldDate &a, const THandheldDate &b)
{
    return a.Second == b.Second && a.Minute == b.Minute && a.Hour == b.Hour && a.Day == b.Day && a.Month == b.Month &&
           a.Year == b.Year;
}

// A log entry's assign recomputes the date, cost and quantity from their
// desktop forms; everything else is copied. Returns what differs. The date
// words of a source whose date was decoded come back as they were but for
// the day of week; one that never held a date gets those of date-time 0.
std::string compareAssignedEntry(const TToDoMainObject &copy, const TToDoMainObject &src, bool dateDecoded)
{
    const TMainDB &a = copy.Rec, &b = src.Rec;
    if (a.Id != b.Id || a.VehicleId != b.VehicleId || a.Mileage != b.Mileage || a.Type != b.Type ||
        a.VendorId != b.VendorId || a.FuelGradeId != b.FuelGradeId || a.MiscBits != b.MiscBits || a.Notes != b.Notes ||
        a.Filler != b.Filler)
        return "an integer or text field changed";
    if (copy.TranDate() != src.TranDate() ||
        !sameDay(a.TranDate, dateDecoded ? b.TranDate : DateTimeToHandheldDate(src.TranDate())))
        return "the date changed";
    if (pairFitsFifteenDigits(b.TotalCost) && copy.TotalCost() != src.TotalCost())
        return "the total cost changed";
    if (pairFitsFifteenDigits(b.Qty) && copy.Qty() != src.Qty())
        return "the quantity changed";
    return std::string();
}

DecodeOutcome fault(int recordClass, const std::string &what)
{
    return {DecodeResult::Fault, std::string(kClassNames[recordClass]) + ": " + what};
}

} // namespace

std::string RecordDecoderHarness::className(int recordClass)
{
    return kClassNames[recordClass & 3];
}

RecordDecoderHarness::RecordDecoderHarness(const std::filesystem::path &handheldFolder)
{
    palmsync::HandheldFolder folder(handheldFolder);
    for (const RecordClass &c : kClasses)
        folder.createRecordDatabase(c.database, "KLXC", "DATA");

    palmsync::SessionSettings settings;
    settings.userName = "Fuzz";
    settings.pathName = handheldFolder.string();
    settings.handheldFolder = handheldFolder;
    session_ = std::make_unique<palmsync::HotSyncSession>(settings);

    utility_ = com::createInstance<palmsync::IPDUtility>(palmsync::IPDUtility::clsid);
    auto query = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
    for (int k = 0; k < kRecordClasses; ++k) {
        com::check(query->OpenRecordDatabase(kClasses[k].database, "PDDirect.PDRecordAdapter",
                                             palmsync::eDbRead | palmsync::eDbWrite,
                                             reinterpret_cast<palmsync::IPDRecordAdapter **>(adapters_[k].put())));
        std::int32_t id = 0;
        com::check(adapters_[k]->WriteRecord(&id, 0, 0, palmsync::ByteArray(kClasses[k].recordLength, 0)));
        recordIds_[k] = id;
    }
}

RecordDecoderHarness::~RecordDecoderHarness()
{
    for (auto &adapter : adapters_)
        adapter = nullptr;
    utility_ = nullptr;
    try {
        session_->end();
    } catch (const std::exception &) {
        // Only the scratch copies of the databases were not written.
    }
}

DecodeOutcome RecordDecoderHarness::run(std::span<const std::uint8_t> input)
{
    if (input.empty())
        return {DecodeResult::Rejected, "no record class byte"};
    const int k = input[0] & 0x03;
    const std::int32_t category = (input[0] >> 2) & 0x03;
    const std::int32_t attributes = input[0] & 0xF0;
    const RecordClass &rc = kClasses[k];
    const palmsync::ByteArray data(input.begin() + 1, input.end());

    auto obj = makeObject(k, "Fuzz");
    try {
        obj->readFromRemote(utility_.get(), data, 0, recordIds_[k], category, attributes);
    } catch (const std::exception &e) {
        return {DecodeResult::Rejected, e.what()};
    }
    if (obj->RawData != data || obj->RecordId != recordIds_[k] || obj->Category != category ||
        obj->Attributes != attributes)
        return fault(k, "the record header values or bytes were not kept as read");
    const bool deleted = obj->isDeleted();
    if (deleted && !makeObject(k, "Fuzz")->equals(*obj))
        return fault(k, "a record deleted on the handheld had its content decoded");

    // Through assign into a fresh object, as the sync driver moves content
    // between the two sides of one record.
    auto copy = makeObject(k, "Other");
    bool assigned = true;
    try {
        copy->assign(*obj);
    } catch (const std::exception &) {
        // A value the handheld holds but the desktop form cannot carry back
        // (a cost beyond 15 digits that rounds past the 32-bit range).
        assigned = false;
    }
    if (assigned) {
        if (copy->UserName != "Other" || !copy->RawData.empty() || copy->RecordId != obj->RecordId ||
            copy->Attributes != obj->Attributes)
            return fault(k, "assign copied the wrong header values");
        if (k != 3) {
            if (!copy->equals(*obj))
                return fault(k, "assign into a fresh object changed the content");
        } else {
            auto &entry = static_cast<TToDoMainObject &>(*copy);
            std::string diff = compareAssignedEntry(entry, static_cast<const TToDoMainObject &>(*obj), !deleted);
            if (!diff.empty())
                return fault(k, "assign into a fresh object: " + diff);
            auto again = makeObject(k, "Again");
            try {
                again->assign(*copy);
            } catch (const std::exception &e) {
                return fault(k, std::string("assign of an assigned entry failed: ") + e.what());
            }
            if (!again->equals(*copy))
                return fault(k, "a second assign changed the content again");
        }
    }

    // Through the handheld: written back in place and read again.
    try {
        obj->writeToRemote(adapters_[k].get(), utility_.get(), 0);
    } catch (const std::exception &e) {
        return fault(k, std::string("writing the record back failed: ") + e.what());
    }
    if (obj->RecordId != recordIds_[k])
        return fault(k, "writing the record back changed its id");
    std::int32_t index = 0, readCategory = 0, readAttributes = 0;
    palmsync::ByteArray written;
    com::check(adapters_[k]->ReadRecordById(&index, recordIds_[k], &readCategory, &readAttributes, &written));
    if (readCategory != category || readAttributes != 0 || written != obj->RawData)
        return fault(k, "the handheld holds other values than the object wrote");

    if (deleted) {
        if (written != palmsync::ByteArray(rc.recordLength, 0))
            return fault(k, "a deleted record was not written from a zero-filled array of the record length");
        return {DecodeResult::Decoded, std::string()};
    }

    if (written.size() < data.size())
        return fault(k, "writing the record back cut it short");
    for (std::size_t i = 0; i < std::min<std::size_t>(4, data.size()); ++i)
        if (written[i] != data[i])
            return fault(k, "the reserved bytes 0 to 3 changed");
    for (std::size_t i = rc.fieldsEnd; i < data.size(); ++i)
        if (written[i] != data[i] && !(i == rc.fieldsEnd && written[i] == 0))
            return fault(k, "byte " + std::to_string(i) + " after the last field changed");

    auto reread = makeObject(k, "Fuzz");
    try {
        reread->readFromRemote(utility_.get(), written, index, recordIds_[k], readCategory, readAttributes);
    } catch (const std::exception &e) {
        return fault(k, std::string("the written record cannot be read again: ") + e.what());
    }
    if (!reread->equals(*obj))
        return fault(k, "the written record reads back with other content");
    return {DecodeResult::Decoded, std::string()};
}

} // namespace conduit::fuzz
