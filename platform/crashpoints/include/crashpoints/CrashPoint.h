#pragma once

// A crash point: when the environment variable GV_CRASH_AT holds
// "<name>:<n>", the process kills itself with SIGKILL the n-th time it
// passes the point of that name. Without the variable a crash point costs
// one look at the environment. Each library keeps its own counts, so a name
// should belong to one library.

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace crashpoints {

inline void crashPoint(const char *name)
{
    // The variable is read at every pass (the points sit at rare, slow
    // steps), so a process forked after an earlier pass still obeys it.
    static std::string lastSpec;
    static long seen = 0;
    const char *spec = std::getenv("GV_CRASH_AT");
    if (!spec)
        return;
    if (lastSpec != spec) {
        lastSpec = spec;
        seen = 0;
    }
    const char *colon = std::strrchr(spec, ':');
    if (!colon || std::string(spec, colon) != name)
        return;
    if (++seen == std::strtol(colon + 1, nullptr, 10))
        std::raise(SIGKILL);
}

} // namespace crashpoints
