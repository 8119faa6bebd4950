#pragma once

#include "palmcontrols/PalmControl.h"

#include <optional>
#include <string>

namespace palmcontrols {

// One HotSync user, chosen with SelectUser: its name, its folder and its
// install queue.
class TUserData : public TPalmControl {
public:
    static constexpr com::CLSID classId = com::guid("{F9980F0A-3DB6-11D2-B398-444553540000}");
    static constexpr com::IID interfaceId = IID_IUserData;

    using TPalmControl::TPalmControl;

    // 0, or userdata::unknownUser (and no user is selected afterwards).
    virtual std::int32_t SelectUser(std::int32_t userId);
    // Empty while no user is selected.
    virtual std::string Username();
    virtual std::string Directory();
    // Queues the file for the selected user's handheld; the next HotSync of
    // the user installs it. 0, userdata::noUserSelected, or
    // userdata::queueFailed when the queue cannot be written.
    virtual std::int32_t QueueInstall(const std::string &fileName);

private:
    std::optional<std::int32_t> userId_;
    std::string userName_;
    std::string directory_;
};

} // namespace palmcontrols
