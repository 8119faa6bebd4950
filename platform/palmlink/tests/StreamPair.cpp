#include "StreamPair.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace palmlink::test {

std::pair<std::unique_ptr<FdStream>, std::unique_ptr<FdStream>> streamPair()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) < 0)
        throw LinkError(std::string("socketpair: ") + std::strerror(errno));
    return {std::make_unique<FdStream>(fds[0], "desktop end", true),
            std::make_unique<FdStream>(fds[1], "handheld end", true)};
}

void FaultyStream::write(std::span<const std::uint8_t> bytes)
{
    std::size_t index = writes_++;
    if (drop && drop(index))
        return;
    if (written_ + bytes.size() > cutAfter) {
        std::size_t keep = cutAfter - written_;
        if (keep)
            inner_.write(bytes.first(keep));
        written_ = cutAfter;
        inner_.close();
        throw ConnectionClosedError("cut");
    }
    written_ += bytes.size();
    inner_.write(bytes);
}

} // namespace palmlink::test
