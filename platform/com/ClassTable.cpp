#include "com/ClassTable.h"

#include <mutex>
#include <unordered_map>

namespace com {

namespace {
struct Table {
    std::mutex mutex;
    std::unordered_map<CLSID, IClassFactory *> factories;
};

Table &table()
{
    static Table t;
    return t;
}
} // namespace

HRESULT CoRegisterClassObject(const CLSID &clsid, IClassFactory *factory)
{
    if (!factory)
        return E_POINTER;
    auto &t = table();
    std::lock_guard lock(t.mutex);
    auto [it, inserted] = t.factories.emplace(clsid, factory);
    if (!inserted)
        return fail(E_FAIL, "Class " + clsid.toString() + " is registered already");
    factory->AddRef();
    return S_OK;
}

HRESULT CoRevokeClassObject(const CLSID &clsid)
{
    IClassFactory *factory = nullptr;
    {
        auto &t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.factories.find(clsid);
        if (it == t.factories.end())
            return E_INVALIDARG;
        factory = it->second;
        t.factories.erase(it);
    }
    factory->Release();
    return S_OK;
}

HRESULT CoGetClassObject(const CLSID &clsid, const IID &riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    {
        auto &t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.factories.find(clsid);
        if (it != t.factories.end()) {
            factory = it->second;
            factory->AddRef();
        }
    }
    if (!factory)
        return fail(REGDB_E_CLASSNOTREG, "Class not registered (" + clsid.toString() + ")");
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT CoCreateInstance(const CLSID &clsid, IUnknown *outer, const IID &riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, IClassFactory::iid, factory.put());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(outer, riid, ppv);
}

} // namespace com
