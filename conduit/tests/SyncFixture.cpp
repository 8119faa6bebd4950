#include "SyncFixture.h"

#include "DatabaseQuerySpy.h"
#include "com/ComPtr.h"
#include "conduit/DesktopSchema.h"
#include "conduit/KLXClientNotify.h"
#include "desktopdb/Table.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <stdexcept>

namespace conduittest {

namespace {

template <class T> T valueOf(const Row &row, const std::string &column)
{
    auto it = row.find(column);
    if (it == row.end())
        throw std::out_of_range("no column " + column);
    if (const T *v = std::get_if<T>(&it->second))
        return *v;
    throw std::logic_error("column " + column + " holds another type");
}

void setField(desktopdb::Field &field, const Value &value)
{
    if (std::holds_alternative<std::monostate>(value))
        field.clear();
    else if (auto *i = std::get_if<std::int64_t>(&value))
        field.setAsInteger(static_cast<std::int32_t>(*i));
    else if (auto *b = std::get_if<bool>(&value))
        field.setAsBoolean(*b);
    else if (auto *d = std::get_if<double>(&value))
        field.dataType() == desktopdb::FieldType::Date ? field.setAsDateTime(*d) : field.setAsFloat(*d);
    else
        field.setAsString(std::get<std::string>(value));
}

Value getField(desktopdb::Field &field)
{
    using desktopdb::FieldType;
    switch (field.dataType()) {
    case FieldType::AutoInc:
    case FieldType::Integer:
        return static_cast<std::int64_t>(field.asInteger());
    case FieldType::Boolean:
        return field.asBoolean();
    case FieldType::Float:
    case FieldType::Money:
        return field.asFloat();
    case FieldType::Date:
        return field.asDateTime();
    case FieldType::String:
        return field.asString();
    }
    return std::monostate{};
}

} // namespace

std::int64_t intOf(const Row &row, const std::string &column)
{
    return valueOf<std::int64_t>(row, column);
}
bool boolOf(const Row &row, const std::string &column)
{
    return valueOf<bool>(row, column);
}
double floatOf(const Row &row, const std::string &column)
{
    return valueOf<double>(row, column);
}
std::string textOf(const Row &row, const std::string &column)
{
    return valueOf<std::string>(row, column);
}

Row syncColumns(std::int64_t dbid, bool synced, bool modified, bool deleted)
{
    return {{"DBID", dbid}, {"Synced", synced}, {"Modified", modified}, {"Deleted", deleted}};
}

Row operator+(Row a, const Row &b)
{
    for (const auto &[k, v] : b)
        a[k] = v;
    return a;
}

palmsync::PalmRecord palmRecord(std::uint32_t id, Bytes data, std::uint8_t attributes, std::uint8_t category)
{
    palmsync::PalmRecord r;
    r.uniqueId = id;
    r.data = std::move(data);
    r.attributes = attributes;
    r.category = category;
    return r;
}

HotSyncFixture::HotSyncFixture()
    : handheldDir(temp / "handheld"), conduitDir(temp / "conduit"), pathName(conduitDir.string())
{
    std::filesystem::create_directories(handheldDir);
    std::filesystem::create_directories(conduitDir);
    palmsync::HandheldFolder folder(handheldDir);
    for (const std::string &name : {kMainDB, kOilGradeDB, kSupplierDB, kVehicleDB})
        folder.createRecordDatabase(name, "KLXC", "DATA");
}

std::filesystem::path HotSyncFixture::databaseFile(const std::string &database) const
{
    return palmsync::HandheldFolder(handheldDir).recordDatabasePath(database);
}

std::vector<palmsync::PalmRecord> HotSyncFixture::records(const std::string &database) const
{
    return palmsync::PalmDatabase::load(databaseFile(database)).records;
}

void HotSyncFixture::setRecords(const std::string &database, const std::vector<palmsync::PalmRecord> &records)
{
    auto db = palmsync::PalmDatabase::load(databaseFile(database));
    db.records = records;
    db.save(databaseFile(database));
}

std::optional<palmsync::PalmRecord> HotSyncFixture::findRecord(const std::string &database, std::uint32_t id) const
{
    for (const auto &r : records(database))
        if (r.uniqueId == id)
            return r;
    return std::nullopt;
}

std::filesystem::path HotSyncFixture::tableFile(const std::string &table) const
{
    return conduitDir / (table + ".db");
}

void HotSyncFixture::createTables()
{
    for (const conduit::TableSchema &schema : conduit::allTableSchemas())
        createTable(schema.tableName);
}

void HotSyncFixture::createTable(const std::string &table)
{
    desktopdb::SqlQuery query;
    query.setDatabaseName(conduitDir.string());
    for (const conduit::TableSchema &schema : conduit::allTableSchemas()) {
        if (schema.tableName != table || std::filesystem::exists(tableFile(schema.tableName)))
            continue;
        std::vector<conduit::Statement> statements{schema.createTable};
        statements.insert(statements.end(), schema.createIndexes.begin(), schema.createIndexes.end());
        for (const auto &statement : statements) {
            query.clear();
            for (const auto &line : statement)
                query.add(line);
            query.execSql();
        }
    }
}

void HotSyncFixture::addRow(const std::string &table, const Row &values)
{
    createTable(table);
    desktopdb::Table t;
    t.setDatabaseName(conduitDir.string());
    t.setTableName(table);
    t.open();
    t.append();
    Row all = Row{{"UserName", userName}, {"Synced", false}, {"Modified", false}, {"Deleted", false}} + values;
    for (const auto &[column, value] : all)
        setField(t.fieldByName(column), value);
    t.post();
    t.close();
}

std::vector<Row> HotSyncFixture::rows(const std::string &table) const
{
    desktopdb::Table t;
    t.setDatabaseName(conduitDir.string());
    t.setTableName(table);
    t.open();
    std::vector<Row> result;
    for (t.first(); !t.eof(); t.next()) {
        Row row;
        for (desktopdb::Field *field : t.fields())
            row[field->name()] = getField(*field);
        result.push_back(std::move(row));
    }
    t.close();
    return result;
}

std::optional<Row> HotSyncFixture::rowWithDbid(const std::string &table, std::int64_t dbid) const
{
    for (auto &row : rows(table))
        if (intOf(row, "DBID") == dbid)
            return row;
    return std::nullopt;
}

std::vector<std::string> HotSyncFixture::runHotSync(std::int32_t syncType)
{
    palmsync::HotSyncSession session({userName, pathName, syncType, handheldDir});
    installDatabaseQuerySpy();
    {
        com::ComPtr<conduit::TKLXGVClientNotify> notify(new conduit::TKLXGVClientNotify);
        lastResult = -1;
        EXPECT_EQ(notify->BeginProcess(&lastResult), com::S_OK);
        EXPECT_EQ(lastResult, 0);
    }
    session.end();
    return session.logLines();
}

} // namespace conduittest
