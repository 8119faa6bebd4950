#pragma once

#include "palmcontrols/PalmControl.h"

namespace palmcontrols {

// Tells the HotSync host that its configuration changed (see
// ConfigurationStamp.h).
class THotSyncApi : public TPalmControl {
public:
    static constexpr com::CLSID classId = com::guid("{F9980F16-3DB6-11D2-B398-444553540000}");
    static constexpr com::IID interfaceId = IID_IHotSyncApi;

    using TPalmControl::TPalmControl;

    // Advances the host's configuration stamp, recording `argument`: 0, or
    // -1 when the stamp cannot be written.
    virtual std::int32_t HotSyncNotify(std::int32_t argument);
};

} // namespace palmcontrols
