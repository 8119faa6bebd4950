// A small COM conduit for the tests of the hotsync program. Its sync object
// logs what the HotSync handed it and adds one record to the handheld
// database "FakeDB-TEST"; files in the conduit folder change its behaviour:
//   fail-status   BeginProcess returns a failing status
//   keep-alive    the sync object keeps itself alive until the process ends
// CfgConduit answers from $GVTEST_CFG_ANSWER ("PREFERENCE ACTION"; unset:
// as if cancelled) and writes the values it received to $GVTEST_CFG_RECORD.
#include "com/ClassTable.h"
#include "com/ComError.h"
#include "com/ComObject.h"
#include "palmsync/SyncSuite.h"
#include "registry/Registry.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace com;
using namespace palmsync;

namespace {

constexpr CLSID clsidFake = guid("{6C0D9E21-4B7A-4F55-9E3A-2B1C0D4E5F60}");
constexpr const char *progId = "GvTest.FakeClientNotify";
constexpr const char *databaseName = "FakeDB-TEST";

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};
// Holds the sync object of a "keep-alive" run until the process ends.
ComPtr<IPDClientNotify> keptObject;

void hostLog(const std::string &line)
{
    auto adapter = createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid);
    auto log = adapter.query<IPDHostLog>();
    log->AddLogEntry(line);
}

class FakeClientNotify : public ComObject<IPDClientNotify> {
public:
    FakeClientNotify() { ++liveObjects; }
    ~FakeClientNotify() override { --liveObjects; }

    HRESULT BeginProcess(std::int16_t *result) override
    {
        *result = 0;
        std::int32_t syncType = 0;
        std::string user, path;
        {
            auto adapter = createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid);
            ComPtr<IPDHotsyncInfo> info;
            check(adapter->GetHotsyncInfo(reinterpret_cast<IPDHotsyncInfo **>(info.put())));
            check(info->GetSyncType(&syncType));
            check(info->GetUserName(&user));
            check(info->GetPathName(&path));
        }
        if (std::filesystem::exists(std::filesystem::path(path) / "fail-status"))
            return fail(E_FAIL, "fake failure requested");
        if (std::filesystem::exists(std::filesystem::path(path) / "keep-alive"))
            keptObject = ComPtr<IPDClientNotify>(this);
        try {
            auto query = createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
            ComPtr<IPDRecordAdapter> db;
            check(query->OpenRecordDatabase(databaseName, "PDDirect.PDRecordAdapter", eDbRead | eDbWrite,
                                            reinterpret_cast<IPDRecordAdapter **>(db.put())));
            std::string text = user + "|" + std::to_string(syncType);
            if (syncType != 6) {
                std::int32_t id = 0;
                check(db->WriteRecord(&id, 1, 0, ByteArray(text.begin(), text.end())));
            }
            std::string line = syncType == 6
                                   ? "OK Fake nothing"
                                   : "OK Fake type=" + std::to_string(syncType) + " user=" + user + " path=" + path;
            check(db->AddLogEntry(line + std::string(1, '\0'), -1, 0, 0));
        } catch (const std::exception &e) {
            hostLog(std::string("ERROR (Fake): ") + e.what());
        }
        return S_OK;
    }

    HRESULT ConfigureConduit(std::int32_t, std::int32_t, std::int32_t *, std::int32_t *) override { return S_OK; }

    HRESULT GetConduitInfo(std::int32_t kind, std::int32_t, std::int32_t, const std::string &, Variant *value) override
    {
        *value = kind == 0 ? Variant(std::string("Fake")) : Variant();
        return S_OK;
    }

    HRESULT CfgConduit(std::int32_t creatorId, std::int32_t userId, const std::string &userName,
                       const std::string &pathName, std::int32_t *permanent, std::int32_t *temporary,
                       std::int32_t *newSyncType, std::int32_t *preference) override
    {
        if (const char *record = std::getenv("GVTEST_CFG_RECORD")) {
            std::ofstream out(record);
            out << creatorId << " " << userId << " " << userName << "|" << pathName << "|" << *permanent << " "
                << *temporary << "\n";
        }
        const char *answer = std::getenv("GVTEST_CFG_ANSWER");
        if (!answer)
            return S_OK;
        std::istringstream in(answer);
        int pref = 0, action = 0;
        in >> pref >> action;
        *temporary = action;
        *newSyncType = action;
        if (pref == 1)
            *permanent = action;
        *preference = pref;
        return S_OK;
    }
};

class Factory : public ComObject<IClassFactory> {
public:
    Factory() { ++liveObjects; }
    ~Factory() override { --liveObjects; }

    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto *obj = new FakeClientNotify;
        obj->AddRef();
        HRESULT hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override
    {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }
};

std::string ownPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&liveObjects), &info) || !info.dli_fname)
        throw std::runtime_error("cannot find the library's own path");
    return std::filesystem::absolute(info.dli_fname).string();
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT HRESULT DllGetClassObject(const CLSID *clsid, const IID *riid, void **ppv)
{
    if (*clsid != clsidFake)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto *f = new Factory;
    f->AddRef();
    HRESULT hr = f->QueryInterface(*riid, ppv);
    f->Release();
    return hr;
}

FAKE_EXPORT HRESULT DllCanUnloadNow()
{
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

FAKE_EXPORT HRESULT DllRegisterServer()
{
    return guarded([] {
        std::string clsidKey = "CLSID\\" + clsidFake.toString();
        std::string path = ownPath();
        registry::Registry::atDefaultRoot().modify(registry::Hive::ClassesRoot, [&](registry::RegistryKey &root) {
            root.create(clsidKey).setValue("", std::string("Fake Conduit"));
            auto &server = root.create(clsidKey + "\\InprocServer32");
            server.setValue("", path);
            server.setValue("ThreadingModel", std::string("Apartment"));
            root.create(progId).setValue("", std::string("Fake Conduit"));
            root.create(std::string(progId) + "\\Clsid").setValue("", clsidFake.toString());
            root.create(clsidKey + "\\ProgID").setValue("", std::string(progId));
        });
        return S_OK;
    });
}

FAKE_EXPORT HRESULT DllUnregisterServer()
{
    return guarded([] {
        std::string clsidKey = "CLSID\\" + clsidFake.toString();
        auto reg = registry::Registry::atDefaultRoot();
        for (const auto &key : {clsidKey + "\\ProgID", std::string(progId) + "\\Clsid", std::string(progId),
                                clsidKey + "\\InprocServer32", clsidKey}) {
            if (reg.deleteKey(registry::Hive::ClassesRoot, key) == registry::DeleteKeyResult::HasSubkeys)
                return fail(E_FAIL, "key " + key + " still has subkeys");
        }
        return S_OK;
    });
}
