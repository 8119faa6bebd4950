#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "com/ComPtr.h"
#include "com/Guid.h"
#include "com/Unknown.h"

namespace com {

// The process's table of class objects, as a host registers the classes it
// provides to the plug-ins it loads. Creation requests for a CLSID go to the
// factory registered for it.
HRESULT CoRegisterClassObject(const CLSID &clsid, IClassFactory *factory);
HRESULT CoRevokeClassObject(const CLSID &clsid);
HRESULT CoGetClassObject(const CLSID &clsid, const IID &riid, void **ppv);
HRESULT CoCreateInstance(const CLSID &clsid, IUnknown *outer, const IID &riid, void **ppv);

// Creates an object of a registered class and returns interface T of it;
// raises a ComError with the platform's message when that fails.
template <class T>
ComPtr<T> createInstance(const CLSID &clsid)
{
    ComPtr<T> r;
    check(CoCreateInstance(clsid, nullptr, T::iid, r.put()));
    return r;
}

} // namespace com

#pragma GCC visibility pop
