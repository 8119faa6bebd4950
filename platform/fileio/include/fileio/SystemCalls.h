#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

// The system calls through which every durable step of the suite's files
// goes: writes, flushes of a file, flushes of a folder's entries, renames.
// The desktop tables' engine writes its pages through the same table. Tests
// replace entries to watch the order of the steps, to fail the n-th call
// (a full disk, an I/O error) or to kill the process at a given call; the
// defaults call the system.

#include <functional>
#include <sys/types.h>

namespace fileio {

struct SystemCalls {
    std::function<ssize_t(int fd, const void *data, size_t size)> write;
    std::function<ssize_t(int fd, const void *data, size_t size, off_t offset)> pwrite;
    std::function<int(int fd)> fsync;       // a file's data and size
    std::function<int(int fd)> fsyncFolder; // a folder's entries (created, renamed, removed files)
    std::function<int(const char *from, const char *to)> rename;
};

// The calls that go to the system.
SystemCalls defaultSystemCalls();

// The table in force.
const SystemCalls &systemCalls();

// Puts `calls` in force for the life of the object, then the previous
// table again. Not for use while other threads do file work.
class ScopedSystemCalls {
public:
    explicit ScopedSystemCalls(SystemCalls calls);
    ~ScopedSystemCalls();
    ScopedSystemCalls(const ScopedSystemCalls &) = delete;
    ScopedSystemCalls &operator=(const ScopedSystemCalls &) = delete;

private:
    const SystemCalls *previous_;
    SystemCalls calls_;
};

} // namespace fileio

#pragma GCC visibility pop
