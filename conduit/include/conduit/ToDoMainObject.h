#pragma once

#include "conduit/ToDoObject.h"

namespace conduit {

// Handheld form of a service or expense log entry.
struct TMainDB {
    std::int32_t Id = 0;
    std::int32_t VehicleId = 0; // DBID of the entry's vehicle
    std::int32_t Mileage = 0;
    std::string Type; // at most 2 characters, carried uninterpreted
    THandheldDate TranDate;
    TDecimalPair TotalCost;
    TDecimalPair Qty;
    std::int32_t VendorId = 0;    // DBID of the entry's supplier
    std::int32_t FuelGradeId = 0; // carried unchanged both ways
    std::int32_t MiscBits = 0;    // carried unchanged both ways
    std::string Notes;
    std::string Filler; // travels from the desktop to the handheld only
};

// One log entry: "MainDB-KLXC" on the handheld, MAIN on the desktop. The
// desktop forms of the date, cost and quantity always follow their handheld
// forms: the setters compute the one from the other.
class TToDoMainObject : public TToDoObject {
public:
    static constexpr std::size_t RecordLength = 268;

    TMainDB Rec;

    explicit TToDoMainObject(const std::string &userName) : TToDoObject(userName) {}

    TDateTime TranDate() const { return FTranDate; }
    double Qty() const { return FQty; }
    double TotalCost() const { return FTotalCost; }
    void setTranDate(TDateTime value);
    void setQty(double value);
    void setTotalCost(double value);
    void setHandheldDate(const THandheldDate &date);
    void setQtyPair(const TDecimalPair &pair);
    void setTotalCostPair(const TDecimalPair &pair);

    void setRecordId(std::int32_t id) override;
    void assign(const TToDoObject &source) override;
    std::unique_ptr<TToDoObject> clone() const override;
    bool equals(const TToDoObject &other) const override;
    void readFromDesktop(desktopdb::Table &dataSet) override;
    void writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced) override;

protected:
    std::size_t recordLength() const override { return RecordLength; }
    void unpackRemote(palmsync::IPDUtility *utility) override;
    void packRemote(palmsync::IPDUtility *utility) override;

private:
    TDateTime FTranDate = 0;
    double FQty = 0;
    double FTotalCost = 0;
};

} // namespace conduit
