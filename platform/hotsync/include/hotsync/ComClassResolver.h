#pragma once

#include "com/Guid.h"
#include "registry/Registry.h"

#include <string>

namespace hotsync {

struct ComClassLocation {
    com::CLSID clsid;
    std::string libraryPath;
};

// Finds the in-process server of a ProgID the way COM does: the default
// value of HKEY_CLASSES_ROOT\<ProgID>\Clsid names the class, whose
// CLSID\{...}\InprocServer32 default value is the library's path (kept
// whole, blanks included; surrounding double quotes are dropped). Raises a
// HostError that says which key or value is missing or malformed.
ComClassLocation resolveProgId(const registry::Registry &registry, const std::string &progId);

} // namespace hotsync
