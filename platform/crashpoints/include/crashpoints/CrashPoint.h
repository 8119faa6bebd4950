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
    static std::string lastSetting;
    static long seen = 0;
    const char *setting = std::getenv("GV_CRASH_AT");
    if (!setting)
        return;
    if (lastSetting != setting) {
        lastSetting = setting;
        seen = 0;
    }
    const char *colon = std::strrchr(setting, ':');
    if (!colon || std::string(setting, colon) != name)
        return;
    if (++seen == std::strtol(colon + 1, nullptr, 10))
        std::raise(SIGKILL);
}

} // namespace crashpoints
