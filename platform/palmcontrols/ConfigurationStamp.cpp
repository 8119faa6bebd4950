#include "palmcontrols/ConfigurationStamp.h"

#include "hotsync/RecordFile.h"
#include "fileio/FileLock.h"

#include <charconv>
#include <string>

namespace palmcontrols {

namespace {
constexpr const char *tag = "GVNOTIFY";

template <class Int> bool parseNumber(const std::string &text, Int &value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}
} // namespace

std::optional<ConfigurationStamp> ConfigurationStamp::read(const hotsync::HostRoot &root)
{
    hotsync::RecordFile store(file(root), tag);
    const auto records = store.read();
    if (records.empty())
        return std::nullopt;
    if (records.size() != 1)
        store.malformed(1, "more than one stamp");
    const auto &r = records[0];
    ConfigurationStamp stamp;
    if (r.size() != 3 || r[0] != "changed" || !parseNumber(r[1], stamp.serial) || !parseNumber(r[2], stamp.argument))
        store.malformed(0, "invalid stamp");
    return stamp;
}

ConfigurationStamp ConfigurationStamp::advance(const hotsync::HostRoot &root, std::int32_t argument)
{
    fileio::FileLock lock(root.lockFile());
    ConfigurationStamp stamp = read(root).value_or(ConfigurationStamp{});
    stamp.serial += 1;
    stamp.argument = argument;
    hotsync::RecordFile(file(root), tag)
        .write({{"changed", std::to_string(stamp.serial), std::to_string(stamp.argument)}});
    return stamp;
}

} // namespace palmcontrols
