// gearvane-sample DIR [--oil-grades N] [--suppliers N] [--vehicles N]
//                     [--entries N] [--seed N]
#include "SampleData.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <getopt.h>
#include <string>

#ifndef GV_VERSION
#define GV_VERSION "unknown"
#endif

namespace {

constexpr const char *synopsis =
    "Usage: gearvane-sample DIR [--oil-grades N] [--suppliers N] [--vehicles N] [--entries N] [--seed N]\n";

constexpr const char *helpText = "\n"
                                 "Writes the four Gearvane databases (OilGradeDB-KLXC, SupplierDB-KLXC,\n"
                                 "VehicleDB-KLXC and MainDB-KLXC) into the handheld folder DIR, full of\n"
                                 "made-up oil grades, suppliers, vehicles and log entries (fuel purchases of\n"
                                 "type FU and services of type SV), all marked as changed on the handheld, so\n"
                                 "that a HotSync takes them to the desktop. DIR is created when missing and\n"
                                 "must not hold these databases yet. The same counts and seed give the same\n"
                                 "records.\n"
                                 "\n"
                                 "Options:\n"
                                 "  --oil-grades N  oil grades (default 6)\n"
                                 "  --suppliers N   suppliers (default 8)\n"
                                 "  --vehicles N    vehicles (default 3)\n"
                                 "  --entries N     service and expense log entries (default 60)\n"
                                 "  --seed N        the seed of the made-up values (default 1)\n"
                                 "  --help          show this help and exit\n"
                                 "  --version       show the version and exit\n"
                                 "\n"
                                 "Example:\n"
                                 "  gearvane-sample ~/palm/sample --vehicles 2 --entries 500\n";

int usage(const std::string &message)
{
    std::fprintf(stderr, "gearvane-sample: %s\n%sTry \"gearvane-sample --help\" for more.\n", message.c_str(),
                 synopsis);
    return 2;
}

bool parseCount(const char *text, int &out)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 10000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    sample::SampleOptions options;
    int seed = static_cast<int>(options.seed);
    const option longOptions[] = {
        {"oil-grades", required_argument, nullptr, 'o'}, {"suppliers", required_argument, nullptr, 's'},
        {"vehicles", required_argument, nullptr, 'v'},   {"entries", required_argument, nullptr, 'e'},
        {"seed", required_argument, nullptr, 'r'},       {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},          {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (;;) {
        int index = -1;
        int c = getopt_long(argc, argv, ":hV", longOptions, &index);
        if (c == -1)
            break;
        if (c == 'h') {
            std::printf("%s%s", synopsis, helpText);
            return 0;
        }
        if (c == 'V') {
            std::printf("gearvane-sample (Gearvane companion suite) %s\n", GV_VERSION);
            return 0;
        }
        if (c == '?' || c == ':') {
            std::string given = argv[optind - 1];
            given = given.substr(0, given.find('='));
            if (c == ':')
                return usage("option " + given + " needs a count");
            if (optopt == 'h' || optopt == 'V')
                return usage("option " + given + " takes no value");
            return usage("unknown option " + given);
        }
        int *target = c == 'o'   ? &options.oilGrades
                      : c == 's' ? &options.suppliers
                      : c == 'v' ? &options.vehicles
                      : c == 'e' ? &options.entries
                                 : &seed;
        if (!parseCount(optarg, *target))
            return usage(std::string("--") + longOptions[index].name + " needs a count, not \"" + optarg + "\"");
    }
    options.seed = static_cast<std::uint32_t>(seed);
    if (optind == argc)
        return usage("the handheld folder is missing");
    if (argc - optind > 1)
        return usage("only one folder may be given");
    const std::string folder = argv[optind];
    try {
        std::filesystem::create_directories(folder);
        auto counts = sample::writeSampleHandheld(folder, options);
        std::printf("%d oil grades, %d suppliers, %d vehicles, %d log entries written to %s\n", counts.oilGrades,
                    counts.suppliers, counts.vehicles, counts.entries, folder.c_str());
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "gearvane-sample: %s\n", e.what());
        return 1;
    }
}
