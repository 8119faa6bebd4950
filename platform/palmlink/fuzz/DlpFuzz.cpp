// libFuzzer target for the Desktop Link Protocol decoder: see FuzzChecks.h.

#include "FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (auto fault = palmlink::fuzz::checkDlp({data, size})) {
        std::fprintf(stderr, "DLP fault: %s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
