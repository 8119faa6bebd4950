// gearvane-sample DIR [--oil-grades N] [--suppliers N] [--vehicles N]
//                     [--entries N] [--seed N]
#include "SampleData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage(const char *message)
{
    std::fprintf(stderr,
                 "gearvane-sample: %s\n"
                 "usage: gearvane-sample DIR [--oil-grades N] [--suppliers N] [--vehicles N] [--entries N] "
                 "[--seed N]\n",
                 message);
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
    std::string folder;
    sample::SampleOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        int *target = nullptr;
        int seed = 0;
        if (arg == "--oil-grades")
            target = &options.oilGrades;
        else if (arg == "--suppliers")
            target = &options.suppliers;
        else if (arg == "--vehicles")
            target = &options.vehicles;
        else if (arg == "--entries")
            target = &options.entries;
        else if (arg == "--seed")
            target = &seed;
        else if (!arg.empty() && arg[0] == '-')
            return usage(("unknown option " + arg).c_str());
        else if (folder.empty()) {
            folder = arg;
            continue;
        } else
            return usage("only one folder may be given");
        if (i + 1 >= argc || !parseCount(argv[i + 1], *target))
            return usage((arg + " needs a count").c_str());
        ++i;
        if (target == &seed)
            options.seed = static_cast<std::uint32_t>(seed);
    }
    if (folder.empty())
        return usage("the handheld folder is missing");
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
