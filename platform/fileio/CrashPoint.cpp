#include "fileio/CrashPoint.h"

#ifdef GV_CRASH_POINTS

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>

namespace fileio {

namespace {

void writeLine(const char *file, const std::string &text, int flags)
{
    const int fd = ::open(file, O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
    if (fd >= 0) {
        (void)!::write(fd, text.data(), text.size());
        ::close(fd);
    }
}

} // namespace

void crashPoint(const char *name)
{
    static std::mutex mutex;
    static std::string lastSetting;
    static std::map<std::string, long> seen;
    // Read at every pass (the points sit at rare, slow steps), so that a
    // process forked after an earlier pass still obeys a new setting.
    const char *setting = std::getenv("GV_CRASH_AT");
    const char *trace = std::getenv("GV_CRASH_TRACE");
    if (!setting && !trace)
        return;
    std::lock_guard lock(mutex);
    const std::string current = setting ? setting : "";
    if (lastSetting != current) {
        lastSetting = current;
        seen.clear();
    }
    const long n = ++seen[name];
    const std::string passed = std::string(name) + ":" + std::to_string(n) + "\n";
    if (trace)
        writeLine(trace, passed, O_APPEND);
    const char *colon = setting ? std::strrchr(setting, ':') : nullptr;
    if (!colon || std::string(setting, colon) != name || n != std::strtol(colon + 1, nullptr, 10))
        return;
    if (const char *note = std::getenv("GV_CRASH_NOTE"))
        writeLine(note, passed, O_TRUNC);
    std::raise(SIGKILL);
}

} // namespace fileio

#endif
