#pragma once

#include "palmlink/FdStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace palmlink {

// A serial tty (or the handheld end of a pty) in raw mode: 8 data bits, no
// parity, one stop bit, no flow control, starting at 9600 baud.
class SerialPort : public FdStream {
public:
    // Raises LinkError when the device cannot be opened or set up.
    static std::unique_ptr<SerialPort> open(const std::string &path);
    SerialPort(int fd, std::string path) : FdStream(fd, std::move(path), false) {}

    // Raises LinkError for a rate the line does not support.
    void setBaudRate(std::uint32_t baud);
    std::uint32_t baudRate() const { return baud_; }
    // Waits until every written byte has left (before a rate change).
    void drain();

    static bool supportsBaudRate(std::uint32_t baud);

private:
    std::uint32_t baud_ = 9600;
};

// Sets a terminal to raw mode (used on both ends of a pty).
void makeRaw(int fd, const std::string &what);

} // namespace palmlink
