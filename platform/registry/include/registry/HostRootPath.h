#pragma once

#include <filesystem>
#include <optional>

namespace registry {

// The environment variable through which the HotSync host hands its root
// folder to the libraries and programs it starts.
inline constexpr const char *hostRootVariable = "HOTSYNC_ROOT";
// The environment variable that names the machine's root (for tests and
// staged installations); without it, the folder the build was configured
// with (<localstatedir>/lib/gearvane).
inline constexpr const char *machineRootVariable = "HOTSYNC_MACHINE_ROOT";

// The folder holding the HotSync host's state and the registry hives. An
// explicit folder (the host's --root) wins; otherwise $HOTSYNC_ROOT, else
// $XDG_DATA_HOME/hotsync, else $HOME/.local/share/hotsync (empty variables
// count as unset). Raises a RegistryError when none of them is available.
// Every program and plug-in resolves the root this way.
std::filesystem::path resolveHostRoot(const std::optional<std::filesystem::path> &explicitRoot = std::nullopt);

// The machine's root: its registry holds the classes registered for every
// user (a conduit installed with the system), which each user's registry
// falls back to.
std::filesystem::path machineRoot();

} // namespace registry
