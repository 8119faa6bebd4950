#pragma once

#include "conduit/ToDoObject.h"

namespace conduit {

// Handheld form of an oil grade.
struct TOilGradeDB {
    std::int32_t Id = 0;
    TDecimalPair ItemCost;
    std::string Name;
    std::string Notes;
};

// One oil grade: "OilGradeDB-KLXC" on the handheld, OILGRADE on the desktop.
class TToDoOilGradeObject : public TToDoObject {
public:
    static constexpr std::size_t RecordLength = 132;

    double ItemCost = 0; // always DecimalPairToFloat of Rec.ItemCost once filled
    TOilGradeDB Rec;

    explicit TToDoOilGradeObject(const std::string &userName) : TToDoObject(userName) {}

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
};

} // namespace conduit
