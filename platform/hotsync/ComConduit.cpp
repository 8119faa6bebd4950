#include "hotsync/ComConduit.h"

#include "com/ComError.h"
#include "hotsync/ComClassResolver.h"
#include "hotsync/HostError.h"

#include <dlfcn.h>

namespace hotsync {

std::string failureText(com::HRESULT hr)
{
    std::string text = com::TakeErrorInfo();
    return text.empty() ? com::hresultText(hr) : text;
}

ComConduit::ComConduit(const registry::Registry &registry, const ConduitRegistration &conduit)
{
    if (!conduit.isComConduit())
        throw HostError("Conduit module \"" + conduit.conduitName + "\" is not " + comConduitModule +
                        "; this host runs COM conduits only");
    auto progId = conduit.creatorValue(comClientValue);
    if (!progId || progId->empty())
        throw HostError(std::string("The conduit has no \"") + comClientValue + "\" value");
    auto location = resolveProgId(registry, *progId);
    libraryPath_ = location.libraryPath;
    server_ = std::make_unique<com::InprocServer>(libraryPath_);
    com::SetErrorInfo({}); // a stale text must not pass for this call's failure
    com::HRESULT hr = server_->getClassObject(location.clsid, com::IClassFactory::iid, factory_.put());
    if (com::FAILED(hr))
        throw HostError("DllGetClassObject of " + libraryPath_ + " failed: " + failureText(hr));
    hr = factory_->CreateInstance(nullptr, palmsync::IPDClientNotify::iid, notify_.put());
    if (com::FAILED(hr) || !notify_)
        throw HostError("Cannot create the sync object " + *progId + ": " + failureText(hr));
}

ComConduit::~ComConduit()
{
    release();
}

bool ComConduit::release()
{
    if (released_)
        return unloadable_;
    released_ = true;
    notify_.reset();
    factory_.reset();
    if (!server_)
        return true;
    unloadable_ = server_->canUnloadNow() == com::S_OK;
    if (!unloadable_) {
        // Keep the library mapped after InprocServer's dlclose.
        dlopen(libraryPath_.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return unloadable_;
}

} // namespace hotsync
