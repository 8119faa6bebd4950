// libFuzzer target for the Palm database reader: any input is either
// refused with a PalmDatabaseError or read into a database that writes back
// and reads again to the same content. Anything else (a crash, a sanitizer
// report, another exception, a changed round trip) is a finding.

#include "PalmDatabaseRoundTrip.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto outcome = palmsync::fuzz::checkPalmDatabase({data, size});
    if (outcome.result == palmsync::fuzz::ParseResult::Fault) {
        std::fprintf(stderr, "Palm database fault: %s\n", outcome.message.c_str());
        std::abort();
    }
    return 0;
}
