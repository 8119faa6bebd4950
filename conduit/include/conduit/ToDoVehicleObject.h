#pragma once

#include "conduit/ToDoObject.h"

namespace conduit {

// Handheld form of a vehicle.
struct TVehicleDB {
    std::int32_t Id = 0;
    std::int32_t OilGradeId = 0; // DBID of the vehicle's oil grade
    std::int32_t ModelYear = 0;
    std::int32_t MilesPerYear = 0;
    std::string Name;
    std::string Filler; // carried unchanged both ways
    std::string Make;
    std::string Model;
    std::string TireSize;
    std::string Notes;
};

// One vehicle: "VehicleDB-KLXC" on the handheld, VEHICLE on the desktop.
class TToDoVehicleObject : public TToDoObject {
public:
    static constexpr std::size_t RecordLength = 212;

    TVehicleDB Rec;

    explicit TToDoVehicleObject(const std::string &userName) : TToDoObject(userName) {}

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
