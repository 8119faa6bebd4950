#pragma once

// The conduit's sync object: the HotSync host creates it and calls
// BeginProcess once per HotSync of a user. It synchronises the four handheld
// databases with their desktop tables, renumbers the references between
// them and writes one line with the outcome into the HotSync log.

#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "conduit/KeyedList.h"
#include "conduit/RecordIDObject.h"
#include "conduit/ToDoObject.h"
#include "desktopdb/Table.h"
#include "palmsync/SyncSuite.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace conduit {

using TRecordList = TKeyedList<TToDoObject>;

// Sync type codes as HotSync reports them.
constexpr std::int32_t SyncTypeSynchronize = 0;
constexpr std::int32_t SyncTypeSynchronizeToo = 1;
constexpr std::int32_t SyncTypeHandheldOverwrites = 2;
constexpr std::int32_t SyncTypeDesktopOverwrites = 3;
constexpr std::int32_t SyncTypeNothing = 6;

// Action codes of the sync lists (a record object's SyncState).
enum : std::uint8_t {
    saAddRemote = 0,
    saUpdateRemote = 1,
    saDeleteRemote = 2,
    saAddLocal = 3,
    saUpdateLocal = 4,
    saDeleteLocal = 5,
    saNone = 6,
};

// What the configuration dialog hands back: the chosen sync type and
// whether it is to become the default; nothing when it was not confirmed.
struct ConfigureChoice {
    std::int32_t action = 0;
    bool setAsDefault = false;
};
// Shows the configuration dialog opened on `initialAction` (or on
// "synchronise" when it is empty) and returns the choice, or false when the
// user did not press OK. The plug-in installs the real dialog.
using ConfigureDialogFn = std::function<bool(const std::int32_t *initialAction, ConfigureChoice &choice)>;

class TKLXGVClientNotify : public com::ComObject<palmsync::IPDClientNotify> {
public:
    TKLXGVClientNotify();
    ~TKLXGVClientNotify() override;

    // Sync objects alive in the process (for DllCanUnloadNow).
    static int liveObjects();
    static void setConfigureDialog(ConfigureDialogFn dialog);

    // IPDClientNotify
    com::HRESULT BeginProcess(std::int16_t *result) override;
    com::HRESULT ConfigureConduit(std::int32_t creatorId, std::int32_t userId, std::int32_t *preference,
                                  std::int32_t *syncType) override;
    com::HRESULT GetConduitInfo(std::int32_t kind, std::int32_t creatorId, std::int32_t userId,
                                const std::string &userName, com::Variant *value) override;
    com::HRESULT CfgConduit(std::int32_t creatorId, std::int32_t userId, const std::string &userName,
                            const std::string &pathName, std::int32_t *permanent, std::int32_t *temporary,
                            std::int32_t *newSyncType, std::int32_t *preference) override;

    // Operations of one run, in the order the run uses them.
    void syncStandard();
    void openRemoteDatabase(const std::string &name);
    void logMessage(const std::string &text);
    std::unique_ptr<TToDoObject> newRecordObject() const;
    static std::string recordKey(std::int32_t id);
    void freeRecordObject(std::unique_ptr<TToDoObject> object);
    void freeRecordObjects(TRecordList &list);
    void freeIdPairs(TIdPairList &list);

    // `attachments` are further table files (by handheld database name)
    // whose bookkeeping the table's transaction commits too.
    void openDesktopDatabase(const std::string &name, const std::vector<std::string> &attachments = {});
    void createDatabase(const std::string &path, const std::string &name);
    bool locateLocalRow(std::int32_t id);

    void syncLocalFromRemote(std::int32_t syncType);
    void copyToPalm();
    void renumberReferencesOnCopy();
    // The rows with work for the handheld; with `everyRow` (the table is
    // written whole from the desktop) every row.
    void loadLocalChanges(bool everyRow = false);
    void applyRemoteActions();
    void applyLocalActions();
    void addIdPair(std::int32_t oldId, std::int32_t newId);

