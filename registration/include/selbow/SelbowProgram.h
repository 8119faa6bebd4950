#pragma once

#include <string>

class TclsUtils;

namespace selbow {

// The handheld application file beside the program: the folder of
// `programPath` (up to its last "/"), a separator when missing, and
// "Gearvane.prc".
std::string ApplicationFileName(TclsUtils &utils, const std::string &programPath);

// One run of the registration program after the application object exists:
// registers the conduit, then queues the handheld application for the
// chosen users. A failure is shown in an error box, or without a display
// (`hasDisplay` false) written to standard error, where someone sees it.
// Returns the exit status: 0 when every step ran, 1 after a failure.
int RunSelbow(TclsUtils &utils, const std::string &programPath, bool hasDisplay = true);

} // namespace selbow
