#pragma once

#include "palmcontrols/PalmControl.h"

namespace palmcontrols {

// The HotSync users, by index in the order they were added.
class TUserManager : public TPalmControl {
public:
    static constexpr com::CLSID classId = com::guid("{F9980F06-3DB6-11D2-B398-444553540000}");
    static constexpr com::IID interfaceId = IID_IUserManager;

    using TPalmControl::TPalmControl;

    virtual std::int32_t UserCount();
    // The id of the user at `index` (from 0); raises a HostError for an
    // index out of range.
    virtual std::int32_t UserIdAt(std::int32_t index);
};

} // namespace palmcontrols
