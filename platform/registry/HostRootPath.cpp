#include "registry/HostRootPath.h"

#include "registry/RegistryError.h"

#include <cstdlib>

namespace registry {

namespace {
std::optional<std::filesystem::path> fromEnv(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::filesystem::path(value);
}
} // namespace

std::filesystem::path resolveHostRoot(const std::optional<std::filesystem::path> &explicitRoot)
{
    if (explicitRoot && !explicitRoot->empty())
        return std::filesystem::absolute(*explicitRoot);
    if (auto root = fromEnv(hostRootVariable))
        return std::filesystem::absolute(*root);
    if (auto data = fromEnv("XDG_DATA_HOME"))
        return std::filesystem::absolute(*data / "hotsync");
    if (auto home = fromEnv("HOME"))
        return std::filesystem::absolute(*home / ".local" / "share" / "hotsync");
    throw RegistryError("Cannot find the HotSync root folder: give --root, or set HOTSYNC_ROOT or HOME");
}

std::filesystem::path machineRoot()
{
    if (auto root = fromEnv(machineRootVariable))
        return std::filesystem::absolute(*root);
    return GV_MACHINE_ROOT;
}

} // namespace registry
