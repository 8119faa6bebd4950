#include "fileio/SystemCalls.h"

#include <cstdio>
#include <unistd.h>

namespace fileio {

namespace {

const SystemCalls &defaults()
{
    static const SystemCalls calls = defaultSystemCalls();
    return calls;
}

const SystemCalls *current = nullptr;

} // namespace

SystemCalls defaultSystemCalls()
{
    SystemCalls calls;
    calls.write = [](int fd, const void *data, size_t size) { return ::write(fd, data, size); };
    calls.pwrite = [](int fd, const void *data, size_t size, off_t offset) {
        return ::pwrite(fd, data, size, offset);
    };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    calls.fsyncFolder = [](int fd) { return ::fsync(fd); };
    calls.rename = [](const char *from, const char *to) { return ::rename(from, to); };
    return calls;
}

const SystemCalls &systemCalls()
{
    return current ? *current : defaults();
}

ScopedSystemCalls::ScopedSystemCalls(SystemCalls calls) : previous_(current), calls_(std::move(calls))
{
    // An entry left empty keeps the system's call.
    const SystemCalls &base = defaults();
    if (!calls_.write)
        calls_.write = base.write;
    if (!calls_.pwrite)
        calls_.pwrite = base.pwrite;
    if (!calls_.fsync)
        calls_.fsync = base.fsync;
    if (!calls_.fsyncFolder)
        calls_.fsyncFolder = base.fsyncFolder;
    if (!calls_.rename)
        calls_.rename = base.rename;
    current = &calls_;
}

ScopedSystemCalls::~ScopedSystemCalls()
{
    current = previous_;
}

} // namespace fileio
