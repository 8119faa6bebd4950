#include "SafePurgeQuery.h"

#include "com/ClassTable.h"
#include "com/ComObject.h"
#include "palmsync/SyncSuite.h"

namespace conduittest {

namespace {

using com::HRESULT;
using namespace palmsync;

std::vector<std::string> opened;

class SafePurgeAdapter final : public com::ComObject<IPDRecordAdapter> {
public:
    explicit SafePurgeAdapter(com::ComPtr<IPDRecordAdapter> inner) : inner_(std::move(inner)) {}

    HRESULT AddLogEntry(const std::string &t, std::int32_t a, std::int32_t b, std::int32_t c) override
    {
        return inner_->AddLogEntry(t, a, b, c);
    }
    HRESULT ReadRecordById(std::int32_t *index, std::int32_t id, std::int32_t *category, std::int32_t *attributes,
                           ByteArray *data) override
    {
        return inner_->ReadRecordById(index, id, category, attributes, data);
    }
    HRESULT ReadNextRecord(std::int32_t *index, std::int32_t *id, std::int32_t *category, std::int32_t *attributes,
                           ByteArray *data) override
    {
        return inner_->ReadNextRecord(index, id, category, attributes, data);
    }
    HRESULT WriteRecord(std::int32_t *id, std::int32_t category, std::int32_t attributes,
                        const ByteArray &data) override
    {
        return inner_->WriteRecord(id, category, attributes, data);
    }
    HRESULT RemoveRecord(std::int32_t id) override { return inner_->RemoveRecord(id); }
    HRESULT RemoveRecordSet(std::int32_t selector, std::int32_t reserved) override
    {
        if (selector == eRemoveDeleted) {
            // Only ever called between whole passes over the database, so
            // moving the iteration position does not disturb the caller.
            bool anyDeleted = false;
            HRESULT hr = inner_->SetIterationIndex(0);
            std::int32_t index, id, category, attributes;
            ByteArray data;
            while (com::SUCCEEDED(hr) && hr != com::S_FALSE) {
                hr = inner_->ReadNextRecord(&index, &id, &category, &attributes, &data);
                if (hr == com::S_OK && (attributes & eRecAttrDeleted))
                    anyDeleted = true;
            }
            if (com::FAILED(hr))
                return hr;
            if (!anyDeleted)
                return com::S_OK;
        }
        return inner_->RemoveRecordSet(selector, reserved);
    }
    HRESULT GetDatabaseName(std::string *name) override { return inner_->GetDatabaseName(name); }
    HRESULT GetRecordCount(std::int32_t *count) override { return inner_->GetRecordCount(count); }
    HRESULT SetIterationIndex(std::int32_t index) override { return inner_->SetIterationIndex(index); }
    HRESULT GetEOF(bool *eof) override { return inner_->GetEOF(eof); }

private:
    com::ComPtr<IPDRecordAdapter> inner_;
};

class SafePurgeQuery final : public com::ComObject<IPDDatabaseQuery> {
public:
    explicit SafePurgeQuery(com::ComPtr<IPDDatabaseQuery> inner) : inner_(std::move(inner)) {}

    HRESULT OpenRecordDatabase(const std::string &name, const std::string &progId, std::int32_t mode,
                               IPDRecordAdapter **adapter) override
    {
        opened.push_back(name);
        com::ComPtr<IPDRecordAdapter> real;
        HRESULT hr = inner_->OpenRecordDatabase(name, progId, mode, reinterpret_cast<IPDRecordAdapter **>(real.put()));
        if (com::FAILED(hr)) {
            if (adapter)
                *adapter = nullptr;
            return hr;
        }
        *adapter = com::ComPtr<IPDRecordAdapter>(new SafePurgeAdapter(real)).detach();
        return hr;
    }

private:
    com::ComPtr<IPDDatabaseQuery> inner_;
};

class SafePurgeFactory final : public com::ComObject<com::IClassFactory> {
public:
    explicit SafePurgeFactory(com::ComPtr<com::IClassFactory> inner) : inner_(std::move(inner)) {}

    HRESULT CreateInstance(com::IUnknown *outer, const com::IID &riid, void **ppv) override
    {
        com::ComPtr<IPDDatabaseQuery> real;
        HRESULT hr = inner_->CreateInstance(outer, IPDDatabaseQuery::iid, real.put());
        if (com::FAILED(hr))
            return hr;
        com::ComPtr<IPDDatabaseQuery> wrapped(new SafePurgeQuery(real));
        return wrapped->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(bool lock) override { return inner_->LockServer(lock); }

private:
    com::ComPtr<com::IClassFactory> inner_;
};

} // namespace

std::vector<std::string> databasesOpened()
{
    return opened;
}

void installSafePurge()
{
    opened.clear();
    com::ComPtr<com::IClassFactory> real;
    com::check(com::CoGetClassObject(IPDDatabaseQuery::clsid, com::IClassFactory::iid, real.put()));
    com::check(com::CoRevokeClassObject(IPDDatabaseQuery::clsid));
    com::ComPtr<com::IClassFactory> safe(new SafePurgeFactory(real));
    com::check(com::CoRegisterClassObject(IPDDatabaseQuery::clsid, safe.get()));
}

} // namespace conduittest
