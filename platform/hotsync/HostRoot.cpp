#include "hotsync/HostRoot.h"

#include "registry/HostRootPath.h"

namespace hotsync {

HostRoot::HostRoot(std::filesystem::path root) : root_(std::filesystem::absolute(root)) {}

HostRoot HostRoot::resolve(const std::optional<std::filesystem::path> &explicitRoot)
{
    return HostRoot(registry::resolveHostRoot(explicitRoot));
}

registry::Registry HostRoot::registry() const
{
    return registry::Registry(root_, registry::machineRoot());
}

std::filesystem::path HostRoot::userDataFolder(std::int32_t userId) const
{
    return root_ / "userdata" / std::to_string(userId);
}

std::filesystem::path HostRoot::defaultUserDirectory(std::int32_t userId, const std::string &name) const
{
    std::string safe = name;
    for (char &c : safe) {
        auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7F)
            c = '_';
    }
    if (!safe.empty() && safe.front() == '.')
        safe.front() = '_';
    return root_ / "users" / (std::to_string(userId) + "-" + safe);
}

} // namespace hotsync
