#include "hotsync/ConduitConfiguration.h"

#include "com/ComError.h"
#include "hotsync/ComConduit.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/HostError.h"

namespace hotsync {

ConfigureOutcome configureConduit(const HostRoot &root, const User &user, CreatorId creator)
{
    auto conduit = ConduitStore(root).find(creator);
    if (!conduit)
        throw HostError("No conduit is registered for creator " + creator.text());
    ActionStore store(root);
    ConduitActions current = store.get(user.id, creator);

    std::int32_t permanent = current.permanent.value_or(syncaction::synchronize);
    std::int32_t temporary = current.temporary.value_or(permanent);
    std::int32_t newType = temporary;
    std::int32_t preference = 0;
    std::filesystem::path pathName = conduit->folderIn(user.directory);

    ComConduit module(root.registry(), *conduit);
    com::SetErrorInfo({});
    com::HRESULT hr = module.notify().CfgConduit(static_cast<std::int32_t>(creator.number()), user.id, user.name,
                                                 pathName.string(), &permanent, &temporary, &newType, &preference);
    if (com::FAILED(hr))
        throw HostError("CfgConduit failed: " + failureText(hr));
    module.release();

    ConfigureOutcome outcome;
    outcome.preference = preference;
    outcome.actions = current;
    if (preference == 1)
        outcome.actions = {permanent, permanent};
    else if (preference == 2)
        outcome.actions.temporary = temporary;
    if (outcome.actions != current)
        store.set(user.id, creator, outcome.actions);
    return outcome;
}

} // namespace hotsync
