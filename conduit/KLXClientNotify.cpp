#include "KLXClientNotify.h"

#include "ConduitUtils.h"
#include "DesktopSchema.h"
#include "ToDoMainObject.h"
#include "ToDoOilGradeObject.h"
#include "ToDoSupplierObject.h"
#include "ToDoVehicleObject.h"
#include "com/ClassTable.h"
#include "com/ComError.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_map>

namespace conduit {

using com::ComPtr;
using com::HRESULT;
using namespace palmsync;

namespace {

std::atomic<int> liveSyncObjects{0};

// Function-local, so the plug-in can install its dialog from a static
// initialiser of another file.
struct DialogSlot {
    std::mutex mutex;
    ConfigureDialogFn dialog;
};
DialogSlot &dialogSlot()
{
    static DialogSlot slot;
    return slot;
}

ConfigureDialogFn currentDialog()
{
    std::lock_guard lock(dialogSlot().mutex);
    return dialogSlot().dialog;
}

// A failure passed on by one sync operation with its own prefix.
class SyncError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string currentFailureMessage() { return failureMessage(std::current_exception()); }

// Runs body; a failure travels on as prefix + its message + suffix, or as
// `unknown` when it carries no message.
template <class F>
void prefixed(const std::string &prefix, const std::string &suffix, const std::string &unknown, F &&body)
{
    try {
        body();
    } catch (...) {
        std::string message = currentFailureMessage();
        throw SyncError(message.empty() ? unknown : prefix + message + suffix);
    }
}

std::string upperCase(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string failureMessage(std::exception_ptr failure)
{
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::exception &e) {
        return e.what();
    } catch (...) {
    }
    return std::string();
}

TKLXGVClientNotify::TKLXGVClientNotify() { ++liveSyncObjects; }

TKLXGVClientNotify::~TKLXGVClientNotify() { --liveSyncObjects; }

int TKLXGVClientNotify::liveObjects() { return liveSyncObjects; }

void TKLXGVClientNotify::setConfigureDialog(ConfigureDialogFn dialog)
{
    std::lock_guard lock(dialogSlot().mutex);
    dialogSlot().dialog = std::move(dialog);
}

// ---------------------------------------------------------------------------
// BeginProcess and the run

HRESULT TKLXGVClientNotify::BeginProcess(std::int16_t *result)
{
    if (!result)
        return com::E_POINTER;
    // A failure to create the Palm objects is not caught: no log line, the
    // call returns the failure as its status.
    try {
        SystemAdapter = com::createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid);
        DatabaseQuery = com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
        Utility = com::createInstance<IPDUtility>(IPDUtility::clsid);
        SqlQuery = std::make_unique<desktopdb::SqlQuery>();
        DesktopTable = std::make_unique<desktopdb::Table>();
        LocalList = std::make_unique<TRecordList>();
        RemoteList = std::make_unique<TRecordList>();
        CurrentIdPairs = nullptr;
    } catch (const com::ComError &e) {
        releaseRunObjects();
        return com::fail(e.code(), e.what());
    } catch (const std::exception &e) {
        releaseRunObjects();
        return com::fail(com::E_OUTOFMEMORY, e.what());
    }

    std::string logLine = "OK Gearvane";
    try {
        com::ComPtr<IPDHotsyncInfo> info;
        com::check(SystemAdapter->GetHotsyncInfo(reinterpret_cast<IPDHotsyncInfo **>(info.put())));
        HotsyncInfo = info;
        std::string name;
        com::check(HotsyncInfo->GetUserName(&name));
        UserName = name;
        std::int32_t type = syncType();
        if (type >= SyncTypeSynchronize && type <= SyncTypeDesktopOverwrites)
            syncStandard();
    } catch (...) {
        std::string message = currentFailureMessage();
        logLine = "ERROR (Gearvane): " + (message.empty() ? std::string("Unknown error") : message);
    }
    // The last table's work becomes durable before the outcome is logged.
    try {
        if (DesktopTable->active())
            commitTable();
    } catch (...) {
        if (logLine == "OK Gearvane")
            logLine = "ERROR (Gearvane): " + currentFailureMessage();
    }
    *result = 0;

