#pragma once

#include "hotsync/SyncRunner.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace hotsynctool {

// What a HotSync shows while it runs: its log lines on standard output,
// error lines also on standard error (when that is another file), and on
// a terminal one line that follows the table being read or written,
// redrawn in place and wiped before the next log line.
class SyncConsole {
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        bool drawProgress = false; // standard output is a terminal, and no --quiet
        bool errorsToErr = true;   // standard error is not the same file as standard output
        int width = 80;            // columns of the terminal
    };

    SyncConsole(std::ostream &out, std::ostream &err, Settings settings);

    void line(const std::string &text);
    void progress(const std::string &conduit, const std::string &table, const std::string &stage, std::int32_t done,
                  std::int32_t total);
    // Wipes the progress line.
    void clear();

    // What each table's HotSync changed, one row per table:
    //
    //                       On the handheld            On the desktop
    //   Table               added  changed  deleted    added  changed  deleted    renumbered
    //   Gearvane MAIN           0        0        0       60        0        0            60
    static void printSummary(std::ostream &out, const std::vector<hotsync::TableSummary> &tables);

private:
    std::ostream &out_;
    std::ostream &err_;
    Settings settings_;
    bool drawn_ = false;
    std::string stageKey_;
    Clock::time_point stageStart_;
    Clock::time_point lastEvent_;
    Clock::time_point lastDraw_;
};

} // namespace hotsynctool
