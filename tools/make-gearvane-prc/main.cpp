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
#include <getopt.h>
#include <string>

#ifndef GV_VERSION
#define GV_VERSION "unknown"
#endif

namespace {

constexpr const char *synopsis = "Usage: make-gearvane-prc OUTPUT\n";

constexpr const char *helpText = "\n"
                                 "Writes the handheld application file Gearvane.prc to OUTPUT: a resource\n"
                                 "database named \"Gearvane\", of type \"appl\" and creator \"KLXC\", with the\n"
                                 "application's name and version resources. It stands in for the Gearvane\n"
                                 "handheld application, which the registration program queues for the\n"
                                 "HotSync users' handhelds. The file's dates are $SOURCE_DATE_EPOCH when it\n"
                                 "is set, so that builds of the same source give the same file.\n"
                                 "\n"
                                 "Options:\n"
                                 "  --help     show this help and exit\n"
                                 "  --version  show the version and exit\n"
                                 "\n"
                                 "Example:\n"
                                 "  make-gearvane-prc build/release/bin/Gearvane.prc\n";

int usage(const std::string &message)
{
    std::fprintf(stderr, "make-gearvane-prc: %s\n%sTry \"make-gearvane-prc --help\" for more.\n", message.c_str(),
                 synopsis);
    return 2;
}

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
    const option longOptions[] = {
        {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (;;) {
        int c = getopt_long(argc, argv, ":hV", longOptions, nullptr);
        if (c == -1)
            break;
        if (c == 'h') {
            std::printf("%s%s", synopsis, helpText);
            return 0;
        }
        if (c == 'V') {
            std::printf("make-gearvane-prc (Gearvane companion suite) %s\n", GV_VERSION);
            return 0;
        }
        const std::string given = std::string(argv[optind - 1]).substr(0, std::string(argv[optind - 1]).find('='));
        if (optopt == 'h' || optopt == 'V')
            return usage("option " + given + " takes no value");
        return usage("unknown option " + given);
    }
    if (argc - optind != 1)
        return usage(optind == argc ? "the OUTPUT file is missing" : "only one OUTPUT file may be given");
    try {
        auto prc = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", buildTime());
        prc.header.attributes |= palmsync::PalmDatabase::kAttrBackup;
        prc.header.version = 1;
        prc.resources.push_back({"tAIN", 1000, zeroTerminated("Gearvane")});
        prc.resources.push_back({"tver", 1, zeroTerminated("1.0")});
        prc.save(argv[optind]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-gearvane-prc: %s\n", e.what());
        return 1;
    }
    return 0;
}
