#include "SyncConsole.h"

#include <algorithm>
#include <ostream>

namespace hotsynctool {

namespace {

constexpr auto redrawEvery = std::chrono::milliseconds(100);

std::string padLeft(const std::string &text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string padRight(const std::string &text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

} // namespace

SyncConsole::SyncConsole(std::ostream &out, std::ostream &err, Settings settings)
    : out_(out), err_(err), settings_(settings), stageStart_(Clock::now()), lastEvent_(stageStart_)
{
}

void SyncConsole::line(const std::string &text)
{
    // A stage that follows a log line began with it.
    lastEvent_ = Clock::now();
    clear();
    out_ << text << "\n";
    if (settings_.errorsToErr && text.rfind("ERROR", 0) == 0) {
        out_.flush();
        err_ << "hotsync: " << text << "\n";
    }
    out_.flush();
}

void SyncConsole::progress(const std::string &conduit, const std::string &table, const std::string &stage,
                           std::int32_t done, std::int32_t total)
{
    const auto now = Clock::now();
    const std::string key = conduit + "\n" + table + "\n" + stage;
    const bool newStage = key != stageKey_;
    if (newStage) {
        // The stage began when the one before it ended.
        stageKey_ = key;
        stageStart_ = lastEvent_;
    }
    lastEvent_ = now;
    if (!settings_.drawProgress)
        return;
    if (!newStage && done != total && now - lastDraw_ < redrawEvery)
        return;
    lastDraw_ = now;

    std::string text = conduit + " " + table + ": " + stage + " " + std::to_string(done);
    if (total > 0)
        text += " of " + std::to_string(total) + " (" + std::to_string(std::int64_t(done) * 100 / total) + "%)";
    const double seconds = std::chrono::duration<double>(now - stageStart_).count();
    if (seconds >= 0.05)
        text += ", " + std::to_string(static_cast<std::int64_t>(done / seconds)) + " records/s";
    if (settings_.width > 1 && text.size() >= static_cast<std::size_t>(settings_.width))
        text.resize(static_cast<std::size_t>(settings_.width) - 1);
    out_ << "\r" << text << "\033[K";
    out_.flush();
    drawn_ = true;
}

void SyncConsole::clear()
{
    if (!drawn_)
        return;
    out_ << "\r\033[K";
    drawn_ = false;
}

void SyncConsole::printSummary(std::ostream &out, const std::vector<hotsync::TableSummary> &tables)
{
    if (tables.empty())
        return;
    std::size_t first = 5;
    for (const auto &t : tables)
        first = std::max(first, t.conduit.size() + 1 + t.table.size());
    first += 2;
    constexpr std::size_t number = 7, gap = 2, groupGap = 4;
    const std::size_t group = 3 * number + 2 * gap;
    auto counts = [&](std::int32_t a, std::int32_t b, std::int32_t c) {
        return padLeft(std::to_string(a), number) + std::string(gap, ' ') + padLeft(std::to_string(b), number) +
               std::string(gap, ' ') + padLeft(std::to_string(c), number);
    };
    out << std::string(first, ' ') << padRight("On the handheld", group) << std::string(groupGap, ' ')
        << "On the desktop\n"
        << padRight("Table", first) << padRight("  added  changed  deleted", group) << std::string(groupGap, ' ')
        << padRight("  added  changed  deleted", group) << std::string(groupGap, ' ') << "renumbered\n";
    for (const auto &t : tables) {
        const auto &c = t.counts;
        out << padRight(t.conduit + " " + t.table, first)
            << counts(c.handheldAdded, c.handheldChanged, c.handheldDeleted) << std::string(groupGap, ' ')
            << counts(c.desktopAdded, c.desktopChanged, c.desktopDeleted) << std::string(groupGap, ' ')
            << padLeft(std::to_string(c.renumbered), 10) << "\n";
    }
}

} // namespace hotsynctool
