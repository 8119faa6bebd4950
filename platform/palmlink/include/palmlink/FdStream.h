#pragma once

#include "palmlink/ByteStream.h"

#include <string>

namespace palmlink {

// A ByteStream over a non-blocking file descriptor (socket, tty, pty
// master), which it owns. Reads and writes wait with poll().
class FdStream : public ByteStream {
public:
    // `what` names the stream in error messages.
    FdStream(int fd, std::string what, bool socket);
    ~FdStream() override;
    FdStream(const FdStream &) = delete;
    FdStream &operator=(const FdStream &) = delete;

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override;
    void write(std::span<const std::uint8_t> bytes) override;
    void close() override;

    int fd() const { return fd_; }
    const std::string &what() const { return what_; }
    void setWriteTimeout(milliseconds timeout) { writeTimeout_ = timeout; }

protected:
    // Raises LinkError with the message and errno's text.
    [[noreturn]] void fail(const std::string &action, int error) const;

private:
    int fd_;
    std::string what_;
    bool socket_;
    milliseconds writeTimeout_{30000};
};

// Waits until fd is readable (or writable) or the deadline passes; false
// on time-out. Restarts after signals.
bool waitForFd(int fd, bool forWriting, Deadline deadline);

} // namespace palmlink
