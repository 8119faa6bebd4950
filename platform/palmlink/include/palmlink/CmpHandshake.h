#pragma once

#include "palmlink/PadpLink.h"
#include "palmlink/SerialPort.h"

namespace palmlink {

struct CmpAgreement {
    std::uint32_t baudRate = cmp::kInitialBaudRate;
    bool longPackets = false;
};

// The desktop's side: waits for the handheld's wakeup, answers with an
// init naming the rate to use (the handheld's highest, at most maxBaud and
// one the port supports) and, on a real serial port, switches the port to
// it once the init was acknowledged. `port` is null on TCP.
CmpAgreement acceptCmp(PadpLink &link, SerialPort *port, std::uint32_t maxBaud, milliseconds timeout);

// The handheld's side: sends the wakeup offering maxBaud, waits for the
// init and switches the port as told.
CmpAgreement openCmp(PadpLink &link, SerialPort *port, std::uint32_t maxBaud, milliseconds timeout);

} // namespace palmlink
