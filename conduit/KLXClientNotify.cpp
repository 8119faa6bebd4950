#include "conduit/KLXClientNotify.h"

#include "SyncJournal.h"
#include "com/ClassTable.h"
#include "com/ComError.h"
#include "conduit/ConduitUtils.h"
#include "conduit/DesktopSchema.h"
#include "conduit/ToDoMainObject.h"
#include "conduit/ToDoOilGradeObject.h"
#include "conduit/ToDoSupplierObject.h"
#include "conduit/ToDoVehicleObject.h"
#include "desktopdb/DesktopDbError.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <iterator>
#include <map>
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
        progress_ = SystemAdapter.as<IPDSyncProgress>();
        std::string name;
        com::check(HotsyncInfo->GetUserName(&name));
        UserName = name;
        std::int32_t type = syncType();
        // Whatever this HotSync is asked to do, the work an interrupted one
        // committed is finished first, so that no table is left with one
        // side ahead of the other and no reference left dangling.
        completeInterruptedSync();
        if (type >= SyncTypeSynchronize && type <= SyncTypeDesktopOverwrites)
            syncStandard();
    } catch (...) {
        std::string message = currentFailureMessage();
        logLine = "ERROR (Gearvane): " + (message.empty() ? std::string("Unknown error") : message);
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
    // Nothing that was not committed on purpose survives the run.
    if (DesktopTable && DesktopTable->inBatch() && !stepCommitted_)
        abandonTableStep();
    // The handheld database belongs to this HotSync: an adapter kept for a
    // later BeginProcess would act on a database that HotSync has closed.
    RemoteDatabase = nullptr;
    progress_ = nullptr;
    SystemAdapter = nullptr;
    HotsyncInfo = nullptr;
    DatabaseQuery = nullptr;
    Utility = nullptr;
    // Closing the table undoes what was not committed; a failure to do so
    // must not escape the entry point.
    try {
        DesktopTable.reset();
    } catch (...) {
    }
    SqlQuery.reset();
    RemoteList.reset();
    LocalList.reset();
    CurrentIdPairs = nullptr;
}

void TKLXGVClientNotify::commitTableStep(const TIdPairList *newPairs)
{
    auto transaction = RemoteDatabase ? RemoteDatabase.as<IPDDatabaseTransaction>() : ComPtr<IPDDatabaseTransaction>();
    std::string token;
    if (transaction)
        com::check(transaction->Stage(&token));
    if (!token.empty()) {
        std::string database;
        com::check(RemoteDatabase->GetDatabaseName(&database));
        journal::setStagedMarker(*DesktopTable, database, token);
    }
    if (newPairs)
        journal::storeIdPairs(*DesktopTable, *newPairs);
    DesktopTable->commitBatch();
    stepCommitted_ = true;
    if (!token.empty()) {
        // From here the staged changes belong in place: a failure leaves
        // them staged, and the next HotSync publishes them because of the
        // marker.
        com::check(transaction->Publish(token));
    }
    if (progress_ && com::FAILED(progress_->StepDone(DesktopTable->tableName(), counts_)))
        com::TakeErrorInfo();
}

void TKLXGVClientNotify::reportProgress(const char *stage, std::int32_t done, std::int32_t total)
{
    if (!progress_ || (done % 256 != 0 && done != total))
        return;
    if (com::FAILED(progress_->Progress(DesktopTable->tableName(), stage, done, total)))
        com::TakeErrorInfo();
}

void TKLXGVClientNotify::abandonTableStep()
{
    try {
        if (DesktopTable)
            DesktopTable->rollbackBatch();
    } catch (const std::exception &) {
        // Closing the table undoes the batch all the same.
    }
    if (RemoteDatabase) {
        if (auto transaction = RemoteDatabase.as<IPDDatabaseTransaction>()) {
            if (com::FAILED(transaction->Discard()))
                com::TakeErrorInfo();
        }
    }
}

std::int32_t TKLXGVClientNotify::syncType()
{
    std::int32_t type = 0;
    com::check(HotsyncInfo->GetSyncType(&type));
    return type;
}

struct TKLXGVClientNotify::ReferenceFix {
    const char *column;
    std::int32_t (*get)(const TToDoObject &);
    void (*set)(TToDoObject &, std::int32_t);
    journal::IdPairs pairs;
    // The handheld database whose table keeps the pairs; the fix removes
    // them there in its own transaction. None for pairs given directly.
    const char *source = nullptr;
};

