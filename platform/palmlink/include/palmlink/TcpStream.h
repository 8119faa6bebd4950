#pragma once

#include "palmlink/FdStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace palmlink {

// A TCP connection.
class TcpStream : public FdStream {
public:
    // Connects to host:port (a name or an address) within the time-out.
    static std::unique_ptr<TcpStream> connect(const std::string &host, std::uint16_t port, milliseconds timeout);
    TcpStream(int fd, std::string what) : FdStream(fd, std::move(what), true) {}
};

// A listening TCP socket.
class TcpListener {
public:
    // Port 0 picks a free port (see port()). Raises LinkError.
    TcpListener(const std::string &address, std::uint16_t port);
    ~TcpListener();
    TcpListener(const TcpListener &) = delete;
    TcpListener &operator=(const TcpListener &) = delete;

    std::uint16_t port() const { return port_; }
    // The next connection; raises TimeoutError when none came by the deadline.
    std::unique_ptr<TcpStream> accept(Deadline deadline);

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// "host:port" split at the last colon; raises std::invalid_argument.
std::pair<std::string, std::uint16_t> splitHostPort(const std::string &text);

} // namespace palmlink
