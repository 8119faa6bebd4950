#include "palmlink/SerialPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace palmlink {

namespace {

speed_t speedOf(std::uint32_t baud)
{
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    default:
        return 0;
    }
}

} // namespace

bool SerialPort::supportsBaudRate(std::uint32_t baud)
{
    return speedOf(baud) != 0;
}

void makeRaw(int fd, const std::string &what)
{
    termios t{};
    if (::tcgetattr(fd, &t) < 0)
        throw LinkError(what + ": not a terminal: " + std::strerror(errno));
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) < 0)
        throw LinkError(what + ": cannot set raw mode: " + std::strerror(errno));
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw LinkError(path + ": cannot open: " + std::strerror(errno));
    auto port = std::make_unique<SerialPort>(fd, path);
    makeRaw(fd, path);
    port->setBaudRate(9600);
    ::tcflush(fd, TCIOFLUSH);
    return port;
}

void SerialPort::setBaudRate(std::uint32_t baud)
{
    speed_t speed = speedOf(baud);
    if (speed == 0)
        throw LinkError(what() + ": unsupported baud rate " + std::to_string(baud));
    termios t{};
    if (::tcgetattr(fd(), &t) < 0 || ::cfsetispeed(&t, speed) < 0 || ::cfsetospeed(&t, speed) < 0 ||
        ::tcsetattr(fd(), TCSANOW, &t) < 0)
        fail("cannot set the baud rate to " + std::to_string(baud), errno);
    baud_ = baud;
}

void SerialPort::drain()
{
    ::tcdrain(fd());
}

} // namespace palmlink
