#include "palmlink/FdStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace palmlink {

void ByteStream::readExactly(std::span<std::uint8_t> buffer, milliseconds timeout)
{
    std::size_t got = 0;
    while (got < buffer.size())
        got += readSome(buffer.subspan(got), deadlineIn(timeout));
}

bool waitForFd(int fd, bool forWriting, Deadline deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            left = 0;
        pollfd p{fd, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (n > 0)
            return true;
        if (n == 0) {
            if (Clock::now() >= deadline)
                return false;
            continue;
        }
        if (errno != EINTR)
            return true; // let the read or write report the error
    }
}

FdStream::FdStream(int fd, std::string what, bool socket) : fd_(fd), what_(std::move(what)), socket_(socket)
{
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) {
        int e = errno;
        ::close(fd_);
        fd_ = -1;
        fail("cannot make non-blocking", e);
    }
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
}

FdStream::~FdStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void FdStream::fail(const std::string &action, int error) const
{
    throw LinkError(what_ + ": " + action + ": " + std::strerror(error));
}

void FdStream::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::size_t FdStream::readSome(std::span<std::uint8_t> buffer, Deadline deadline)
{
    if (buffer.empty())
        return 0;
    for (;;) {
        if (fd_ < 0)
            throw ConnectionClosedError(what_ + ": closed");
        ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n == 0)
            throw ConnectionClosedError(what_ + ": the peer closed the connection");
        int e = errno;
        if (e == EINTR)
            continue;
        if (e == EIO || e == ECONNRESET || e == EPIPE || e == ENOTCONN)
            throw ConnectionClosedError(what_ + ": the connection went away (" + std::strerror(e) + ")");
        if (e != EAGAIN && e != EWOULDBLOCK)
            fail("read failed", e);
        if (!waitForFd(fd_, false, deadline))
            throw TimeoutError(what_ + ": nothing received in time");
    }
}

void FdStream::write(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    Deadline deadline = deadlineIn(writeTimeout_);
    while (done < bytes.size()) {
        if (fd_ < 0)
            throw ConnectionClosedError(what_ + ": closed");
        ssize_t n = socket_ ? ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                            : ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            deadline = deadlineIn(writeTimeout_);
            continue;
        }
        int e = n < 0 ? errno : EAGAIN;
        if (e == EINTR)
            continue;
        if (e == EIO || e == ECONNRESET || e == EPIPE || e == ENOTCONN)
            throw ConnectionClosedError(what_ + ": the connection went away (" + std::strerror(e) + ")");
        if (e != EAGAIN && e != EWOULDBLOCK)
            fail("write failed", e);
        if (!waitForFd(fd_, true, deadline))
            throw TimeoutError(what_ + ": the peer takes no more bytes");
    }
}

} // namespace palmlink
