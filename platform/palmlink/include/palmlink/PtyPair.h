#pragma once

#include "palmlink/FdStream.h"

#include <memory>
#include <string>

namespace palmlink {

// A pseudo-terminal for tests and demos: the master end is a stream here,
// the slave end a tty path that a SerialPort (another program) opens as
// its serial line.
class PtyPair {
public:
    PtyPair(); // raises LinkError
    const std::string &slavePath() const { return slavePath_; }
    FdStream &master() { return *master_; }
    std::unique_ptr<FdStream> takeMaster() { return std::move(master_); }

private:
    std::unique_ptr<FdStream> master_;
    std::string slavePath_;
};

} // namespace palmlink
