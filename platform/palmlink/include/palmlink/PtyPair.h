#pragma once

#include "palmlink/FdStream.h"

#include <memory>
#include <string>

namespace palmlink {

// A pseudo-terminal for tests and demos: the master end is a stream here,
// the slave end a tty path that a SerialPort (another program) opens as
// its serial line. The pair holds the slave end open itself until
// releaseSlave(), so that reading the master before the other program
// opened the slave waits instead of failing; while it is held, a peer that
// closes the slave is noticed by the read time-out.
class PtyPair {
public:
    PtyPair(); // raises LinkError
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;
    void releaseSlave();
    const std::string &slavePath() const { return slavePath_; }
    FdStream &master() { return *master_; }
    std::unique_ptr<FdStream> takeMaster() { return std::move(master_); }

private:
    std::unique_ptr<FdStream> master_;
    std::string slavePath_;
    int heldSlave_ = -1;
};

} // namespace palmlink
