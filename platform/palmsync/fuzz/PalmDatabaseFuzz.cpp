// libFuzzer target for the Palm database reader: any input is either
// refused with a PalmDatabaseError or read into a database that writes back
// and reads again to the same content.

#include "palmsync/PalmDatabase.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using palmsync::PalmDatabase;
    try {
        PalmDatabase db = PalmDatabase::parse({data, size}, "fuzz-input");
        PalmDatabase again = PalmDatabase::parse(db.serialize(), "fuzz-rewrite");
        if (!(again.header == db.header) || again.records != db.records || again.resources != db.resources ||
            again.appInfo != db.appInfo || again.sortInfo != db.sortInfo)
            std::abort();
    } catch (const palmsync::PalmDatabaseError &) {
    }
    return 0;
}
