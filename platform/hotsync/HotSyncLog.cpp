#include "hotsync/HotSyncLog.h"

#include "hotsync/HostError.h"
#include "fileio/FileLock.h"
#include "fileio/SystemCalls.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace hotsync {

HotSyncLog::HotSyncLog(HostRoot root, std::int32_t userId) : root_(std::move(root)), userId_(userId) {}

void HotSyncLog::append(const std::vector<std::string> &lines, std::chrono::system_clock::time_point when) const
{
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    std::string text;
    for (std::string line : lines) {
        for (char &c : line) {
            if (c == '\n' || c == '\r')
                c = ' ';
        }
        text += std::string(stamp) + " " + line + "\n";
    }

    auto file = path();
    fileio::FileLock lock(root_.lockFile());
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        throw HostError("Cannot open the HotSync log " + file.string() + ": " + std::strerror(errno));
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = fileio::systemCalls().write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            throw HostError("Cannot write the HotSync log " + file.string() + ": " + std::strerror(err));
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    fileio::systemCalls().fsync(fd);
    ::close(fd);
}

} // namespace hotsync
