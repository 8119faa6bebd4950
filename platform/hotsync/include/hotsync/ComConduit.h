#pragma once

#include "com/ComPtr.h"
#include "com/InprocServer.h"
#include "hotsync/ConduitStore.h"
#include "palmsync/SyncSuite.h"
#include "registry/Registry.h"

#include <memory>
#include <string>

namespace hotsync {

// The sync object of one COM conduit, created the way the HotSync Manager's
// conduit host does it: the creator value "COMClient" names a ProgID, the
// registry leads to its library, whose class factory creates the object.
class ComConduit {
public:
    // Raises a HostError (or com::ComError) saying what could not be found,
    // loaded or created.
    ComConduit(const registry::Registry &registry, const ConduitRegistration &conduit);
    // Releases what is still held; see release().
    ~ComConduit();
    ComConduit(const ComConduit &) = delete;
    ComConduit &operator=(const ComConduit &) = delete;

    palmsync::IPDClientNotify &notify() const { return *notify_; }
    const std::string &libraryPath() const { return libraryPath_; }

    // Releases the sync object and the class factory, then asks the library
    // whether it can be unloaded. When it still has live objects it stays
    // mapped for the rest of the process (unloading it would leave them
    // without their code); returns false then. Later calls repeat the answer.
    bool release();

private:
    std::string libraryPath_;
    std::unique_ptr<com::InprocServer> server_;
    com::ComPtr<com::IClassFactory> factory_;
    com::ComPtr<palmsync::IPDClientNotify> notify_;
    bool released_ = false;
    bool unloadable_ = true;
};

// The platform's message of a failed call: the text the callee left, else
// the text of the status code.
std::string failureText(com::HRESULT hr);

} // namespace hotsync
