// libFuzzer target for the registry's hive files.
#include "HiveCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        registry::fuzz::checkHive({reinterpret_cast<const char *>(data), size});
    } catch (const std::logic_error &e) {
        std::fprintf(stderr, "hive fault: %s\n", e.what());
        std::abort();
    }
    return 0;
}
