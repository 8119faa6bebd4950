// make-gearvane-prc OUTPUT
//
// Writes the handheld application file "Gearvane.prc" that the registration
// program queues for installation: a resource database named "Gearvane" of
// type "appl" and creator "KLXC", carrying the application's name ("tAIN")
// and version ("tver") resources.
#include "palmsync/PalmDatabase.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

// The file's dates: $SOURCE_DATE_EPOCH when set, so that builds of the same
// source give the same file; otherwise 1 January 2026.
std::int64_t buildTime()
{
    if (const char *epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        char *end = nullptr;
        const long long v = std::strtoll(epoch, &end, 10);
        if (*epoch != '\0' && *end == '\0' && v >= 0)
            return v;
    }
    return 1767225600;
}

std::vector<std::uint8_t> zeroTerminated(const std::string &text)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-gearvane-prc OUTPUT\n");
        return 2;
    }
    try {
        auto prc = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", buildTime());
        prc.header.attributes |= palmsync::PalmDatabase::kAttrBackup;
        prc.header.version = 1;
        prc.resources.push_back({"tAIN", 1000, zeroTerminated("Gearvane")});
        prc.resources.push_back({"tver", 1, zeroTerminated("1.0")});
        prc.save(argv[1]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-gearvane-prc: %s\n", e.what());
        return 1;
    }
    return 0;
}
