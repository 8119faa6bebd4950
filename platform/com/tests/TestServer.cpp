// A minimal in-process server: one class whose objects count themselves.
#include "com/ComError.h"
#include "com/ComObject.h"
#include "TestCounter.h"

#include <atomic>

using namespace com;

namespace {

using comtest::clsidCounter;
using comtest::ICounter;

std::atomic<int> liveObjects{0};

class Counter : public ComObject<ICounter> {
public:
    Counter() { ++liveObjects; }
    ~Counter() override { --liveObjects; }
    int next() override { return ++value_; }

private:
    int value_ = 0;
};

class Factory : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown *outer, const IID &riid, void **ppv) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto *obj = new Counter;
        obj->AddRef();
        HRESULT hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    }
    HRESULT LockServer(bool) override { return S_OK; }
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID *clsid, const IID *riid,
                                                                             void **ppv)
{
    if (*clsid != clsidCounter)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto *f = new Factory;
    f->AddRef();
    HRESULT hr = f->QueryInterface(*riid, ppv);
    f->Release();
    return hr;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return liveObjects == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() { return S_OK; }
extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return fail(E_FAIL, "refused"); }
