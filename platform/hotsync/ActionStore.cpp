#include "hotsync/ActionStore.h"

#include "hotsync/RecordFile.h"
#include "hotsync/UserStore.h"
#include "fileio/FileLock.h"

#include <charconv>
#include <map>
#include <utility>

namespace hotsync {

namespace {
constexpr const char *tag = "GVACTIONS";

using ActionMap = std::map<std::uint32_t, ConduitActions>;

std::string encode(const std::optional<std::int32_t> &v)
{
    return v ? std::to_string(*v) : std::string();
}

ActionMap loadActions(const RecordFile &file)
{
    auto records = file.read();
    ActionMap map;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto &r = records[i];
        if (r[0] != "action" || r.size() != 4)
            file.malformed(i, "unknown record");
        ConduitActions a;
        auto decode = [&](const std::string &text, std::optional<std::int32_t> &out) {
            if (text.empty())
                return;
            std::int32_t v = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
            if (ec != std::errc() || end != text.data() + text.size())
                file.malformed(i, "invalid action");
            out = v;
        };
        decode(r[2], a.permanent);
        decode(r[3], a.temporary);
        try {
            map[CreatorId::fromText(r[1]).number()] = a;
        } catch (const std::exception &e) {
            file.malformed(i, e.what());
        }
    }
    return map;
}

void saveActions(const RecordFile &file, const ActionMap &map)
{
    std::vector<Record> records;
    for (const auto &[creator, a] : map) {
        if (a.permanent || a.temporary)
            records.push_back(
                {"action", CreatorId::fromNumber(creator).text(), encode(a.permanent), encode(a.temporary)});
    }
    file.write(records);
}
} // namespace

ActionStore::ActionStore(HostRoot root) : root_(std::move(root)) {}

ConduitActions ActionStore::get(std::int32_t userId, CreatorId creator) const
{
    auto map = loadActions(RecordFile(root_.actionsFile(userId), tag));
    auto it = map.find(creator.number());
    return it == map.end() ? ConduitActions{} : it->second;
}

void ActionStore::set(std::int32_t userId, CreatorId creator, const ConduitActions &actions)
{
    UserStore(root_).require(userId);
    fileio::FileLock lock(root_.lockFile());
    RecordFile file(root_.actionsFile(userId), tag);
    auto map = loadActions(file);
    map[creator.number()] = actions;
    saveActions(file, map);
}

std::optional<std::int32_t> ActionStore::takeNextAction(std::int32_t userId, CreatorId creator)
{
    fileio::FileLock lock(root_.lockFile());
    RecordFile file(root_.actionsFile(userId), tag);
    auto map = loadActions(file);
    auto it = map.find(creator.number());
    if (it == map.end())
        return std::nullopt;
    if (auto temporary = std::exchange(it->second.temporary, std::nullopt)) {
        saveActions(file, map);
        return temporary;
    }
    return it->second.permanent;
}

} // namespace hotsync
