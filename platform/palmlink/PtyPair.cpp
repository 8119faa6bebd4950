#include "palmlink/PtyPair.h"

#include "palmlink/SerialPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace palmlink {

PtyPair::PtyPair()
{
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw LinkError(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    if (::grantpt(fd) < 0 || ::unlockpt(fd) < 0) {
        int e = errno;
        ::close(fd);
        throw LinkError(std::string("cannot unlock a pseudo-terminal: ") + std::strerror(e));
    }
    char name[128];
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        int e = errno;
        ::close(fd);
        throw LinkError(std::string("cannot name a pseudo-terminal: ") + std::strerror(e));
    }
    slavePath_ = name;
    // The line discipline sits on the slave side; make it raw before any
    // byte passes, so nothing is echoed or translated.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        int e = errno;
        ::close(fd);
        throw LinkError(slavePath_ + ": cannot open: " + std::strerror(e));
    }
    try {
        makeRaw(slave, slavePath_);
    } catch (...) {
        ::close(slave);
        ::close(fd);
        throw;
    }
    heldSlave_ = slave;
    master_ = std::make_unique<FdStream>(fd, "pty " + slavePath_, false);
}

PtyPair::~PtyPair()
{
    releaseSlave();
}

void PtyPair::releaseSlave()
{
    if (heldSlave_ >= 0) {
        ::close(heldSlave_);
        heldSlave_ = -1;
    }
}

} // namespace palmlink
