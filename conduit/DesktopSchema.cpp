#include "conduit/DesktopSchema.h"

namespace conduit {

namespace {

Statement createTable(const std::string &table, const std::vector<std::string> &ownColumns)
{
    Statement s{"CREATE TABLE " + table + " (",
                "  InternalID          AUTOINC,",
                "  DBID                INTEGER,",
                "  Modified            BOOLEAN,",
                "  Synced              BOOLEAN,",
                "  Deleted             BOOLEAN,",
                "  UserName            VARCHAR(20),"};
    s.insert(s.end(), ownColumns.begin(), ownColumns.end());
    s.push_back("PRIMARY KEY (InternalID))");
    return s;
}

std::vector<TableSchema> buildSchemas()
{
    return {
        {"OilGradeDB-KLXC", "OILGRADE",
         createTable("OILGRADE", {"  ItemCost            MONEY,", "  Name                VARCHAR(10),",
                                  "  Notes               VARCHAR(100),"}),
         {{"CREATE INDEX DBID ON OILGRADE (DBID)"}, {"CREATE INDEX Name ON OILGRADE (Name)"}}},
        {"SupplierDB-KLXC", "SUPPLIER",
         createTable("SUPPLIER", {"  MainId              INTEGER,", "  Name                VARCHAR(15),",
                                  "  Notes               VARCHAR(100),", "  Filler              VARCHAR(10),"}),
         {{"CREATE INDEX DBID ON SUPPLIER (DBID)"},
          {"CREATE INDEX Name ON SUPPLIER (Name)"},
          {"CREATE INDEX MainId ON SUPPLIER (MainId)"}}},
        {"VehicleDB-KLXC", "VEHICLE",
         createTable("VEHICLE", {"  OilGradeId          INTEGER,", "  ModelYear           INTEGER,",
                                 "  MilesPerYear        INTEGER,", "  Name                VARCHAR(15),",
                                 "  Filler              VARCHAR(20),", "  Make                VARCHAR(10),",
                                 "  Model               VARCHAR(15),", "  TireSize            VARCHAR(10),",
                                 "  Notes               VARCHAR(100),"}),
         {{"CREATE INDEX DBID ON VEHICLE (DBID)"},
          {"CREATE INDEX Name ON VEHICLE (Name)"},
          {"CREATE INDEX OilGradeId ON VEHICLE (OilGradeId)"}}},
        {"MainDB-KLXC", "MAIN",
         createTable("MAIN", {"  VehicleId           INTEGER,", "  Mileage             INTEGER,",
                              "  Type                VARCHAR(2),", "  TranDate            DATE,",
                              "  TotalCost           MONEY,", "  Qty                 FLOAT,",
                              "  VendorId            INTEGER,", "  FuelGradeId         INTEGER,",
                              "  MiscBits            INTEGER,", "  Notes               VARCHAR(100),",
                              "  Filler              VARCHAR(100),"}),
         {{"CREATE INDEX DBID ON MAIN (DBID)"},
          {"CREATE INDEX VehicleIdMileage ON MAIN (VehicleId,Mileage)"},
          {"CREATE INDEX VendorId ON MAIN (VendorId)"},
          {"CREATE INDEX FuelGradeId ON MAIN (FuelGradeId)"}}},
    };
}

} // namespace

const std::vector<TableSchema> &allTableSchemas()
{
    static const std::vector<TableSchema> schemas = buildSchemas();
    return schemas;
}

const TableSchema *schemaForHandheldDatabase(const std::string &handheldName)
{
    for (const auto &s : allTableSchemas())
        if (s.handheldName == handheldName)
            return &s;
    return nullptr;
}

} // namespace conduit
