#include "palmlink/CmpHandshake.h"

namespace palmlink {

namespace {

std::uint32_t usableRate(SerialPort *port, std::uint32_t wanted)
{
    static const std::uint32_t rates[] = {460800, 230400, 115200, 57600, 38400, 19200, 9600};
    if (!port)
        return wanted;
    for (std::uint32_t r : rates)
        if (r <= wanted && SerialPort::supportsBaudRate(r))
            return r;
    return cmp::kInitialBaudRate;
}

CmpPacket expectCmp(const Bytes &message, std::uint8_t type)
{
    if (!isCmpMessage(message))
        throw DecodeError("CMP: expected a connection packet, got a DLP message");
    CmpPacket c = CmpPacket::decode(message);
    if (c.type == cmp::kAbort)
        throw ConnectionClosedError("CMP: the peer aborted the connection");
    if (c.type != type)
        throw DecodeError("CMP: unexpected " + c.describe());
    return c;
}

} // namespace

CmpAgreement acceptCmp(PadpLink &link, SerialPort *port, std::uint32_t maxBaud, milliseconds timeout)
{
    CmpPacket wakeup = expectCmp(link.receive(timeout), cmp::kWakeup);
    CmpAgreement a;
    a.baudRate = usableRate(port, wakeup.baudRate == 0 ? cmp::kInitialBaudRate : std::min(wakeup.baudRate, maxBaud));
    a.longPackets = (wakeup.flags & cmp::kLongPackets) != 0;
    CmpPacket init;
    init.type = cmp::kInit;
    init.flags = static_cast<std::uint8_t>((a.baudRate != cmp::kInitialBaudRate ? cmp::kChangeBaudRate : 0) |
                                           (a.longPackets ? cmp::kLongPackets : 0));
    init.versionMajor = 1;
    init.versionMinor = 1;
    init.baudRate = a.baudRate;
    link.send(init.encode(), link.lastReceivedXid());
    if (port && port->baudRate() != a.baudRate) {
        port->drain();
        port->setBaudRate(a.baudRate);
    }
    return a;
}

CmpAgreement openCmp(PadpLink &link, SerialPort *port, std::uint32_t maxBaud, milliseconds timeout)
{
    CmpPacket wakeup;
    wakeup.type = cmp::kWakeup;
    wakeup.flags = cmp::kLongPackets;
    wakeup.versionMajor = 1;
    wakeup.versionMinor = 2;
    wakeup.baudRate = maxBaud;
    link.send(wakeup.encode(), 0xFF);
    CmpPacket init = expectCmp(link.receive(timeout), cmp::kInit);
    CmpAgreement a;
    a.longPackets = (init.flags & cmp::kLongPackets) != 0;
    a.baudRate = (init.flags & cmp::kChangeBaudRate) ? init.baudRate : cmp::kInitialBaudRate;
    if (port && port->baudRate() != a.baudRate) {
        port->drain();
        port->setBaudRate(a.baudRate);
    }
    link.setLongForm(a.longPackets);
    return a;
}

} // namespace palmlink
