#pragma once

#include "hotsync/HostRoot.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace palmcontrols {

// The host's "configuration changed" stamp: <root>/config-changed, a store
// file (tag GVNOTIFY) holding one record "changed", serial, argument. Every
// notification raises the serial by one, so the host (or anyone watching)
// sees that users or conduit registrations changed since it last looked and
// reloads them.
struct ConfigurationStamp {
    std::int64_t serial = 0;
    std::int32_t argument = 0;

    static std::filesystem::path file(const hotsync::HostRoot &root) { return root.path() / "config-changed"; }
    // Empty when nothing has been notified yet; raises a HostError for a
    // malformed file.
    static std::optional<ConfigurationStamp> read(const hotsync::HostRoot &root);
    // Raises the serial under the host's lock and returns the new stamp.
    static ConfigurationStamp advance(const hotsync::HostRoot &root, std::int32_t argument);
};

} // namespace palmcontrols
