// libFuzzer target for desktop rows as other programs may store them: any
// value is refused with an error or goes through to the handheld.
#include "DesktopRowHarness.h"

#include <memory>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static auto harness = [] {
        auto base = std::filesystem::temp_directory_path() / ("gv-row-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(base / "desktop");
        std::filesystem::create_directories(base / "handheld");
        return std::make_unique<conduit::fuzz::DesktopRowHarness>(base / "desktop", base / "handheld");
    }();
    harness->run({data, size});
    return 0;
}
