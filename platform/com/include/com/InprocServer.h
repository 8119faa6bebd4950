#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/ComPtr.h"
#include "com/Guid.h"
#include "com/Unknown.h"

#include <string>

namespace com {

// Entry points every in-process server library exports by name.
extern "C" {
using DllGetClassObjectFn = HRESULT (*)(const CLSID *clsid, const IID *riid, void **ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
}

// One loaded in-process server library. Loading resolves the four entry
// points; a missing library or entry point raises a ComError with the
// loader's message. The library stays loaded until the object is destroyed.
class InprocServer {
public:
    explicit InprocServer(const std::string &path);
    ~InprocServer();
    InprocServer(const InprocServer &) = delete;
    InprocServer &operator=(const InprocServer &) = delete;

    const std::string &path() const { return path_; }

    HRESULT registerServer() const;
    HRESULT unregisterServer() const;
    HRESULT canUnloadNow() const;
    HRESULT getClassObject(const CLSID &clsid, const IID &riid, void **ppv) const;

    // Creates an object through the library's class factory; raises on failure.
    template <class T>
    ComPtr<T> createInstance(const CLSID &clsid) const
    {
        ComPtr<IClassFactory> factory;
        check(getClassObject(clsid, IClassFactory::iid, factory.put()));
        ComPtr<T> r;
        check(factory->CreateInstance(nullptr, T::iid, r.put()));
        return r;
    }

private:
    std::string path_;
    void *handle_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
    DllRegisterServerFn register_ = nullptr;
    DllUnregisterServerFn unregister_ = nullptr;
};

} // namespace com

#pragma GCC visibility pop
