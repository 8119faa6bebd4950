#pragma once

#include "palmcontrols/PalmControl.h"

#include <string>

namespace palmcontrols {

// Registers conduits with the HotSync host, one per creator.
class TConduitManager : public TPalmControl {
public:
    static constexpr com::CLSID classId = com::guid("{F9980F0E-3DB6-11D2-B398-444553540000}");
    static constexpr com::IID interfaceId = IID_IConduitManager;

    using TPalmControl::TPalmControl;

    // The creator number of a four-character creator text (first character
    // highest); raises a ComError (E_INVALIDARG) for any other text.
    virtual std::int32_t CreatorFromText(const std::string &creatorText);
    // Registers the creator with empty settings: 0, condmgr::creatorInUse
    // when it is registered already (nothing changes), condmgr::storeAccess
    // or condmgr::invalidCreatorId. The second argument is the platform's
    // and has no meaning for this host.
    virtual std::int32_t InstallConduit(std::int32_t creator, bool unused);
};

} // namespace palmcontrols
