#include "DesktopSchema.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace desktopdbtest {

std::vector<std::vector<std::string>> schemaStatements(const std::string &table)
{
    static const std::vector<std::string> common = {
        "  InternalID          AUTOINC,", "  DBID                INTEGER,", "  Modified            BOOLEAN,",
        "  Synced              BOOLEAN,", "  Deleted             BOOLEAN,", "  UserName            VARCHAR(20),",
    };
    static const std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> own = {
        {"OILGRADE",
         {{"  ItemCost            MONEY,", "  Name                VARCHAR(10),", "  Notes               VARCHAR(100),"},
          {"CREATE INDEX DBID ON OILGRADE (DBID)", "CREATE INDEX Name ON OILGRADE (Name)"}}},
        {"SUPPLIER",
         {{"  MainId              INTEGER,", "  Name                VARCHAR(15),",
           "  Notes               VARCHAR(100),", "  Filler              VARCHAR(10),"},
          {"CREATE INDEX DBID ON SUPPLIER (DBID)", "CREATE INDEX Name ON SUPPLIER (Name)",
           "CREATE INDEX MainId ON SUPPLIER (MainId)"}}},
        {"VEHICLE",
         {{"  OilGradeId          INTEGER,", "  ModelYear           INTEGER,", "  MilesPerYear        INTEGER,",
           "  Name                VARCHAR(15),", "  Filler              VARCHAR(20),",
           "  Make                VARCHAR(10),", "  Model               VARCHAR(15),",
           "  TireSize            VARCHAR(10),", "  Notes               VARCHAR(100),"},
          {"CREATE INDEX DBID ON VEHICLE (DBID)", "CREATE INDEX Name ON VEHICLE (Name)",
           "CREATE INDEX OilGradeId ON VEHICLE (OilGradeId)"}}},
        {"MAIN",
         {{"  VehicleId           INTEGER,", "  Mileage             INTEGER,", "  Type                VARCHAR(2),",
           "  TranDate            DATE,", "  TotalCost           MONEY,", "  Qty                 FLOAT,",
           "  VendorId            INTEGER,", "  FuelGradeId         INTEGER,", "  MiscBits            INTEGER,",
           "  Notes               VARCHAR(100),", "  Filler              VARCHAR(100),"},
          {"CREATE INDEX DBID ON MAIN (DBID)", "CREATE INDEX VehicleIdMileage ON MAIN (VehicleId,Mileage)",
           "CREATE INDEX VendorId ON MAIN (VendorId)", "CREATE INDEX FuelGradeId ON MAIN (FuelGradeId)"}}},
    };
    const auto &[columns, indexes] = own.at(table);
    std::vector<std::string> create = {"CREATE TABLE " + table + " ("};
    create.insert(create.end(), common.begin(), common.end());
    create.insert(create.end(), columns.begin(), columns.end());
    create.push_back("PRIMARY KEY (InternalID))");
    std::vector<std::vector<std::string>> statements = {create};
    for (const auto &index : indexes)
        statements.push_back({index});
    return statements;
}

void createTable(const std::string &folder, const std::string &table)
{
    desktopdb::SqlQuery query;
    query.close();
    query.setDatabaseName(folder);
    for (const auto &statement : schemaStatements(table)) {
        query.clear();
        for (const auto &line : statement)
            query.add(line);
        query.execSql();
    }
}

PlainConnection::PlainConnection(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db_);
        throw std::runtime_error("cannot open " + path);
    }
}

PlainConnection::~PlainConnection()
{
    sqlite3_close(db_);
}

void PlainConnection::exec(const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + message);
    }
}

std::vector<std::string> PlainConnection::column(const std::string &sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    }
    std::vector<std::string> values;
    int rc = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *text = sqlite3_column_text(stmt, 0);
        values.push_back(text ? reinterpret_cast<const char *>(text) : "NULL");
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    return values;
}

std::string PlainConnection::scalar(const std::string &sql)
{
    const auto values = column(sql);
    if (values.size() != 1)
        throw std::runtime_error(sql + ": expected one row");
    return values.front();
}

} // namespace desktopdbtest
