#pragma once

#include "com/ComError.h"
#include "com/Guid.h"
#include "palmcontrols/PalmControl.h"

#include <functional>
#include <memory>

namespace palmcontrols {

// Makes a control of a class id, late-bound as the platform creates its
// controls. The built-in classes work on the host root that
// registry::resolveHostRoot finds; the folder is created when missing.
// Raises a ComError with the platform's text when the class is unknown
// (REGDB_E_CLASSNOTREG) or no host root can be found or created.
std::unique_ptr<TPalmControl> createControl(const com::CLSID &classId);

template <class T> std::unique_ptr<T> createControl()
{
    std::unique_ptr<TPalmControl> control = createControl(T::classId);
    auto *typed = dynamic_cast<T *>(control.get());
    if (typed == nullptr)
        throw com::ComError(com::E_NOINTERFACE, com::hresultText(com::E_NOINTERFACE));
    control.release();
    return std::unique_ptr<T>(typed);
}

// Seam: replaces how controls of one class id are made (for example by a
// subclass that returns chosen results) and returns the previous maker; an
// empty maker restores the built-in one.
using ControlMaker = std::function<std::unique_ptr<TPalmControl>(const hotsync::HostRoot &)>;
ControlMaker setControlMaker(const com::CLSID &classId, ControlMaker maker);

} // namespace palmcontrols
