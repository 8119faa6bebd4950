#include "hotsync/ConduitStore.h"

#include "hotsync/HostError.h"
#include "hotsync/RecordFile.h"
#include "fileio/FileLock.h"
#include "registry/RegistryKey.h"

#include <algorithm>
#include <charconv>

namespace hotsync {

namespace {
constexpr const char *tag = "GVCONDUITS";

bool sameName(const std::string &a, const std::string &b)
{
    return registry::foldName(a) == registry::foldName(b);
}
} // namespace

std::optional<std::string> ConduitRegistration::creatorValue(const std::string &name, const std::string &index) const
{
    for (const auto &v : creatorValues) {
        if (sameName(v.name, name) && sameName(v.index, index))
            return v.value;
    }
    return std::nullopt;
}

void ConduitRegistration::setCreatorValue(const std::string &name, const std::string &index, const std::string &value)
{
    for (auto &v : creatorValues) {
        if (sameName(v.name, name) && sameName(v.index, index)) {
            v.value = value;
            return;
        }
    }
    creatorValues.push_back({name, index, value});
}

bool ConduitRegistration::isComConduit() const
{
    return sameName(conduitName, comConduitModule);
}

std::filesystem::path ConduitRegistration::folderIn(const std::filesystem::path &userDirectory) const
{
    std::filesystem::path relative(directory);
    bool safe = !relative.has_root_path();
    for (const auto &part : relative)
        safe = safe && part != "..";
    if (!safe)
        throw HostError("The conduit folder \"" + directory + "\" must be a folder name inside the user's folder");
    return directory.empty() ? userDirectory : userDirectory / relative;
}

ConduitStore::ConduitStore(HostRoot root) : root_(std::move(root)) {}

std::vector<ConduitRegistration> ConduitStore::load() const
{
    RecordFile file(root_.conduitsFile(), tag);
    auto records = file.read();
    std::vector<ConduitRegistration> all;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto &r = records[i];
        if (r[0] == "conduit" && r.size() == 2) {
            ConduitRegistration c;
            try {
                c.creator = CreatorId::fromText(r[1]);
            } catch (const HostError &e) {
                file.malformed(i, e.what());
            }
            all.push_back(std::move(c));
            continue;
        }
        if (all.empty())
            file.malformed(i, "setting before the first conduit");
        auto &c = all.back();
        if (r[0] == "value" && r.size() == 4) {
            c.creatorValues.push_back({r[1], r[2], r[3]});
        } else if (r[0] == "set" && r.size() == 3) {
            const auto &name = r[1];
            const auto &v = r[2];
            if (name == "ConduitName")
                c.conduitName = v;
            else if (name == "RemoteDb")
                c.remoteDb = v;
            else if (name == "Directory")
                c.directory = v;
            else if (name == "fileName")
                c.fileName = v;
            else if (name == "Title")
                c.title = v;
            else if (name == "Priority") {
                auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), c.priority);
                if (v.empty() || ec != std::errc() || end != v.data() + v.size())
                    file.malformed(i, "invalid priority");
            } else {
                file.malformed(i, "unknown setting " + name);
            }
        } else {
            file.malformed(i, "unknown record");
        }
    }
    return all;
}

void ConduitStore::save(const std::vector<ConduitRegistration> &all) const
{
    std::vector<Record> records;
    for (const auto &c : all) {
        records.push_back({"conduit", c.creator.text()});
        records.push_back({"set", "ConduitName", c.conduitName});
        records.push_back({"set", "Priority", std::to_string(c.priority)});
        records.push_back({"set", "RemoteDb", c.remoteDb});
        records.push_back({"set", "Directory", c.directory});
        records.push_back({"set", "fileName", c.fileName});
        records.push_back({"set", "Title", c.title});
        for (const auto &v : c.creatorValues)
            records.push_back({"value", v.name, v.index, v.value});
    }
    RecordFile(root_.conduitsFile(), tag).write(records);
}

std::int32_t ConduitStore::install(CreatorId creator)
{
    fileio::FileLock lock(root_.lockFile());
    auto all = load();
    if (std::any_of(all.begin(), all.end(), [&](const auto &c) { return c.creator == creator; }))
        return alreadyRegistered;
    ConduitRegistration c;
    c.creator = creator;
    all.push_back(std::move(c));
    save(all);
    return 0;
}

void ConduitStore::update(CreatorId creator, const std::function<void(ConduitRegistration &)> &change)
{
    fileio::FileLock lock(root_.lockFile());
    auto all = load();
    auto it = std::find_if(all.begin(), all.end(), [&](const auto &c) { return c.creator == creator; });
    if (it == all.end())
        throw HostError("No conduit is registered for creator " + creator.text());
    change(*it);
    it->creator = creator;
    save(all);
}

bool ConduitStore::remove(CreatorId creator)
{
    fileio::FileLock lock(root_.lockFile());
    auto all = load();
    auto it = std::find_if(all.begin(), all.end(), [&](const auto &c) { return c.creator == creator; });
    if (it == all.end())
        return false;
    all.erase(it);
    save(all);
    return true;
}

std::optional<ConduitRegistration> ConduitStore::find(CreatorId creator) const
{
    for (auto &c : load()) {
        if (c.creator == creator)
            return c;
    }
    return std::nullopt;
}

std::vector<ConduitRegistration> ConduitStore::list() const
{
    auto all = load();
    std::stable_sort(all.begin(), all.end(), [](const auto &a, const auto &b) {
        if (a.priority != b.priority)
            return a.priority < b.priority;
        return a.creator.text() < b.creator.text();
    });
    return all;
}

} // namespace hotsync
