#pragma once

namespace hotsync {

// Whether a window can be shown: DISPLAY or WAYLAND_DISPLAY is set, or
// QT_QPA_PLATFORM names a platform to use. Programs that would otherwise
// wait on a window nobody sees ask this first.
bool hasDisplay();

} // namespace hotsync
