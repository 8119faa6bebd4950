#include "TestPaths.h"

#include <algorithm>
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

std::vector<std::filesystem::path> fuzzInputs(const std::string &fuzzFolder)
{
    std::vector<std::filesystem::path> files;
    for (const auto &folder : std::filesystem::directory_iterator(sourceDir() / fuzzFolder)) {
        const std::string name = folder.path().filename().string();
        if (!folder.is_directory() || (name.rfind("corpus", 0) != 0 && name.rfind("crashers", 0) != 0))
            continue;
        for (const auto &file : std::filesystem::directory_iterator(folder.path())) {
            if (file.is_regular_file() && file.path().filename() != ".gitkeep")
                files.push_back(file.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace gvtest