    void fixVehicleOilGradeIds(const TIdPairList &pairs);
    void fixMainVendorIds(const TIdPairList &pairs);
    void fixMainVehicleIds(const TIdPairList &pairs);

    // Finishes what an interrupted HotSync committed: publishes the staged
    // handheld changes whose desktop rows were committed, drops the others,
    // and renumbers the references that its id pairs still wait for.
    void completeInterruptedSync();
    // Renumbers the references to the rows whose id pairs the tables hold,
    // and removes those pairs, each table in one unit with its handheld
    // database.
    void crossReferencePass();

    // The sync object's fields, in the order of its class layout (which
    // other code built against this class relies on): leave the order as it is.
    std::string UserName;
    com::ComPtr<palmsync::IPDDatabaseQuery> DatabaseQuery;
    com::ComPtr<palmsync::IPDHotsyncInfo> HotsyncInfo;
    TIdPairList *CurrentIdPairs = nullptr;
    std::unique_ptr<TRecordList> LocalList;
    std::unique_ptr<TRecordList> RemoteList;
    com::ComPtr<palmsync::IPDRecordAdapter> RemoteDatabase;
    com::ComPtr<palmsync::IPDSystemAdapter> SystemAdapter;
    std::unique_ptr<desktopdb::Table> DesktopTable;
    com::ComPtr<palmsync::IPDUtility> Utility;
    std::unique_ptr<desktopdb::SqlQuery> SqlQuery;

private:
    struct ReferenceFix;
    // The references of a table's rows, each with the table it refers to.
    static std::vector<ReferenceFix> referencesOf(const std::string &database);
    void fixReferences(const char *database, std::vector<ReferenceFix> fixes);
    // Opens the handheld database and its table (with `attachments`), runs
    // `work` and commits both as one unit with the pairs `work` returns; a
    // failure before the commit leaves the table as it was on both sides.
    void tableStep(const char *database, const std::vector<std::string> &attachments,
                   const std::function<const TIdPairList *()> &work);
    // "Desktop overwrites handheld", from the `first` table of its order on.
    void overwriteHandheld(std::size_t first);
    // The work on the open table and handheld database as one unit: the
    // handheld's changes are staged, the desktop transaction commits them
    // with a marker of the staged changes (and `newPairs`), then they are
    // put in place. Once the desktop commit is made it is never undone.
    void commitTableStep(const TIdPairList *newPairs);
    // Drops the work on the open table on both sides after a failure that
    // came before the desktop commit.
    void abandonTableStep();
    std::string desktopFolder();
    bool openExistingTable(const std::string &database);
    // Moves to the object's row, edits, writes and posts it; a failure
    // cancels the pending edit and travels on.
    void rewriteRow(TToDoObject &object, bool modified = false, bool deleted = false, bool synced = true);
    // Writes the object into the row being edited or appended, with the
    // given flags (by default those of a row in step), and posts it.
    void postRow(TToDoObject &object, bool modified = false, bool deleted = false, bool synced = true);
    std::int32_t syncType();
    void readRemoteRecord(TToDoObject &object, const ByteArray &data, std::int32_t index, std::int32_t recordId,
                          std::int32_t category, std::int32_t attributes);
    void releaseRunObjects();

    // The desktop transaction of the open table step has been committed:
    // a later failure of that step must not drop its handheld changes.
    bool stepCommitted_ = false;

    // The host's progress display, when it has one, and what the open step
    // changed so far.
    com::ComPtr<palmsync::IPDSyncProgress> progress_;
    palmsync::SyncCounts counts_;
    // Tells the host how far `stage` of the open table has got; only every
    // so many records, and at the last.
    void reportProgress(const char *stage, std::int32_t done, std::int32_t total);
};

// The text of a failure, or empty when it carries none.
std::string failureMessage(std::exception_ptr failure);

} // namespace conduit
