#include "palmcontrols/TUserManager.h"

#include "hotsync/HostError.h"
#include "hotsync/UserStore.h"

#include <limits>

namespace palmcontrols {

std::int32_t TUserManager::UserCount()
{
    const auto users = hotsync::UserStore(hostRoot()).list();
    if (users.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(users.size());
}

std::int32_t TUserManager::UserIdAt(std::int32_t index)
{
    const auto users = hotsync::UserStore(hostRoot()).list();
    if (index < 0 || static_cast<std::size_t>(index) >= users.size())
        throw hotsync::HostError("No HotSync user at index " + std::to_string(index));
    return users[static_cast<std::size_t>(index)].id;
}

} // namespace palmcontrols
