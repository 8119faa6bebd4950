// libFuzzer target for the HotSync host's store files.
#include "StoreCheck.h"

#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::filesystem::path root = [] {
        auto folder = std::filesystem::temp_directory_path() / ("gv-store-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return folder;
    }();
    hotsync::fuzz::checkStore(root, {data, size});
    return 0;
}
