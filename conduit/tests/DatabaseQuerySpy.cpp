#include "DatabaseQuerySpy.h"

#include "com/ClassTable.h"
#include "com/ComObject.h"
#include "palmsync/SyncSuite.h"

namespace conduittest {

namespace {

using com::HRESULT;
using palmsync::IPDDatabaseQuery;
using palmsync::IPDRecordAdapter;

std::vector<std::string> opened;

class QuerySpy final : public com::ComObject<IPDDatabaseQuery, palmsync::IPDStagedChanges> {
public:
    explicit QuerySpy(com::ComPtr<IPDDatabaseQuery> inner)
        : inner_(std::move(inner)), staged_(inner_.as<palmsync::IPDStagedChanges>())
    {
    }

    HRESULT ListStaged(const std::string &name, std::vector<std::string> *tokens) override
    {
        return staged_->ListStaged(name, tokens);
    }
    HRESULT PublishStaged(const std::string &name, const std::string &token) override
    {
        return staged_->PublishStaged(name, token);
    }
    HRESULT DiscardStaged(const std::string &name, const std::string &token) override
    {
        return staged_->DiscardStaged(name, token);
    }

    HRESULT OpenRecordDatabase(const std::string &name, const std::string &progId, std::int32_t mode,
                               IPDRecordAdapter **adapter) override
    {
        opened.push_back(name);
        return inner_->OpenRecordDatabase(name, progId, mode, adapter);
    }

private:
    com::ComPtr<IPDDatabaseQuery> inner_;
    com::ComPtr<palmsync::IPDStagedChanges> staged_;
};

class QuerySpyFactory final : public com::ComObject<com::IClassFactory> {
public:
    explicit QuerySpyFactory(com::ComPtr<com::IClassFactory> inner) : inner_(std::move(inner)) {}

    HRESULT CreateInstance(com::IUnknown *outer, const com::IID &riid, void **ppv) override
    {
        com::ComPtr<IPDDatabaseQuery> real;
        HRESULT hr = inner_->CreateInstance(outer, IPDDatabaseQuery::iid, real.put());
        if (com::FAILED(hr))
            return hr;
        com::ComPtr<IPDDatabaseQuery> spy(new QuerySpy(real));
        return spy->QueryInterface(riid, ppv);
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

void installDatabaseQuerySpy()
{
    opened.clear();
    com::ComPtr<com::IClassFactory> real;
    com::check(com::CoGetClassObject(IPDDatabaseQuery::clsid, com::IClassFactory::iid, real.put()));
    com::check(com::CoRevokeClassObject(IPDDatabaseQuery::clsid));
    com::ComPtr<com::IClassFactory> spy(new QuerySpyFactory(real));
    com::check(com::CoRegisterClassObject(IPDDatabaseQuery::clsid, spy.get()));
}

} // namespace conduittest
