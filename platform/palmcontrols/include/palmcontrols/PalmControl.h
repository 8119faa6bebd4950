#pragma once

#include "com/Guid.h"
#include "hotsync/HostRoot.h"

#include <cstdint>

namespace palmcontrols {

// Result codes of the conduit manager and conduit data controls. Zero or
// more is success.
namespace condmgr {
inline constexpr std::int32_t noConduit = -1003;        // the creator has no registration
inline constexpr std::int32_t creatorInUse = -1005;     // the creator is registered already
inline constexpr std::int32_t storeAccess = -1006;      // the host's store could not be read or written
inline constexpr std::int32_t invalidCreatorId = -1012; // not a creator number of four printable characters
} // namespace condmgr

// Result codes of the user data control.
namespace userdata {
inline constexpr std::int32_t unknownUser = -1;
inline constexpr std::int32_t noUserSelected = -2;
inline constexpr std::int32_t queueFailed = -3;
} // namespace userdata

// The interface ids of the five controls.
inline constexpr com::IID IID_IUserManager = com::guid("{F9980F04-3DB6-11D2-B398-444553540000}");
inline constexpr com::IID IID_IUserData = com::guid("{F9980F08-3DB6-11D2-B398-444553540000}");
inline constexpr com::IID IID_IConduitManager = com::guid("{F9980F0C-3DB6-11D2-B398-444553540000}");
inline constexpr com::IID IID_IConduitData = com::guid("{F9980F10-3DB6-11D2-B398-444553540000}");
inline constexpr com::IID IID_IHotSyncApi = com::guid("{F9980F14-3DB6-11D2-B398-444553540000}");

// A Palm desktop control: works on the HotSync host's stores under one host
// root. Controls are made by createControl (ControlFactory.h) from their
// class id.
class TPalmControl {
public:
    explicit TPalmControl(hotsync::HostRoot root) : root_(std::move(root)) {}
    virtual ~TPalmControl() = default;
    TPalmControl(const TPalmControl &) = delete;
    TPalmControl &operator=(const TPalmControl &) = delete;

    const hotsync::HostRoot &hostRoot() const { return root_; }

private:
    hotsync::HostRoot root_;
};

} // namespace palmcontrols
