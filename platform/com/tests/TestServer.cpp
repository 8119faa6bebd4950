// A minimal in-process server: one class whose objects count themselves.
#include "com/ComError.h"
#include "com/ComObject.h"

#include <atomic>

using namespace com;

namespace {

constexpr CLSID clsidCounter = guid("{11111111-2222-3333-4444-555555555555}");

class ICounter : public IUnknown {
public:
    static constexpr IID iid = guid("{11111111-2222-3333-4444-666666666666}");
    virtual int next() = 0;

protected:
    ~ICounter() = default;
};

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
