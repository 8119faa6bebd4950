#include "palmcontrols/TUserData.h"

#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"

#include <stdexcept>

namespace palmcontrols {

std::int32_t TUserData::SelectUser(std::int32_t userId)
{
    userId_.reset();
    userName_.clear();
    directory_.clear();
    const auto user = hotsync::UserStore(hostRoot()).find(userId);
    if (!user)
        return userdata::unknownUser;
    userId_ = user->id;
    userName_ = user->name;
    directory_ = user->directory.string();
    return 0;
}

std::string TUserData::Username()
{
    return userName_;
}

std::string TUserData::Directory()
{
    return directory_;
}

std::int32_t TUserData::QueueInstall(const std::string &fileName)
{
    if (!userId_)
        return userdata::noUserSelected;
    try {
        hotsync::InstallQueue(hostRoot()).enqueue(*userId_, fileName);
    } catch (const std::exception &) {
        return userdata::queueFailed;
    }
    return 0;
}

} // namespace palmcontrols
