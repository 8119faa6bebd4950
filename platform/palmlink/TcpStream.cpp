#include "palmlink/TcpStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace palmlink {

namespace {

std::string endpoint(const std::string &host, std::uint16_t port)
{
    return host + ":" + std::to_string(port);
}

void setNoDelay(int fd)
{
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace

std::pair<std::string, std::uint16_t> splitHostPort(const std::string &text)
{
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        throw std::invalid_argument("\"" + text + "\" is not HOST:PORT");
    unsigned port = 0;
    const char *begin = text.data() + colon + 1, *end = text.data() + text.size();
    auto [p, ec] = std::from_chars(begin, end, port);
    if (ec != std::errc() || p != end || port == 0 || port > 65535)
        throw std::invalid_argument("\"" + text + "\" has no valid port");
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return {host, static_cast<std::uint16_t>(port)};
}

std::unique_ptr<TcpStream> TcpStream::connect(const std::string &host, std::uint16_t port, milliseconds timeout)
{
    const std::string what = "TCP " + endpoint(host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *res = nullptr;
    int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
    if (rc != 0)
        throw LinkError(what + ": cannot resolve: " + ::gai_strerror(rc));
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(res, ::freeaddrinfo);
    Deadline deadline = deadlineIn(timeout);
    std::string lastError = "no address";
    for (addrinfo *ai = res; ai; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 || errno == EINPROGRESS) {
            if (waitForFd(fd, true, deadline)) {
                int err = 0;
                socklen_t len = sizeof err;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                if (err == 0) {
                    setNoDelay(fd);
                    return std::make_unique<TcpStream>(fd, what);
                }
                lastError = std::strerror(err);
            } else {
                lastError = "timed out";
            }
        } else {
            lastError = std::strerror(errno);
        }
        ::close(fd);
    }
    if (lastError == "timed out")
        throw TimeoutError(what + ": cannot connect: timed out");
    throw LinkError(what + ": cannot connect: " + lastError);
}

TcpListener::TcpListener(const std::string &address, std::uint16_t port)
{
    const std::string what = "TCP " + endpoint(address, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *res = nullptr;
    int rc = ::getaddrinfo(address.empty() ? nullptr : address.c_str(), std::to_string(port).c_str(), &hints, &res);
    if (rc != 0)
        throw LinkError(what + ": cannot resolve: " + ::gai_strerror(rc));
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(res, ::freeaddrinfo);
    fd_ = ::socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0)
        throw LinkError(what + ": cannot create a socket: " + std::strerror(errno));
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd_, res->ai_addr, res->ai_addrlen) < 0 || ::listen(fd_, 8) < 0) {
        int e = errno;
        ::close(fd_);
        throw LinkError(what + ": cannot listen: " + std::strerror(e));
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&bound), &len);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
}

TcpListener::~TcpListener()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::unique_ptr<TcpStream> TcpListener::accept(Deadline deadline)
{
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        int fd = ::accept4(fd_, reinterpret_cast<sockaddr *>(&peer), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            setNoDelay(fd);
            char host[INET6_ADDRSTRLEN] = "?";
            std::uint16_t port = 0;
            if (peer.ss_family == AF_INET) {
                auto *a = reinterpret_cast<sockaddr_in *>(&peer);
                ::inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
                port = ntohs(a->sin_port);
            } else if (peer.ss_family == AF_INET6) {
                auto *a = reinterpret_cast<sockaddr_in6 *>(&peer);
                ::inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
                port = ntohs(a->sin6_port);
            }
            return std::make_unique<TcpStream>(fd, "TCP peer " + endpoint(host, port));
        }
        int e = errno;
        if (e == EINTR || e == ECONNABORTED)
            continue;
        if (e != EAGAIN && e != EWOULDBLOCK)
            throw LinkError("TCP port " + std::to_string(port_) + ": accept failed: " + std::strerror(e));
        if (!waitForFd(fd_, false, deadline))
            throw TimeoutError("TCP port " + std::to_string(port_) + ": no connection in time");
    }
}

} // namespace palmlink
