#include "palmcontrols/TConduitManager.h"

#include "com/ComError.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/HostError.h"

#include <optional>
#include <stdexcept>

namespace palmcontrols {

std::int32_t TConduitManager::CreatorFromText(const std::string &creatorText)
{
    try {
        return static_cast<std::int32_t>(hotsync::CreatorId::fromText(creatorText).number());
    } catch (const hotsync::HostError &e) {
        throw com::ComError(com::E_INVALIDARG, e.what());
    }
}

std::int32_t TConduitManager::InstallConduit(std::int32_t creator, bool)
{
    std::optional<hotsync::CreatorId> id;
    try {
        id = hotsync::CreatorId::fromNumber(static_cast<std::uint32_t>(creator));
    } catch (const hotsync::HostError &) {
        return condmgr::invalidCreatorId;
    }
    try {
        const std::int32_t r = hotsync::ConduitStore(hostRoot()).install(*id);
        return r == hotsync::ConduitStore::alreadyRegistered ? condmgr::creatorInUse : r;
    } catch (const std::exception &) {
        return condmgr::storeAccess;
    }
}

} // namespace palmcontrols
