#include "VirtualDisplay.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace gvtest {

VirtualDisplay::VirtualDisplay()
{
    int pipeEnds[2];
    if (::access("/usr/bin/Xvfb", X_OK) != 0 || ::pipe(pipeEnds) != 0)
        return;
    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(pipeEnds[1], 3);
        ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24",
                static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    char buffer[32] = {};
    std::size_t used = 0;
    while (used + 1 < sizeof buffer) {
        const ssize_t n = ::read(pipeEnds[0], buffer + used, 1);
        if (n <= 0 || buffer[used] == '\n')
            break;
        ++used;
    }
    ::close(pipeEnds[0]);
    if (used > 0 && buffer[used] == '\n')
        FDisplay = ":" + std::string(buffer, used);
}

VirtualDisplay::~VirtualDisplay()
{
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        ::waitpid(FPid, nullptr, 0);
    }
}

} // namespace gvtest
