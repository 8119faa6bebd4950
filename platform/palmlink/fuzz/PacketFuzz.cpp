// libFuzzer target for the packet decoders (SLP, PADP, CMP, Net Sync and
// the trace decoder): see FuzzChecks.h.

#include "FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (auto fault = palmlink::fuzz::checkPackets({data, size})) {
        std::fprintf(stderr, "packet fault: %s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