namespace {

// The schema under which a table step sees the k-th table file attached to
// its own.
std::string attachedSchema(std::size_t k) { return "source" + std::to_string(k); }

// The order in which "desktop overwrites" writes the tables: each table
// after the ones it refers to, so that its references are renumbered as it
// is written. Every table but the last is referred to by one table after it.
constexpr const char *overwriteOrder[] = {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC", "MainDB-KLXC"};
constexpr std::size_t overwriteTables = std::size(overwriteOrder);

} // namespace

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
            if (type == SyncTypeDesktopOverwrites) {
                overwriteHandheld(0);
                return;
            }
            for (const Step &step : steps) {
                CurrentIdPairs = step.pairs;
                tableStep(step.database, {}, [&] {
                    syncLocalFromRemote(type);
                    // The pairs are kept with the rows that made them, so
                    // that no crash can lose the renumbering they call for.
                    return step.pairs;
                });
            }
            CurrentIdPairs = nullptr;
            if (!oilGradePairs.empty() || !supplierPairs.empty() || !vehiclePairs.empty())
                crossReferencePass();
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

void TKLXGVClientNotify::tableStep(const char *database, const std::vector<std::string> &attachments,
                                   const std::function<const TIdPairList *()> &work)
{
    // Each table is one unit on both sides: a failure inside it leaves it as
    // it was, and the tables before it stay done.
    stepCommitted_ = false;
    counts_ = {};
    try {
        openRemoteDatabase(database);
        openDesktopDatabase(database, attachments);
        const TIdPairList *newPairs = work();
        freeRecordObjects(*LocalList);
        freeRecordObjects(*RemoteList);
        commitTableStep(newPairs);
    } catch (...) {
        freeRecordObjects(*LocalList);
        freeRecordObjects(*RemoteList);
        if (!stepCommitted_)
            abandonTableStep();
        throw;
    }
}

// Writes the tables from `first` on (in overwrite order) whole to the
// handheld. A table's references are renumbered as its rows are written,
// with the pairs of the tables written before it; those pairs and their
// tables' marks go in the same commit. Until the table referring to it has
// been written, a written table keeps a mark, by which the next HotSync
// knows to finish this one.
void TKLXGVClientNotify::overwriteHandheld(std::size_t first)
{
    TIdPairList pairs;
    try {
        for (std::size_t i = first; i < overwriteTables; ++i) {
            const char *database = overwriteOrder[i];
            const bool referred = i + 1 < overwriteTables;
            std::vector<std::string> sources;
            for (const ReferenceFix &fix : referencesOf(database))
                sources.push_back(fix.source);
            CurrentIdPairs = referred ? &pairs : nullptr;
            tableStep(database, sources, [&] {
                copyToPalm();
                for (std::size_t k = 0; k < sources.size(); ++k) {
                    journal::removeIdPairs(*DesktopTable, attachedSchema(k));
                    journal::clearOverwritePending(*DesktopTable, attachedSchema(k));
                }
                if (referred)
                    journal::setOverwritePending(*DesktopTable);
                return CurrentIdPairs;
            });
            CurrentIdPairs = nullptr;
            freeIdPairs(pairs);
        }
    } catch (...) {
        CurrentIdPairs = nullptr;
        freeIdPairs(pairs);
        throw;
    }
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
                 // The handheld's changes wait for the desktop commit.
                 if (auto transaction = adapter.as<IPDDatabaseTransaction>())
                     com::check(transaction->Begin());
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

std::string TKLXGVClientNotify::desktopFolder()
{
    std::string folder;
    com::check(HotsyncInfo->GetPathName(&folder));
    if (folder.empty())
        throw SyncError("HotSync gave no folder for the desktop tables of user " + UserName);
    return folder;
}

// Opens the table paired with a handheld database when its file exists;
// false (and no table open) when it does not.
bool TKLXGVClientNotify::openExistingTable(const std::string &database)
{
    const TableSchema *schema = schemaForHandheldDatabase(database);
    DesktopTable->close();
    DesktopTable->setDatabaseName(desktopFolder());
    DesktopTable->setTableName(schema->tableName);
    if (!DesktopTable->exists())
        return false;
    DesktopTable->open();
    return true;
}

void TKLXGVClientNotify::openDesktopDatabase(const std::string &name, const std::vector<std::string> &attachments)
{
    prefixed("openDesktopDatabase: ", "", "openDesktopDatabase: Unknown error", [&] {
        const TableSchema *schema = schemaForHandheldDatabase(name);
        if (!schema)
            throw SyncError("Unknown table name");
        std::string folder = desktopFolder();
        DesktopTable->close();
        DesktopTable->setDatabaseName(folder);
        DesktopTable->setTableName(schema->tableName);
        // The engine finds "<folder>/<TABLE>.db" whatever the case of the
        // file name, as another program may have written it.
        if (!DesktopTable->exists())
            createDatabase(folder, name);
        DesktopTable->open();
        for (std::size_t i = 0; i < attachments.size(); ++i) {
            desktopdb::Table other;
            other.setDatabaseName(folder);
            other.setTableName(schemaForHandheldDatabase(attachments[i])->tableName);
            if (!other.exists())
                throw SyncError("The table " + other.tableName() + " is missing");
            DesktopTable->attach(other.filePath(), attachedSchema(i));
        }
        // The writes of one table go into one transaction, committed on
        // purpose by the sync step; anything else undoes them.
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

void TKLXGVClientNotify::loadLocalChanges(bool everyRow)
{
    DesktopTable->first();
    while (!DesktopTable->eof()) {
        std::int32_t id = DesktopTable->fieldByName("DBID").asInteger();
        std::unique_ptr<TToDoObject> object = newRecordObject();
        if (!DesktopTable->fieldByName("Synced").asBoolean() || everyRow) {
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
                ++counts_.desktopDeleted;
            }
        }
        loadLocalChanges();

        std::int32_t total = 0, read = 0;
        com::check(RemoteDatabase->GetRecordCount(&total));
        com::check(RemoteDatabase->SetIterationIndex(0));
        bool eof = false;
        com::check(RemoteDatabase->GetEOF(&eof));
        std::int32_t index = 0, recordId = 0, category = 0, attributes = 0;
        ByteArray data;
        auto readNext = [&] {
            com::check(RemoteDatabase->ReadNextRecord(&index, &recordId, &category, &attributes, &data));
            com::check(RemoteDatabase->GetEOF(&eof));
            if (!eof)
                reportProgress("reading", ++read, total);
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
        counts_.handheldDeleted += count;
        loadLocalChanges(true);
        renumberReferencesOnCopy();
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
            ++counts_.handheldChanged;
            break;
        case saDeleteRemote:
            com::check(RemoteDatabase->RemoveRecord(remote.RecordId));
            ++counts_.handheldDeleted;
            break;
        default:
            // Writing back clears every attribute bit, the dirty bit included.
            if (remote.Attributes != 0)
                remote.writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
            break;
        }
    }
}

void TKLXGVClientNotify::postRow(TToDoObject &object, bool modified, bool deleted, bool synced)
{
    try {
        object.writeToDesktop(*DesktopTable, modified, deleted, synced);
        DesktopTable->post();
    } catch (...) {
        if (DesktopTable->state() == desktopdb::DataSetState::Edit ||
            DesktopTable->state() == desktopdb::DataSetState::Insert)
            DesktopTable->cancel();
        throw;
    }
}

void TKLXGVClientNotify::rewriteRow(TToDoObject &object, bool modified, bool deleted, bool synced)
{
    try {
        DesktopTable->setRecNo(object.RecNo);
        DesktopTable->edit();
    } catch (...) {
        if (DesktopTable->state() == desktopdb::DataSetState::Edit)
            DesktopTable->cancel();
        throw;
    }
    postRow(object, modified, deleted, synced);
}

void TKLXGVClientNotify::applyLocalActions()
{
    // Pass 1: the handheld side of every desktop change, and row rewrites.
    const auto total = static_cast<std::int32_t>(LocalList->size());
    std::int32_t done = 0;
    for (auto &entry : *LocalList) {
        TToDoObject &local = *entry.second;
        reportProgress("writing", ++done, total);
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
            ++counts_.handheldAdded;
            break;
        }
        case saUpdateRemote:
            if (TToDoObject *remote = RemoteList->find(recordKey(local.RecordId))) {
                remote->assign(local);
                remote->writeToRemote(RemoteDatabase.get(), Utility.get(), 0);
                rewriteRow(local);
                local.SyncState = saNone;
                ++counts_.handheldChanged;
            }
            break;
        case saDeleteRemote:
            if (RemoteList->find(recordKey(local.RecordId))) {
                com::check(RemoteDatabase->RemoveRecord(local.RecordId));
                ++counts_.handheldDeleted;
            }
            local.SyncState = saDeleteLocal;
            break;
        case saUpdateLocal:
            rewriteRow(local);
            local.SyncState = saNone;
            ++counts_.desktopChanged;
            break;
        default:
            break;
        }
    }

    // Pass 2: desktop deletions.
    for (auto &entry : *LocalList) {
        if (entry.second->SyncState == saDeleteLocal && locateLocalRow(entry.second->RecordId)) {
            DesktopTable->remove();
            ++counts_.desktopDeleted;
        }
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
        ++counts_.desktopAdded;
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

namespace {

journal::IdPairs idPairsOf(const TIdPairList &list)
{
    journal::IdPairs pairs;
    for (const auto &entry : list)
        pairs.emplace_back(entry.pair->OldId, entry.pair->NewId);
    return pairs;
}

std::int32_t &oilGradeIdOf(TToDoObject &o) { return static_cast<TToDoVehicleObject &>(o).Rec.OilGradeId; }
std::int32_t &vendorIdOf(TToDoObject &o) { return static_cast<TToDoMainObject &>(o).Rec.VendorId; }
std::int32_t &vehicleIdOf(TToDoObject &o) { return static_cast<TToDoMainObject &>(o).Rec.VehicleId; }

template <std::int32_t &(*Field)(TToDoObject &)> std::int32_t getField(const TToDoObject &o)
{
    return Field(const_cast<TToDoObject &>(o));
}
template <std::int32_t &(*Field)(TToDoObject &)> void setField(TToDoObject &o, std::int32_t id)
{
    Field(o) = id;
}

} // namespace

void TKLXGVClientNotify::fixVehicleOilGradeIds(const TIdPairList &pairs)
{
    fixReferences("VehicleDB-KLXC",
                  {{"OilGradeId", getField<oilGradeIdOf>, setField<oilGradeIdOf>, idPairsOf(pairs), nullptr}});
}

void TKLXGVClientNotify::fixMainVendorIds(const TIdPairList &pairs)
{
    fixReferences("MainDB-KLXC", {{"VendorId", getField<vendorIdOf>, setField<vendorIdOf>, idPairsOf(pairs), nullptr}});
}

void TKLXGVClientNotify::fixMainVehicleIds(const TIdPairList &pairs)
{
    fixReferences("MainDB-KLXC",
                  {{"VehicleId", getField<vehicleIdOf>, setField<vehicleIdOf>, idPairsOf(pairs), nullptr}});
}

std::vector<TKLXGVClientNotify::ReferenceFix> TKLXGVClientNotify::referencesOf(const std::string &database)
{
    // The log's vendor comes first, as the fixes of the two references
    // always ran in that order.
    if (database == "VehicleDB-KLXC")
        return {{"OilGradeId", getField<oilGradeIdOf>, setField<oilGradeIdOf>, {}, "OilGradeDB-KLXC"}};
    if (database == "MainDB-KLXC")
        return {{"VendorId", getField<vendorIdOf>, setField<vendorIdOf>, {}, "SupplierDB-KLXC"},
                {"VehicleId", getField<vehicleIdOf>, setField<vehicleIdOf>, {}, "VehicleDB-KLXC"}};
    return {};
}

void TKLXGVClientNotify::crossReferencePass()
{
    // A table that cannot be read holds no pairs this pass can apply; its
    // own sync step reports it.
    auto holdsPairs = [&](const char *database) {
        try {
            return openExistingTable(database) && !journal::idPairs(*DesktopTable).empty();
        } catch (const desktopdb::DesktopDbError &) {
            return false;
        }
    };
    std::map<std::string, bool> pending;
    for (const char *database : {"OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC"})
        pending[database] = holdsPairs(database);
    DesktopTable->close();
    // Both references of the log in one pass over its table and records, as
    // if the two fixes ran one after the other.
    for (const char *database : {"VehicleDB-KLXC", "MainDB-KLXC"}) {
        std::vector<ReferenceFix> fixes;
        for (ReferenceFix &fix : referencesOf(database)) {
            if (pending[fix.source])
                fixes.push_back(std::move(fix));
        }
        if (!fixes.empty())
            fixReferences(database, std::move(fixes));
    }
}

// The rows about to be written whole to the handheld take the new ids of the
// rows they refer to, from the pairs of the tables attached to the open one
// (the sources of its references, in order). Each reference is looked up as
// the row holds it, once: of two pairs with the same OldId the later wins.
void TKLXGVClientNotify::renumberReferencesOnCopy()
{
    std::string database;
    com::check(RemoteDatabase->GetDatabaseName(&database));
    std::size_t k = 0;
    for (const ReferenceFix &fix : referencesOf(database)) {
        std::unordered_map<std::int32_t, std::int32_t> newIdOf;
        for (const auto &[oldId, newId] : journal::idPairs(*DesktopTable, attachedSchema(k++)))
            newIdOf[oldId] = newId;
        if (newIdOf.empty())
            continue;
        for (auto &entry : *LocalList) {
            if (auto m = newIdOf.find(fix.get(*entry.second)); m != newIdOf.end()) {
                fix.set(*entry.second, m->second);
                ++counts_.renumbered;
            }
        }
    }
}

// Every row whose reference column holds a pair's OldId gets the pair's
// NewId, in its row and in its handheld record. Each fix compares the rows
// as they were when it began (so a NewId that equals another pair's OldId
// does not match twice, and of two pairs with the same OldId the later
// wins); a row a fix has taken up carries its handheld record's content
// from then on, as the rewritten row would. The table and the records are
// each read once and written once, in one unit on both sides together with
// the removal of the pairs that were applied.
void TKLXGVClientNotify::fixReferences(const char *database, std::vector<ReferenceFix> fixes)
{
    std::vector<std::string> sources;
    for (const ReferenceFix &fix : fixes) {
        if (fix.source)
            sources.push_back(fix.source);
    }
    stepCommitted_ = false;
    counts_ = {};
    try {
        openDesktopDatabase(database, sources);
        openRemoteDatabase(database);
        // Pairs kept in the tables are read inside the transaction that
        // removes them.
        for (std::size_t i = 0, k = 0; i < fixes.size(); ++i) {
            if (fixes[i].source)
                fixes[i].pairs = journal::idPairs(*DesktopTable, attachedSchema(k++));
        }

        struct TakenRecord {
            std::unique_ptr<TToDoObject> object;
            bool keepAttributes = true; // unless a row in step with it took it up
        };
        struct TakenRow {
            std::unique_ptr<TToDoObject> local;
            TakenRecord *remote; // none when the row has no record on the handheld
            bool inStep;
        };
        std::map<std::int32_t, TakenRow> rows;               // by row number
        std::map<std::int32_t, TakenRecord> handheldRecords; // by record id

        // The handheld record of a row, read once; none when the handheld
        // does not hold it and `required` is not set.
        auto recordOf = [&](std::int32_t id, bool required) -> TakenRecord * {
            auto found = handheldRecords.find(id);
            if (found != handheldRecords.end())
                return &found->second;
            com::check(RemoteDatabase->SetIterationIndex(0));
            bool eof = false;
            com::check(RemoteDatabase->GetEOF(&eof));
            if (eof && required)
                throw SyncError("No Palm records found, unable to locate record");
            if (eof)
                return nullptr;
            std::int32_t index = 0, category = 0, attributes = 0;
            ByteArray data;
            const HRESULT hr = RemoteDatabase->ReadRecordById(&index, id, &category, &attributes, &data);
            if (com::FAILED(hr)) {
                if (required)
                    com::throwError(hr);
                com::TakeErrorInfo();
                return nullptr;
            }
            std::unique_ptr<TToDoObject> record = newRecordObject();
            record->readFromDesktop(*DesktopTable);
            readRemoteRecord(*record, data, index, id, category, attributes);
            return &(handheldRecords[id] = TakenRecord{std::move(record), true});
        };

        for (const ReferenceFix &fix : fixes) {
            std::unordered_map<std::int32_t, std::int32_t> newIdOf;
            for (const auto &[oldId, newId] : fix.pairs)
                newIdOf[oldId] = newId;
            if (newIdOf.empty())
                continue;
            std::vector<std::pair<std::int32_t, std::int32_t>> matches; // row number, new id
            const std::int32_t rowCount = DesktopTable->recordCount();
            for (DesktopTable->first(); !DesktopTable->eof(); DesktopTable->next()) {
                const std::int32_t recNo = DesktopTable->recNo();
                reportProgress("renumbering", recNo, rowCount);
                auto taken = rows.find(recNo);
                const std::int32_t value = taken != rows.end() ? fix.get(*taken->second.local)
                                                               : DesktopTable->fieldByName(fix.column).asInteger();
                if (auto m = newIdOf.find(value); m != newIdOf.end())
                    matches.emplace_back(recNo, m->second);
            }
            for (const auto &[recNo, newId] : matches) {
                auto taken = rows.find(recNo);
                if (taken == rows.end()) {
                    DesktopTable->setRecNo(recNo);
                    std::unique_ptr<TToDoObject> local = newRecordObject();
                    local->readFromDesktop(*DesktopTable);
                    local->RecNo = recNo;
                    const std::int32_t id = local->RecordId;
                    // A row in step with the handheld takes the handheld
                    // record's content, as the rewritten pair of a sync
                    // does. A row with work waiting (not yet on the
                    // handheld, changed or deleted since: pairs an earlier
                    // HotSync left are applied before this one syncs) keeps
                    // its content and flags, and so does its record: only the
                    // reference changes, so that the sync still finds the
                    // work and nothing is lost.
                    bool inStep = local->Synced && !local->Modified && !local->Deleted;
                    TakenRecord *record = local->Synced ? recordOf(id, inStep) : nullptr;
                    if (record && record->object->isDeleted()) {
                        inStep = false;
                        record = nullptr;
                    }
                    if (inStep) {
                        record->keepAttributes = false;
                        local->assign(*record->object);
                        local->RecNo = recNo;
                    }
                    taken = rows.emplace(recNo, TakenRow{std::move(local), record, inStep}).first;
                }
                if (taken->second.remote)
                    fix.set(*taken->second.remote->object, newId);
                fix.set(*taken->second.local, newId);
                ++counts_.renumbered;
            }
        }

        for (auto &[id, record] : handheldRecords) {
            TToDoObject &object = *record.object;
            object.writeToRemote(RemoteDatabase.get(), Utility.get(), record.keepAttributes ? object.Attributes : 0);
        }
        for (auto &[recNo, row] : rows) {
            if (row.inStep) {
                rewriteRow(*row.local);
            } else {
                rewriteRow(*row.local, row.local->Modified, row.local->Deleted, row.local->Synced);
            }
        }
        for (std::size_t k = 0; k < sources.size(); ++k)
            journal::removeIdPairs(*DesktopTable, attachedSchema(k));
        commitTableStep(nullptr);
    } catch (...) {
        if (!stepCommitted_)
            abandonTableStep();
        throw;
    }
}

// ---------------------------------------------------------------------------
// An interrupted HotSync

void TKLXGVClientNotify::completeInterruptedSync()
{
    static const char *const databases[] = {"MainDB-KLXC", "OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC"};
    prefixed("completeInterruptedSync: ", "", "completeInterruptedSync: Unknown error", [&] {
        // Without a folder there are no tables; the sync step says so.
        std::string folder;
        com::check(HotsyncInfo->GetPathName(&folder));
        if (folder.empty())
            return;
        if (auto staged = DatabaseQuery.as<IPDStagedChanges>()) {
            // Staged changes whose token the desktop committed belong in
            // place; the others were never committed, so the handheld keeps
            // its database as it was, as the desktop kept its rows. The
            // staged changes of a table that cannot be read are left alone:
            // its sync step reports the table, and nothing is decided blind.
            for (const char *database : databases) {
                std::vector<std::string> tokens;
                com::check(staged->ListStaged(database, &tokens));
                if (tokens.empty())
                    continue;
                std::string committed;
                try {
                    if (openExistingTable(database)) {
                        for (const auto &marker : journal::stagedMarkers(*DesktopTable)) {
                            if (marker.database == database)
                                committed = marker.token;
                        }
                    }
                } catch (const desktopdb::DesktopDbError &) {
                    continue;
                }
                for (const auto &token : tokens) {
                    if (token == committed)
                        com::check(staged->PublishStaged(database, token));
                    else
                        com::check(staged->DiscardStaged(database, token));
                }
            }
            DesktopTable->close();
        }
        // A HotSync that was writing the handheld whole from the desktop is
        // finished first: the tables it had not reached are written, with
        // their references renumbered from the pairs the written ones keep.
        // Applying those pairs to the tables as they stand instead would
        // meet a handheld the desktop was about to replace.
        std::size_t resumeAt = 0;
        std::exception_ptr unreadable;
        for (std::size_t i = 0; i + 1 < overwriteTables; ++i) {
            try {
                if (openExistingTable(overwriteOrder[i]) && journal::overwritePending(*DesktopTable))
                    resumeAt = i + 1;
            } catch (const desktopdb::DesktopDbError &) {
                unreadable = std::current_exception();
            }
        }
        DesktopTable->close();
        if (resumeAt > 0) {
            // Where to go on from must be known for certain: writing a table
            // twice would leave its referrers with pairs of the first write.
            if (unreadable)
                std::rethrow_exception(unreadable);
            overwriteHandheld(resumeAt);
        }
        crossReferencePass();
    });
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
