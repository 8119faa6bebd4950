// The version information of the conduit library, readable from the file.
#include "utils/VersionNote.h"

GV_VERSION_INFO(2, 5, 0, 0, 1, 0, 0, 0, "Conduit for Gearvane", "Brenholt", "Gearvane");
