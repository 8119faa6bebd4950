#include "DesktopRowHarness.h"

#include "conduit/DesktopSchema.h"
#include "conduit/ToDoMainObject.h"
#include "conduit/ToDoOilGradeObject.h"
#include "conduit/ToDoSupplierObject.h"
#include "conduit/ToDoVehicleObject.h"

#include "com/ClassTable.h"
#include "com/ComError.h"
#include "desktopdb/SqlQuery.h"
#include "desktopdb/Table.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <sqlite3.h>

#include <cstring>
#include <stdexcept>

namespace conduit::fuzz {

namespace {

const char *const kTables[4] = {"OILGRADE", "SUPPLIER", "VEHICLE", "MAIN"};
const char *const kDatabases[4] = {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC", "MainDB-KLXC"};

std::unique_ptr<TToDoObject> makeObject(int table)
{
    switch (table) {
    case 0:
        return std::make_unique<TToDoOilGradeObject>("Fuzz");
    case 1:
        return std::make_unique<TToDoSupplierObject>("Fuzz");
    case 2:
        return std::make_unique<TToDoVehicleObject>("Fuzz");
    default:
        return std::make_unique<TToDoMainObject>("Fuzz");
    }
}

class Connection {
public:
    explicit Connection(const std::filesystem::path &file)
    {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file.string());
    }
    ~Connection() { sqlite3_close_v2(db_); }
    sqlite3 *get() const { return db_; }

private:
    sqlite3 *db_ = nullptr;
};

} // namespace

DesktopRowHarness::DesktopRowHarness(const std::filesystem::path &desktopFolder,
                                     const std::filesystem::path &handheldFolder)
    : desktop_(desktopFolder)
{
    desktopdb::SqlQuery query;
    query.setDatabaseName(desktopFolder.string());
    for (const TableSchema &schema : allTableSchemas()) {
        std::vector<Statement> statements{schema.createTable};
        statements.insert(statements.end(), schema.createIndexes.begin(), schema.createIndexes.end());
        for (const auto &statement : statements) {
            query.clear();
            for (const auto &line : statement)
                query.add(line);
            query.execSql();
        }
    }
    for (int t = 0; t < 4; ++t) {
        Connection db(desktop_ / (std::string(kTables[t]) + ".db"));
        sqlite3_stmt *info = nullptr;
        sqlite3_prepare_v2(db.get(), ("SELECT name FROM pragma_table_info('" + std::string(kTables[t]) + "')").c_str(),
                           -1, &info, nullptr);
        while (sqlite3_step(info) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char *>(sqlite3_column_text(info, 0));
            if (name != "InternalID")
                columns_[t].push_back(name);
        }
        sqlite3_finalize(info);
    }

    palmsync::HandheldFolder folder(handheldFolder);
    for (const char *database : kDatabases)
        folder.createRecordDatabase(database, "KLXC", "DATA");
    session_ = std::make_unique<palmsync::HotSyncSession>(
        palmsync::SessionSettings{"Fuzz", desktopFolder.string(), 0, handheldFolder});
    utility_ = com::createInstance<palmsync::IPDUtility>(palmsync::IPDUtility::clsid);
    auto handheld = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
    for (int t = 0; t < 4; ++t)
        com::check(handheld->OpenRecordDatabase(kDatabases[t], "PDDirect.PDRecordAdapter",
                                                palmsync::eDbRead | palmsync::eDbWrite,
                                                reinterpret_cast<palmsync::IPDRecordAdapter **>(adapters_[t].put())));
}

DesktopRowHarness::~DesktopRowHarness()
{
    for (auto &adapter : adapters_)
        adapter = nullptr;
    utility_ = nullptr;
    try {
        session_->end();
    } catch (const std::exception &) {
    }
}

std::string DesktopRowHarness::run(std::span<const std::uint8_t> input)
{
    if (input.empty())
        return "no table byte";
    const int t = input[0] & 0x03;
    std::size_t at = 1;
    auto take = [&](std::size_t n) {
        std::span<const std::uint8_t> bytes = input.subspan(std::min(at, input.size()));
        bytes = bytes.first(std::min(n, bytes.size()));
        at += n;
        return bytes;
    };
    {
        Connection db(desktop_ / (std::string(kTables[t]) + ".db"));
        sqlite3_exec(db.get(), ("DELETE FROM " + std::string(kTables[t])).c_str(), nullptr, nullptr, nullptr);
        std::string names, params;
        for (std::size_t c = 0; c < columns_[t].size(); ++c) {
            names += (c ? ", " : "") + columns_[t][c];
            params += (c ? ", ?" : "?");
        }
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db.get(),
                           ("INSERT INTO " + std::string(kTables[t]) + " (" + names + ") VALUES (" + params + ")").c_str(),
                           -1, &insert, nullptr);
        for (std::size_t c = 0; c < columns_[t].size(); ++c) {
            const int index = static_cast<int>(c + 1);
            auto kind = take(1);
            switch (kind.empty() ? 0 : kind[0] & 0x03) {
            case 1: {
                std::int64_t v = 0;
                auto b = take(8);
                std::memcpy(&v, b.data(), b.size());
                sqlite3_bind_int64(insert, index, v);
                break;
            }
            case 2: {
                double v = 0;
                auto b = take(8);
                std::memcpy(&v, b.data(), b.size());
                sqlite3_bind_double(insert, index, v);
                break;
            }
            case 3: {
                auto length = take(1);
                auto b = take(length.empty() ? 0 : length[0]);
                sqlite3_bind_blob(insert, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
                break;
            }
            default:
                sqlite3_bind_null(insert, index);
            }
        }
        const int rc = sqlite3_step(insert);
        sqlite3_finalize(insert);
        if (rc != SQLITE_DONE)
            return "the row was not stored";
    }
    try {
        desktopdb::Table table;
        table.setDatabaseName(desktop_.string());
        table.setTableName(kTables[t]);
        table.open();
        table.first();
        auto object = makeObject(t);
        object->readFromDesktop(table);
        object->setRecordId(0);
        object->writeToRemote(adapters_[t].get(), utility_.get(), 0);
        com::check(adapters_[t]->RemoveRecord(object->RecordId));
    } catch (const std::exception &e) {
        return e.what();
    }
    return std::string();
}

} // namespace conduit::fuzz
