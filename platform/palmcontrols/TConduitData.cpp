#include "palmcontrols/TConduitData.h"

#include "com/ComError.h"
#include "hotsync/HostError.h"

#include <stdexcept>

namespace palmcontrols {

std::int32_t TConduitData::AssignCreator(std::int32_t creator)
{
    creator_.reset();
    std::optional<hotsync::CreatorId> id;
    try {
        id = hotsync::CreatorId::fromNumber(static_cast<std::uint32_t>(creator));
    } catch (const hotsync::HostError &) {
        return condmgr::invalidCreatorId;
    }
    try {
        if (!hotsync::ConduitStore(hostRoot()).find(*id))
            return condmgr::noConduit;
    } catch (const std::exception &) {
        return condmgr::storeAccess;
    }
    creator_ = id;
    return 0;
}

void TConduitData::change(const std::function<void(hotsync::ConduitRegistration &)> &edit)
{
    if (!creator_)
        throw com::ComError(com::E_FAIL, "No creator is assigned to the conduit data");
    hotsync::ConduitStore(hostRoot()).update(*creator_, edit);
}

void TConduitData::Set_Priority(std::int32_t priority)
{
    change([&](hotsync::ConduitRegistration &c) { c.priority = priority; });
}

void TConduitData::Set_Directory(const std::string &directory)
{
    change([&](hotsync::ConduitRegistration &c) { c.directory = directory; });
}

void TConduitData::Set_RemoteDb(const std::string &remoteDb)
{
    change([&](hotsync::ConduitRegistration &c) { c.remoteDb = remoteDb; });
}

void TConduitData::Set_Title(const std::string &title)
{
    change([&](hotsync::ConduitRegistration &c) { c.title = title; });
}

void TConduitData::Set_fileName(const std::string &fileName)
{
    change([&](hotsync::ConduitRegistration &c) { c.fileName = fileName; });
}

void TConduitData::Set_ConduitName(const std::string &conduitName)
{
    change([&](hotsync::ConduitRegistration &c) { c.conduitName = conduitName; });
}

void TConduitData::Set_CreatorValue(const std::string &name, const std::string &index, const std::string &value)
{
    change([&](hotsync::ConduitRegistration &c) { c.setCreatorValue(name, index, value); });
}

} // namespace palmcontrols
