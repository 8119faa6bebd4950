#include "com/InprocServer.h"

#include <dlfcn.h>

namespace com {

namespace {
[[noreturn]] void loaderError(const std::string &what)
{
    const char *err = dlerror();
    throw ComError(CO_E_ERRORINDLL, what + (err ? std::string(": ") + err : std::string()));
}
} // namespace

InprocServer::InprocServer(const std::string &path) : path_(path)
{
    dlerror();
    // The library stays mapped after dlclose: libraries it pulled in (Qt and
    // the runtime libraries below it) keep their own state for the life of
    // the process, and unmapping them under it is not safe.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle_) {
        const char *err = dlerror();
        throw ComError(CO_E_DLLNOTFOUND, "Cannot load " + path + (err ? std::string(": ") + err : std::string()));
    }
    auto resolve = [&](const char *name) {
        void *sym = dlsym(handle_, name);
        if (!sym) {
            std::string msg = std::string("Entry point ") + name + " not found in " + path;
            dlclose(handle_);
            handle_ = nullptr;
            loaderError(msg);
        }
        return sym;
    };
    getClassObject_ = reinterpret_cast<DllGetClassObjectFn>(resolve("DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<DllCanUnloadNowFn>(resolve("DllCanUnloadNow"));
    register_ = reinterpret_cast<DllRegisterServerFn>(resolve("DllRegisterServer"));
    unregister_ = reinterpret_cast<DllUnregisterServerFn>(resolve("DllUnregisterServer"));
}

InprocServer::~InprocServer()
{
    if (handle_)
        dlclose(handle_);
}

HRESULT InprocServer::registerServer() const { return register_(); }
HRESULT InprocServer::unregisterServer() const { return unregister_(); }
HRESULT InprocServer::canUnloadNow() const { return canUnloadNow_(); }

HRESULT InprocServer::getClassObject(const CLSID &clsid, const IID &riid, void **ppv) const
{
    return getClassObject_(&clsid, &riid, ppv);
}

} // namespace com
