#pragma once

#include "hotsync/ConduitStore.h"
#include "palmcontrols/PalmControl.h"

#include <optional>
#include <string>

namespace palmcontrols {

// Edits the registration of one creator, chosen with AssignCreator. Every
// property write is stored in the host's conduit registrations at once.
class TConduitData : public TPalmControl {
public:
    static constexpr com::CLSID classId = com::guid("{F9980F12-3DB6-11D2-B398-444553540000}");
    static constexpr com::IID interfaceId = IID_IConduitData;

    using TPalmControl::TPalmControl;

    // 0 when the creator is registered; condmgr::noConduit when it is not,
    // condmgr::invalidCreatorId or condmgr::storeAccess; on a negative
    // result no creator is assigned.
    virtual std::int32_t AssignCreator(std::int32_t creator);

    // Property writes. Each raises a ComError when no creator is assigned
    // and a HostError when the store cannot be updated.
    virtual void Set_Priority(std::int32_t priority);
    virtual void Set_Directory(const std::string &directory);
    virtual void Set_RemoteDb(const std::string &remoteDb);
    virtual void Set_Title(const std::string &title);
    virtual void Set_fileName(const std::string &fileName);
    virtual void Set_ConduitName(const std::string &conduitName);
    // The named value (name and second index) of the registration.
    virtual void Set_CreatorValue(const std::string &name, const std::string &index, const std::string &value);

private:
    void change(const std::function<void(hotsync::ConduitRegistration &)> &edit);

    std::optional<hotsync::CreatorId> creator_;
};

} // namespace palmcontrols
