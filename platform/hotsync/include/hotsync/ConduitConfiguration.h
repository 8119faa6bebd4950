#pragma once

#include "hotsync/ActionStore.h"
#include "hotsync/CreatorId.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"

#include <cstdint>

namespace hotsync {

struct ConfigureOutcome {
    std::int32_t preference = 0; // 1 permanent, 2 next HotSync only, else nothing chosen
    ConduitActions actions;      // what the user's settings hold afterwards
};

// Lets a COM conduit configure itself for a user: calls its CfgConduit with
// the user's permanent action (synchronise when none) and temporary action
// (the permanent one when none), and stores the answer: preference 1 makes
// the returned permanent action the permanent and the temporary one;
// preference 2 sets the temporary action for the next HotSync only; any
// other answer (a cancelled dialog) changes nothing. Raises when the conduit
// cannot be loaded or CfgConduit fails.
ConfigureOutcome configureConduit(const HostRoot &root, const User &user, CreatorId creator);

} // namespace hotsync
