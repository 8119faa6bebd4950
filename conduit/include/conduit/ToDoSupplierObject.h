#pragma once

#include "conduit/ToDoObject.h"

namespace conduit {

// Handheld form of a supplier.
struct TSupplierDB {
    std::int32_t Id = 0;
    std::int32_t MainId = 0; // carried unchanged both ways
    std::string Name;
    std::string Notes;
    std::string Filler; // carried unchanged both ways
};

// One supplier: "SupplierDB-KLXC" on the handheld, SUPPLIER on the desktop.
class TToDoSupplierObject : public TToDoObject {
public:
    static constexpr std::size_t RecordLength = 148;

    TSupplierDB Rec;

    explicit TToDoSupplierObject(const std::string &userName) : TToDoObject(userName) {}

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
