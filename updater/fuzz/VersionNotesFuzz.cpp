// libFuzzer target for the update server's version description.
#include "VersionNotesCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    updater::fuzz::checkVersionNotes(std::string(reinterpret_cast<const char *>(data), size));
    return 0;
}
