#pragma once

// The conduit's sync object: the HotSync host creates it and calls
// BeginProcess once per HotSync of a user. It synchronises the four handheld
// databases with their desktop tables, renumbers the references between
// them and writes one line with the outcome into the HotSync log.

#include "KeyedList.h"
#include "RecordIDObject.h"
#include "ToDoObject.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
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

    void openDesktopDatabase(const std::string &name);
    void createDatabase(const std::string &path, const std::string &name);
    bool locateLocalRow(std::int32_t id);

    void syncLocalFromRemote(std::int32_t syncType);
    void copyToPalm();
    void loadLocalChanges();
    void applyRemoteActions();
    void applyLocalActions();
    void addIdPair(std::int32_t oldId, std::int32_t newId);

    void fixVehicleOilGradeIds(const TIdPairList &pairs);
    void fixMainVendorIds(const TIdPairList &pairs);
    void fixMainVehicleIds(const TIdPairList &pairs);

    // Fields in their declared order.
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
    void fixReferences(const ReferenceFix &fix, const TIdPairList &pairs);
    // Moves to the object's row, edits, writes and posts it; a failure
    // cancels the pending edit and travels on.
    void rewriteRow(TToDoObject &object);
    void postRow(TToDoObject &object);
    std::int32_t syncType();
    void commitTable();
    void releaseRunObjects();
};

// The text of a failure, or empty when it carries none.
std::string failureMessage(std::exception_ptr failure);

} // namespace conduit
