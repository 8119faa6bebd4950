#include "hotsync/InstallQueue.h"

#include "hotsync/HostError.h"
#include "hotsync/RecordFile.h"
#include "hotsync/UserStore.h"
#include "fileio/FileLock.h"

#include <algorithm>

namespace hotsync {

namespace fs = std::filesystem;

namespace {
constexpr const char *tag = "GVQUEUE";

std::vector<fs::path> loadQueue(const RecordFile &file)
{
    std::vector<fs::path> files;
    auto records = file.read();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i][0] != "file" || records[i].size() != 2)
            file.malformed(i, "unknown record");
        files.emplace_back(records[i][1]);
    }
    return files;
}

void saveQueue(const RecordFile &file, const std::vector<fs::path> &files)
{
    std::vector<Record> records;
    for (const auto &f : files)
        records.push_back({"file", f.string()});
    file.write(records);
}
} // namespace

InstallQueue::InstallQueue(HostRoot root) : root_(std::move(root)) {}

void InstallQueue::enqueue(std::int32_t userId, const fs::path &file)
{
    UserStore(root_).require(userId);
    // A file may be queued before it exists (an installer queues what it is
    // about to copy); the HotSync that finds it missing keeps it queued and
    // says so in its log.
    fs::path absolute = fs::absolute(file).lexically_normal();
    fileio::FileLock lock(root_.lockFile());
    RecordFile store(root_.installQueueFile(userId), tag);
    auto files = loadQueue(store);
    if (std::find(files.begin(), files.end(), absolute) != files.end())
        return;
    files.push_back(absolute);
    saveQueue(store, files);
}

std::vector<fs::path> InstallQueue::list(std::int32_t userId) const
{
    return loadQueue(RecordFile(root_.installQueueFile(userId), tag));
}

bool InstallQueue::remove(std::int32_t userId, const fs::path &file)
{
    fileio::FileLock lock(root_.lockFile());
    RecordFile store(root_.installQueueFile(userId), tag);
    auto files = loadQueue(store);
    auto it = std::find(files.begin(), files.end(), fs::absolute(file).lexically_normal());
    if (it == files.end())
        return false;
    files.erase(it);
    saveQueue(store, files);
    return true;
}

void InstallQueue::clear(std::int32_t userId)
{
    fileio::FileLock lock(root_.lockFile());
    RecordFile store(root_.installQueueFile(userId), tag);
    if (!loadQueue(store).empty())
        saveQueue(store, {});
}

} // namespace hotsync