    HRESULT hr = com::S_OK;
    try {
        logMessage(logLine);
    } catch (...) {
        hr = com::fail(com::E_FAIL, "Cannot write the HotSync log: " + currentFailureMessage());
    }
    releaseRunObjects();
    return hr;
}

void TKLXGVClientNotify::releaseRunObjects()
{
    // The handheld database belongs to this HotSync: an adapter kept for a
    // later BeginProcess would act on a database that HotSync has closed.
    RemoteDatabase = nullptr;
    SystemAdapter = nullptr;
    HotsyncInfo = nullptr;
    DatabaseQuery = nullptr;
    Utility = nullptr;
    // Closing the table commits what was posted; a failure to do so must
    // not escape the entry point.
    try {
        DesktopTable.reset();
    } catch (...) {
    }
    SqlQuery.reset();
    RemoteList.reset();
    LocalList.reset();
    CurrentIdPairs = nullptr;
}

// Makes the work on the open table durable in the order that keeps every
// record after a crash: the handheld database's file first, then the
// desktop transaction. A crash between the two leaves desktop rows whose
// flags still ask for the handheld work, which the next HotSync repeats
// (at worst a record written twice); the other order could leave rows
// marked as synced whose handheld record was never written.
void TKLXGVClientNotify::commitTable()
{
    if (RemoteDatabase) {
        if (auto flush = RemoteDatabase.as<IPDDatabaseFlush>())
            com::check(flush->Flush());
    }
    DesktopTable->commitBatch();
}

std::int32_t TKLXGVClientNotify::syncType()
{
    std::int32_t type = 0;
    com::check(HotsyncInfo->GetSyncType(&type));
    return type;
}

void TKLXGVClientNotify::syncStandard()
{
    TIdPairList oilGradePairs, supplierPairs, vehiclePairs;
    struct Step {
        const char *database;
        TIdPairList *pairs;
    };
    const Step steps[] = {{"MainDB-KLXC", nullptr},
                          {"OilGradeDB-KLXC", &oilGradePairs},
                          {"SupplierDB-KLXC", &supplierPairs},
                          {"VehicleDB-KLXC", &vehiclePairs}};
    try {
        prefixed("syncStandard: ", "", "syncStandard: Unknown Error", [&] {
            std::int32_t type = syncType();
            for (const Step &step : steps) {
                CurrentIdPairs = step.pairs;
                try {
                    openRemoteDatabase(step.database);
                    openDesktopDatabase(step.database);
                    if (type == SyncTypeDesktopOverwrites)
                        copyToPalm();
                    else
                        syncLocalFromRemote(type);
                } catch (...) {
                    freeRecordObjects(*LocalList);
                    freeRecordObjects(*RemoteList);
                    // What was done stays done, also after a failure.
                    try {
                        commitTable();
                    } catch (...) {
                    }
                    throw;
                }
                freeRecordObjects(*LocalList);
                freeRecordObjects(*RemoteList);
                commitTable();
            }
            CurrentIdPairs = nullptr;
            if (!oilGradePairs.empty())
                fixVehicleOilGradeIds(oilGradePairs);
            if (!supplierPairs.empty())
                fixMainVendorIds(supplierPairs);
            if (!vehiclePairs.empty())
                fixMainVehicleIds(vehiclePairs);
        });
    } catch (...) {
        CurrentIdPairs = nullptr;
        freeIdPairs(oilGradePairs);
        freeIdPairs(supplierPairs);
        freeIdPairs(vehiclePairs);
        throw;
    }
    freeIdPairs(oilGradePairs);
    freeIdPairs(supplierPairs);
    freeIdPairs(vehiclePairs);
}

void TKLXGVClientNotify::openRemoteDatabase(const std::string &name)
{
    if (RemoteDatabase) {
        std::string current;
        if (com::SUCCEEDED(RemoteDatabase->GetDatabaseName(&current)) && current == name)
            return;
        com::TakeErrorInfo();
    }
    prefixed("openRemoteDatabase: ", " (Name=" + name + ")", "openRemoteDatabase: Unknown error (Name=" + name + ")",
             [&] {
                 ComPtr<IPDRecordAdapter> adapter;
                 com::check(DatabaseQuery->OpenRecordDatabase(name, "PDDirect.PDRecordAdapter", eDbRead | eDbWrite,
                                                              reinterpret_cast<IPDRecordAdapter **>(adapter.put())));
                 RemoteDatabase = adapter;
             });
}

void TKLXGVClientNotify::logMessage(const std::string &text)
{
    if (RemoteDatabase) {
        WriteHotSyncLog(RemoteDatabase.get(), text);
        return;
    }
    // No handheld database is open (nothing to sync, or the run failed
    // before the first one opened): the host's own log takes the line.
    if (SystemAdapter) {
        if (auto hostLog = SystemAdapter.as<IPDHostLog>()) {
            com::check(hostLog->AddLogEntry(text));
            return;
        }
    }
    throw std::runtime_error("No HotSync log is available for: " + text);
}

std::unique_ptr<TToDoObject> TKLXGVClientNotify::newRecordObject() const
{
    std::string table = DesktopTable ? upperCase(DesktopTable->tableName()) : std::string();
    if (table == "MAIN")
        return std::make_unique<TToDoMainObject>(UserName);
    if (table == "OILGRADE")
        return std::make_unique<TToDoOilGradeObject>(UserName);
    if (table == "SUPPLIER")
        return std::make_unique<TToDoSupplierObject>(UserName);
    if (table == "VEHICLE")
        return std::make_unique<TToDoVehicleObject>(UserName);
    return nullptr;
}

std::string TKLXGVClientNotify::recordKey(std::int32_t id) { return PadLeft(std::to_string(id), 10, '0'); }

void TKLXGVClientNotify::freeRecordObject(std::unique_ptr<TToDoObject> object)
{
    // Only the four record classes are ever listed; anything else is left
    // to its owner.
    TToDoObject *raw = object.get();
    if (dynamic_cast<TToDoMainObject *>(raw) || dynamic_cast<TToDoOilGradeObject *>(raw) ||
        dynamic_cast<TToDoSupplierObject *>(raw) || dynamic_cast<TToDoVehicleObject *>(raw))
        object.reset();
    else
        (void)object.release();
}

void TKLXGVClientNotify::freeRecordObjects(TRecordList &list)
{
    while (!list.empty())
        freeRecordObject(list.takeFirst());
}

void TKLXGVClientNotify::freeIdPairs(TIdPairList &list) { list.clear(); }

// ---------------------------------------------------------------------------
// Desktop tables

void TKLXGVClientNotify::openDesktopDatabase(const std::string &name)
{
    prefixed("openDesktopDatabase: ", "", "openDesktopDatabase: Unknown error", [&] {
        const TableSchema *schema = schemaForHandheldDatabase(name);
        if (!schema)
            throw SyncError("Unknown table name");
        std::string folder;
        com::check(HotsyncInfo->GetPathName(&folder));
        if (folder.empty())
            throw SyncError("HotSync gave no folder for the desktop tables of user " + UserName);
        DesktopTable->close();
        DesktopTable->setDatabaseName(folder);
        DesktopTable->setTableName(schema->tableName);
        // The engine finds "<folder>/<TABLE>.db" whatever the case of the
        // file name, as another program may have written it.
        if (!DesktopTable->exists())
            createDatabase(folder, name);
        DesktopTable->open();
        // The writes of one table go into one transaction, committed when
        // the table is closed, after a failure too.
        DesktopTable->beginBatch();
    });
}

void TKLXGVClientNotify::createDatabase(const std::string &path, const std::string &name)
{
    std::string prefix = "createDatabase: Path=" + path + " Name=" + name + " ";
    prefixed(prefix, "", prefix + "Unknown error", [&] {
        SqlQuery->close();
        SqlQuery->setDatabaseName(path);
        const TableSchema *schema = schemaForHandheldDatabase(name);
        if (!schema)
            throw SyncError("Unknown table name");
        auto run = [&](const Statement &statement) {
            SqlQuery->clear();
            for (const auto &line : statement)
                SqlQuery->add(line);
            SqlQuery->execSql();
        };
        run(schema->createTable);
        for (const auto &index : schema->createIndexes)
            run(index);
    });
}

bool TKLXGVClientNotify::locateLocalRow(std::int32_t id)
{
    // A user name longer than the UserName column is stored cut to the
    // column's width; the user's rows carry that prefix, so look for it.
    std::string stored = UserName;
    const int width = DesktopTable->fieldByName("UserName").def().size;
    if (width > 0) {
        std::size_t pos = 0;
        for (int chars = 0; pos < stored.size() && chars < width; ++chars) {
            ++pos;
            while (pos < stored.size() && (static_cast<unsigned char>(stored[pos]) & 0xC0) == 0x80)
                ++pos;
        }
        stored.resize(pos);
    }
    return DesktopTable->locate("UserName;DBID", {stored, static_cast<std::int64_t>(id)});
}

// ---------------------------------------------------------------------------
// Sync modes

void TKLXGVClientNotify::loadLocalChanges()
{
    const std::int32_t type = syncType();
    DesktopTable->first();
    while (!DesktopTable->eof()) {
        std::int32_t id = DesktopTable->fieldByName("DBID").asInteger();
        std::unique_ptr<TToDoObject> object = newRecordObject();
        if (!DesktopTable->fieldByName("Synced").asBoolean() || type == SyncTypeDesktopOverwrites) {
            object->readFromDesktop(*DesktopTable);
            object->SyncState = saAddRemote;
            LocalList->add(recordKey(0), std::move(object));
        } else if (DesktopTable->fieldByName("Deleted").asBoolean()) {
            object->readFromDesktop(*DesktopTable);
            object->SyncState = saDeleteRemote;
            LocalList->add(recordKey(id), std::move(object));
        } else if (DesktopTable->fieldByName("Modified").asBoolean()) {
            object->readFromDesktop(*DesktopTable);
            object->SyncState = saUpdateRemote;
            LocalList->add(recordKey(id), std::move(object));
        } else {
            freeRecordObject(std::move(object));
        }
        DesktopTable->next();
    }
}

void TKLXGVClientNotify::syncLocalFromRemote(std::int32_t type)
{
    prefixed("syncLocalFromRemote: ", "", "syncLocalFromRemote: Unknown Error", [&] {
        if (type == SyncTypeHandheldOverwrites) {
            while (DesktopTable->recordCount() > 0) {
                DesktopTable->first();
                DesktopTable->remove();
            }
        }
        loadLocalChanges();

        com::check(RemoteDatabase->SetIterationIndex(0));
        bool eof = false;
        com::check(RemoteDatabase->GetEOF(&eof));
        std::int32_t index = 0, recordId = 0, category = 0, attributes = 0;
        ByteArray data;
        auto readNext = [&] {
            com::check(RemoteDatabase->ReadNextRecord(&index, &recordId, &category, &attributes, &data));
            com::check(RemoteDatabase->GetEOF(&eof));
        };
        if (!eof)
            readNext();
        while (!eof) {
            std::unique_ptr<TToDoObject> created = newRecordObject();
            readRemoteRecord(*created, data, index, recordId, category, attributes);
            created->SyncState = saNone;
            std::string key = recordKey(created->RecordId);
            TToDoObject *remote = RemoteList->add(key, std::move(created));

            TToDoObject *local = LocalList->find(key);
            bool found = local != nullptr;
            if (!local) {
                if (locateLocalRow(remote->RecordId)) {
                    auto row = newRecordObject();
                    row->readFromDesktop(*DesktopTable);
                    row->SyncState = saNone;
                    local = LocalList->add(key, std::move(row));
                    found = true;
                } else if (!remote->isDeleted()) {
                    auto row = newRecordObject();
                    row->assign(*remote);
                    row->SyncState = saAddLocal;
                    local = LocalList->add(key, std::move(row));
                    found = false;
                }
            }

            if (remote->isDeleted()) {
                if (!local) {
                    remote->SyncState = saDeleteRemote;
                } else if (local->Deleted) {
                    local->SyncState = saDeleteLocal;
                    remote->SyncState = saDeleteRemote;
                } else if (local->Modified) {
                    // The desktop change survives the handheld deletion.
                    std::int32_t saved = remote->Attributes;
                    remote->assign(*local);
                    remote->Attributes = saved;
                    remote->SyncState = saUpdateRemote;
                    local->SyncState = saUpdateLocal;
                } else {
                    local->SyncState = saDeleteLocal;
                    remote->SyncState = saDeleteRemote;
                }
            } else if (remote->isDirty() && local) {
                // Both sides changed: the handheld version wins.
                local->assign(*remote);
                local->SyncState = found ? saUpdateLocal : saAddLocal;
                remote->SyncState = saUpdateLocal;
            }

            if (!eof)
                readNext();
        }

        applyRemoteActions();
        applyLocalActions();
    });
}

void TKLXGVClientNotify::copyToPalm()
{
    prefixed("copyToPalm: ", "", "copyToPalm: Unknown Error", [&] {
        std::int32_t count = 0;
        com::check(RemoteDatabase->GetRecordCount(&count));
        if (count > 0)
            com::check(RemoteDatabase->RemoveRecordSet(eRemoveAll, 0));
        loadLocalChanges();
        for (auto &entry : *LocalList)
            entry.second->SyncState = saAddRemote;
        applyLocalActions();
    });
}

// A record that cannot be read stops the run; the message names the
// database and the record so the user can find it.
void TKLXGVClientNotify::readRemoteRecord(TToDoObject &object, const ByteArray &data, std::int32_t index,
                                          std::int32_t recordId, std::int32_t category, std::int32_t attributes)
{
    try {
        object.readFromRemote(Utility.get(), data, index, recordId, category, attributes);
    } catch (const std::exception &e) {
        std::string name;
        if (com::FAILED(RemoteDatabase->GetDatabaseName(&name)))
            com::TakeErrorInfo();
        throw SyncError(std::string(e.what()) + " (" + name + " record " + std::to_string(recordId) + ")");
    }
}

void TKLXGVClientNotify::applyRemoteActions()
{
    for (auto &entry : *RemoteList) {
        TToDoObject &remote = *entry.second;
        switch (remote.SyncState) {
        case saUpdateRemote:
            remote.writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
            break;
        case saDeleteRemote:
            com::check(RemoteDatabase->RemoveRecord(remote.RecordId));
            break;
        default:
            // Writing back clears every attribute bit, the dirty bit included.
            if (remote.Attributes != 0)
                remote.writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
            break;
        }
    }
}

void TKLXGVClientNotify::postRow(TToDoObject &object)
{
    try {
        object.writeToDesktop(*DesktopTable, false, false, true);
        DesktopTable->post();
    } catch (...) {
        if (DesktopTable->state() == desktopdb::DataSetState::Edit ||
            DesktopTable->state() == desktopdb::DataSetState::Insert)
            DesktopTable->cancel();
        throw;
    }
}

void TKLXGVClientNotify::rewriteRow(TToDoObject &object)
{
    try {
        DesktopTable->setRecNo(object.RecNo);
        DesktopTable->edit();
    } catch (...) {
        if (DesktopTable->state() == desktopdb::DataSetState::Edit)
            DesktopTable->cancel();
        throw;
    }
    postRow(object);
}

void TKLXGVClientNotify::applyLocalActions()
{
    // Pass 1: the handheld side of every desktop change, and row rewrites.
    for (auto &entry : *LocalList) {
        TToDoObject &local = *entry.second;
        switch (local.SyncState) {
        case saAddRemote: {
            std::unique_ptr<TToDoObject> copy = newRecordObject();
            copy->assign(local);
            std::int32_t oldId = local.RecordId;
            copy->setRecordId(0);
            copy->writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
            local.setRecordId(copy->RecordId);
            rewriteRow(local);
            // 0 names no record, so nothing can refer to a row that carried
            // it; a pair for it would renumber every empty reference.
            if (CurrentIdPairs && oldId != 0)
                addIdPair(oldId, local.RecordId);
            local.SyncState = saNone;
            break;
        }
        case saUpdateRemote:
            if (TToDoObject *remote = RemoteList->find(recordKey(local.RecordId))) {
                remote->assign(local);
                remote->writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
                rewriteRow(local);
                local.SyncState = saNone;
            }
            break;
        case saDeleteRemote:
            if (RemoteList->find(recordKey(local.RecordId)))
                com::check(RemoteDatabase->RemoveRecord(local.RecordId));
            local.SyncState = saDeleteLocal;
            break;
        case saUpdateLocal:
            rewriteRow(local);
            local.SyncState = saNone;
            break;
        default:
            break;
        }
    }

    // Pass 2: desktop deletions.
    for (auto &entry : *LocalList) {
        if (entry.second->SyncState == saDeleteLocal && locateLocalRow(entry.second->RecordId))
            DesktopTable->remove();
    }

    // Pass 3: purge the handheld records still marked deleted.
    std::int32_t count = 0;
    com::check(RemoteDatabase->GetRecordCount(&count));
    if (count > 0)
        com::check(RemoteDatabase->RemoveRecordSet(eRemoveDeleted, 0));

    // Pass 4: rows for records that exist only on the handheld.
    for (auto &entry : *LocalList) {
        TToDoObject &local = *entry.second;
        if (local.SyncState != saAddLocal)
            continue;
        DesktopTable->append();
        postRow(local);
        local.SyncState = saNone;
    }
}

void TKLXGVClientNotify::addIdPair(std::int32_t oldId, std::int32_t newId)
{
    auto pair = std::make_unique<TRecordIDObject>();
    pair->OldId = oldId;
    pair->NewId = newId;
    CurrentIdPairs->push_back({std::to_string(oldId), std::move(pair)});
}

// ---------------------------------------------------------------------------
// Cross references

struct TKLXGVClientNotify::ReferenceFix {
    const char *database;
    const char *column;
    std::function<void(TToDoObject &, std::int32_t)> setField;
};

void TKLXGVClientNotify::fixVehicleOilGradeIds(const TIdPairList &pairs)
{
    fixReferences({"VehicleDB-KLXC", "OilGradeId",
                   [](TToDoObject &o, std::int32_t id) { static_cast<TToDoVehicleObject &>(o).Rec.OilGradeId = id; }},
                  pairs);
}

void TKLXGVClientNotify::fixMainVendorIds(const TIdPairList &pairs)
{
    fixReferences({"MainDB-KLXC", "VendorId",
                   [](TToDoObject &o, std::int32_t id) { static_cast<TToDoMainObject &>(o).Rec.VendorId = id; }},
                  pairs);
}

void TKLXGVClientNotify::fixMainVehicleIds(const TIdPairList &pairs)
{
    fixReferences({"MainDB-KLXC", "VehicleId",
                   [](TToDoObject &o, std::int32_t id) { static_cast<TToDoMainObject &>(o).Rec.VehicleId = id; }},
                  pairs);
}

// Every row whose reference column holds a pair's OldId gets the pair's
// NewId, in its row and in its handheld record. The rows are read once:
// each match becomes one event per pair it matches, and the events are
// handled in pair order, then row order, so the outcome is that of walking
// all rows once per pair (the later of two pairs with the same OldId wins,
// and a row is compared with the value it held when the operation began).
void TKLXGVClientNotify::fixReferences(const ReferenceFix &fix, const TIdPairList &pairs)
{
    try {
        openDesktopDatabase(fix.database);
        openRemoteDatabase(fix.database);

        std::unordered_map<std::int32_t, std::vector<std::size_t>> pairsByOldId;
        for (std::size_t i = 0; i < pairs.size(); ++i)
            pairsByOldId[pairs[i].pair->OldId].push_back(i);

        struct Event {
            std::size_t pair;
            std::int32_t recNo;
        };
        std::vector<Event> events;
        DesktopTable->first();
        while (!DesktopTable->eof()) {
            auto it = pairsByOldId.find(DesktopTable->fieldByName(fix.column).asInteger());
            if (it != pairsByOldId.end())
                for (std::size_t p : it->second)
                    events.push_back({p, DesktopTable->recNo()});
            DesktopTable->next();
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const Event &a, const Event &b) { return a.pair < b.pair; });

        for (const Event &event : events) {
            const std::int32_t newId = pairs[event.pair].pair->NewId;
            DesktopTable->setRecNo(event.recNo);
            const std::int32_t id = DesktopTable->fieldByName("DBID").asInteger();
            const std::string key = recordKey(id);

            TToDoObject *remote = RemoteList->find(key);
            if (remote) {
                fix.setField(*remote, newId);
            } else {
                std::unique_ptr<TToDoObject> created = newRecordObject();
                created->readFromDesktop(*DesktopTable);
                com::check(RemoteDatabase->SetIterationIndex(0));
                bool eof = false;
                com::check(RemoteDatabase->GetEOF(&eof));
                if (eof)
                    throw SyncError("No Palm records found, unable to locate record");
                std::int32_t index = 0, category = 0, attributes = 0;
                ByteArray data;
                com::check(RemoteDatabase->ReadRecordById(&index, id, &category, &attributes, &data));
                readRemoteRecord(*created, data, index, id, category, attributes);
                fix.setField(*created, newId);
                created->SyncState = saUpdateRemote;
                remote = RemoteList->add(key, std::move(created));
            }

            if (TToDoObject *local = LocalList->find(key)) {
                fix.setField(*local, newId);
            } else {
                std::unique_ptr<TToDoObject> row = newRecordObject();
                row->assign(*remote);
                row->RecNo = event.recNo;
                row->SyncState = saUpdateLocal;
                LocalList->add(key, std::move(row));
            }
        }

        applyRemoteActions();
        applyLocalActions();
    } catch (...) {
        freeRecordObjects(*LocalList);
        freeRecordObjects(*RemoteList);
        try {
            commitTable();
        } catch (...) {
        }
        throw;
    }
    freeRecordObjects(*LocalList);
    freeRecordObjects(*RemoteList);
    commitTable();
}

