#pragma once

#include "hotsync/HostRoot.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace hotsync {

// A user's HotSync log file: each line is appended as
// "YYYY-MM-DD HH:MM:SS <text>" (local time of `when`); line breaks inside a
// text become blanks so that one entry stays one line.
class HotSyncLog {
public:
    HotSyncLog(HostRoot root, std::int32_t userId);

    void append(const std::vector<std::string> &lines, std::chrono::system_clock::time_point when) const;
    std::filesystem::path path() const { return root_.logFile(userId_); }

private:
    HostRoot root_;
    std::int32_t userId_;
};

} // namespace hotsync
