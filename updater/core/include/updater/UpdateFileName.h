#pragma once

#include <string>

namespace updater {

// The name of the update file comes from the update server and becomes a
// file name in the local temporary folder. Raises std::runtime_error for a
// name that could reach outside that folder: empty, with a folder separator
// ("/" or "\"), a drive colon, "." or "..", or a control character.
void CheckUpdateFileName(const std::string &fileName);

} // namespace updater