// ---------------------------------------------------------------------------
// Configuration

HRESULT TKLXGVClientNotify::ConfigureConduit(std::int32_t, std::int32_t, std::int32_t *preference,
                                             std::int32_t *syncType)
{
    if (!preference || !syncType)
        return com::E_POINTER;
    return com::guarded([&] {
        ConfigureDialogFn dialog = currentDialog();
        if (!dialog)
            return com::fail(com::E_NOTIMPL, "The configuration dialog is not available");
        ConfigureChoice choice;
        if (dialog(nullptr, choice)) {
            *syncType = choice.action;
            *preference = choice.setAsDefault ? 1 : 2;
        }
        return com::S_OK;
    });
}

HRESULT TKLXGVClientNotify::CfgConduit(std::int32_t, std::int32_t, const std::string &, const std::string &,
                                       std::int32_t *permanent, std::int32_t *temporary, std::int32_t *newSyncType,
                                       std::int32_t *preference)
{
    if (!permanent || !temporary || !newSyncType || !preference)
        return com::E_POINTER;
    return com::guarded([&] {
        ConfigureDialogFn dialog = currentDialog();
        if (!dialog)
            return com::fail(com::E_NOTIMPL, "The configuration dialog is not available");
        ConfigureChoice choice;
        if (dialog(temporary, choice)) {
            *temporary = choice.action;
            *newSyncType = *temporary;
            if (choice.setAsDefault) {
                *permanent = *temporary;
                *preference = 1;
            } else {
                *preference = 2;
            }
        }
        return com::S_OK;
    });
}

HRESULT TKLXGVClientNotify::GetConduitInfo(std::int32_t kind, std::int32_t, std::int32_t, const std::string &,
                                           com::Variant *value)
{
    if (!value)
        return com::E_POINTER;
    *value = std::monostate{};
    switch (kind) {
    case 0: *value = std::string("Gearvane"); break;
    case 1: *value = std::int32_t(268435456); break;
    case 2: *value = std::int32_t(0); break;
    case 3: *value = std::int32_t(1); break;
    default: break;
    }
    return com::S_OK;
}

} // namespace conduit
