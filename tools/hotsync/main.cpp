#include "HotSyncTool.h"

#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameFile(int a, int b)
{
    struct stat sa {
    }, sb{};
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    hotsynctool::Streams streams;
    streams.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    streams.errIsSeparate = !sameFile(STDOUT_FILENO, STDERR_FILENO);
    return hotsynctool::HotSyncTool(std::cout, std::cerr, streams).run(std::move(args));
}
