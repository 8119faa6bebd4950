#pragma once

// One HotSync of the conduit, played over real files: a handheld folder
// with the four databases and a conduit folder with the desktop tables.

#include "HandheldRecords.h"
#include "TempDir.h"
#include "palmsync/PalmDatabase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace conduittest {

inline const std::string kMainDB = "MainDB-KLXC";
inline const std::string kOilGradeDB = "OilGradeDB-KLXC";
inline const std::string kSupplierDB = "SupplierDB-KLXC";
inline const std::string kVehicleDB = "VehicleDB-KLXC";

// One desktop column value: integers (INTEGER, AUTOINC), truth values,
// floating values (FLOAT, MONEY, DATE as date-time) and texts.
using Value = std::variant<std::monostate, std::int64_t, bool, double, std::string>;
using Row = std::map<std::string, Value>;

std::int64_t intOf(const Row &row, const std::string &column);
bool boolOf(const Row &row, const std::string &column);
double floatOf(const Row &row, const std::string &column);
std::string textOf(const Row &row, const std::string &column);

// The sync columns of a row: DBID and the three flags.
Row syncColumns(std::int64_t dbid, bool synced, bool modified = false, bool deleted = false);
Row operator+(Row a, const Row &b);

palmsync::PalmRecord palmRecord(std::uint32_t id, Bytes data, std::uint8_t attributes = 0, std::uint8_t category = 0);

class HotSyncFixture : public ::testing::Test {
protected:
    HotSyncFixture();

    // Handheld side.
    std::filesystem::path databaseFile(const std::string &database) const;
    std::vector<palmsync::PalmRecord> records(const std::string &database) const;
    void setRecords(const std::string &database, const std::vector<palmsync::PalmRecord> &records);
    std::optional<palmsync::PalmRecord> findRecord(const std::string &database, std::uint32_t id) const;

    // Desktop side.
    std::filesystem::path tableFile(const std::string &table) const;
    void createTables();
    void createTable(const std::string &table);
    // Appends a row; UserName defaults to the fixture's user and the flags
    // to false.
    void addRow(const std::string &table, const Row &values);
    std::vector<Row> rows(const std::string &table) const;
    std::optional<Row> rowWithDbid(const std::string &table, std::int64_t dbid) const;

    // Plays one HotSync through BeginProcess and returns the log lines.
    std::vector<std::string> runHotSync(std::int32_t syncType);

    gvtest::TempDir temp;
    std::filesystem::path handheldDir;
    std::filesystem::path conduitDir;
    std::string userName = "Ann Driver";
    std::string pathName; // what GetPathName delivers; the conduit folder by default
    std::int16_t lastResult = -1;
};

} // namespace conduittest
