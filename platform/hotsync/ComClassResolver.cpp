#include "hotsync/ComClassResolver.h"

#include "hotsync/HostError.h"

namespace hotsync {

using registry::Hive;

ComClassLocation resolveProgId(const registry::Registry &registry, const std::string &progId)
{
    if (progId.empty() || progId.find('\\') != std::string::npos)
        throw HostError("Invalid ProgID \"" + progId + "\"");
    auto clsidText = registry.stringValue(Hive::ClassesRoot, progId + "\\Clsid", "");
    if (!clsidText)
        throw HostError("Class " + progId + " is not registered (no HKEY_CLASSES_ROOT\\" + progId + "\\Clsid)");
    auto clsid = com::GUID::parse(*clsidText);
    if (!clsid)
        throw HostError("Class " + progId + " has an invalid CLSID \"" + *clsidText + "\"");
    std::string serverKey = "CLSID\\" + clsid->toString() + "\\InprocServer32";
    auto path = registry.stringValue(Hive::ClassesRoot, serverKey, "");
    if (!path || path->empty())
        throw HostError("Class " + progId + " has no in-process server (no HKEY_CLASSES_ROOT\\" + serverKey + ")");
    std::string library = *path;
    if (library.size() >= 2 && library.front() == '"' && library.back() == '"')
        library = library.substr(1, library.size() - 2);
    return {*clsid, library};
}

} // namespace hotsync
