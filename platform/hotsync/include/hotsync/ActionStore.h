#pragma once

#include "hotsync/CreatorId.h"
#include "hotsync/HostRoot.h"

#include <cstdint>
#include <optional>

namespace hotsync {

// Sync type codes of a HotSync, as conduits receive them.
namespace syncaction {
inline constexpr std::int32_t synchronize = 0;
inline constexpr std::int32_t handheldOverwrites = 2;
inline constexpr std::int32_t desktopOverwrites = 3;
inline constexpr std::int32_t doNothing = 6;
} // namespace syncaction

// What a user chose for one conduit: the permanent action, and a temporary
// one that holds for the next HotSync only.
struct ConduitActions {
    std::optional<std::int32_t> permanent;
    std::optional<std::int32_t> temporary;
    friend bool operator==(const ConduitActions &, const ConduitActions &) = default;
};

// The conduit actions of every user, one file per user.
class ActionStore {
public:
    explicit ActionStore(HostRoot root);

    ConduitActions get(std::int32_t userId, CreatorId creator) const;
    void set(std::int32_t userId, CreatorId creator, const ConduitActions &actions);
    // The action of the user's next HotSync of the conduit: the temporary
    // one, which this clears, else the permanent one, else nothing.
    std::optional<std::int32_t> takeNextAction(std::int32_t userId, CreatorId creator);

private:
    HostRoot root_;
};

} // namespace hotsync
