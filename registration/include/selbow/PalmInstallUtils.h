#pragma once

#include <string>

class TclsUtils;

namespace selbow {

// The creator of the Gearvane conduit and handheld application.
inline constexpr const char *GearvaneCreator = "KLXC";
// InstallConduit's result for a creator that is registered already.
inline constexpr int ConduitAlreadyInstalled = -1005;

// Registers the Gearvane conduit with the HotSync Manager for the creator
// "KLXC" as a COM conduit whose sync object is "Tarnlink.KLXGVClientNotify",
// then tells the HotSync Manager that its configuration changed. A conduit
// that is registered already keeps its settings. Raises
// "InstallConduit Failed with Error <n>" or "AssignCreator Failed with Error
// <n>", or the platform's error when a control cannot be created; nothing is
// notified then.
void RegisterConduit();

// Tells the HotSync Manager that its configuration changed.
void HotSyncNotify();

// Queues the file for installation on the handhelds of the HotSync users
// that PickUsers returns (every user when there is only one). Raises
// "SelectUser Failed with Error <n> for user <name>" or "QueueInstall Failed
// with Error <n> for user <name>" when a user cannot be chosen or the file
// cannot be queued; users before it in the list stay queued.
// Without a display, more than one user raises NoDisplayError (PickUsers).
void InstallForUsers(TclsUtils &utils, const std::string &fileName, bool hasDisplay = true);

} // namespace selbow
