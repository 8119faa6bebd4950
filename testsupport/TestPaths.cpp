#include "TestPaths.h"

#include <cstdlib>

namespace gvtest {

// The environment may point the tests at another build; the folders the
// suite was configured with are the default.
static std::filesystem::path fromEnv(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::filesystem::path binaryDir() { return fromEnv("GV_BINARY_DIR", GV_BINARY_DIR) / "bin"; }
std::filesystem::path sourceDir() { return fromEnv("GV_SOURCE_DIR", GV_SOURCE_DIR); }

} // namespace gvtest
