#include "hotsync/UserStore.h"

#include "fileio/FileLock.h"
#include "hotsync/HostError.h"
#include "hotsync/RecordFile.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace hotsync {

namespace fs = std::filesystem;

namespace {
constexpr const char *tag = "GVUSERS";

template <class T> bool parseNumber(const std::string &text, T &value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}
} // namespace

UserStore::UserStore(HostRoot root) : root_(std::move(root)) {}

UserStore::Content UserStore::load() const
{
    RecordFile file(root_.usersFile(), tag);
    auto records = file.read();
    Content c;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto &r = records[i];
        if (r[0] == "next" && r.size() == 2) {
            if (!parseNumber(r[1], c.nextId) || c.nextId < 1)
                file.malformed(i, "invalid next id");
        } else if (r[0] == "user" && r.size() == 4) {
            User u;
            if (!parseNumber(r[1], u.id))
                file.malformed(i, "invalid user id");
            u.name = r[2];
            u.directory = r[3];
            c.users.push_back(std::move(u));
        } else {
            file.malformed(i, "unknown record");
        }
    }
    for (const auto &u : c.users) {
        if (u.id >= c.nextId)
            c.nextId = std::int64_t(u.id) + 1;
    }
    return c;
}

void UserStore::save(const Content &c) const
{
    std::vector<Record> records;
    records.push_back({"next", std::to_string(c.nextId)});
    for (const auto &u : c.users)
        records.push_back({"user", std::to_string(u.id), u.name, u.directory.string()});
    RecordFile(root_.usersFile(), tag).write(records);
}

User UserStore::add(const std::string &name, const std::optional<fs::path> &directory)
{
    fileio::FileLock lock(root_.lockFile());
    Content c = load();
    return addLocked(c, name, directory);
}

User UserStore::addUnique(const std::string &name, const std::optional<fs::path> &directory)
{
    fileio::FileLock lock(root_.lockFile());
    Content c = load();
    for (const auto &u : c.users) {
        if (u.name == name)
            throw HostError("A HotSync user named \"" + name + "\" exists already (id " + std::to_string(u.id) + ")");
    }
    return addLocked(c, name, directory);
}

User UserStore::addLocked(Content &c, const std::string &name, const std::optional<fs::path> &directory)
{
    if (name.empty())
        throw HostError("A HotSync user needs a name");
    if (c.nextId > std::numeric_limits<std::int32_t>::max())
        throw HostError("No user id left");
    User u;
    u.id = static_cast<std::int32_t>(c.nextId++);
    u.name = name;
    u.directory = directory ? fs::absolute(*directory) : root_.defaultUserDirectory(u.id, name);
    std::error_code ec;
    fs::create_directories(u.directory, ec);
    if (ec || !fs::is_directory(u.directory))
        throw HostError("Cannot create the user folder " + u.directory.string() +
                        (ec ? ": " + ec.message() : std::string(": not a folder")));
    c.users.push_back(u);
    save(c);
    return u;
}

std::vector<User> UserStore::list() const
{
    return load().users;
}

std::optional<User> UserStore::find(std::int32_t id) const
{
    for (auto &u : load().users) {
        if (u.id == id)
            return u;
    }
    return std::nullopt;
}

std::vector<User> UserStore::findByName(const std::string &name) const
{
    std::vector<User> found;
    for (auto &u : load().users) {
        if (u.name == name)
            found.push_back(u);
    }
    return found;
}

User UserStore::requireByName(const std::string &name) const
{
    auto found = findByName(name);
    if (found.empty())
        throw HostError("No HotSync user named \"" + name + "\"");
    if (found.size() > 1) {
        std::string ids;
        for (const auto &u : found)
            ids += (ids.empty() ? "" : ", ") + std::to_string(u.id);
        throw HostError("Several HotSync users are named \"" + name + "\" (ids " + ids + "); give the user id");
    }
    return found.front();
}

User UserStore::require(std::int32_t id) const
{
    auto u = find(id);
    if (!u)
        throw HostError("No HotSync user with id " + std::to_string(id));
    return *u;
}

User UserStore::rename(std::int32_t id, const std::string &name)
{
    if (name.empty())
        throw HostError("A HotSync user needs a name");
    fileio::FileLock lock(root_.lockFile());
    Content c = load();
    User *found = nullptr;
    for (auto &u : c.users) {
        if (u.id == id)
            found = &u;
        else if (u.name == name)
            throw HostError("A HotSync user named \"" + name + "\" exists already (id " + std::to_string(u.id) + ")");
    }
    if (!found)
        throw HostError("No HotSync user with id " + std::to_string(id));
    found->name = name;
    User renamed = *found;
    save(c);
    return renamed;
}

bool UserStore::remove(std::int32_t id)
{
    fileio::FileLock lock(root_.lockFile());
    Content c = load();
    auto it = std::find_if(c.users.begin(), c.users.end(), [&](const User &u) { return u.id == id; });
    if (it == c.users.end())
        return false;
    c.users.erase(it);
    save(c);
    // The queue and the actions only steer the user's HotSyncs; the log and
    // the backups are the user's history and the way back, and stay.
    std::error_code ec;
    fs::remove(root_.installQueueFile(id), ec);
    fs::remove(root_.actionsFile(id), ec);
    return true;
}

} // namespace hotsync
