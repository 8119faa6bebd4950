#include "palmsync/FolderHandheld.h"

#include "palmsync/HandheldFolder.h"

#include "fileio/DurableFile.h"

#include <ctime>

namespace palmsync {

namespace fs = std::filesystem;
using handheld::Record;

std::vector<handheld::DatabaseInfo> FolderHandheld::listDatabases()
{
    std::vector<handheld::DatabaseInfo> result;
    for (const auto &d : HandheldFolder(folder_).list())
        result.push_back({d.name, d.type, d.creator, d.resource, d.fault});
    return result;
}

std::shared_ptr<handheld::HandheldDatabase> FolderHandheld::openDatabase(const std::string &name)
{
    auto file = HandheldFolder(folder_).find(name);
    if (!file)
        return nullptr;
    PalmDatabase db = PalmDatabase::load(*file);
    if (db.isResourceDatabase())
        throw PalmDatabaseError("Database " + name + " is a resource database, not a record database");
    return std::make_shared<FolderDatabase>(folder_, name, *file, std::move(db));
}

std::shared_ptr<handheld::HandheldDatabase> FolderHandheld::createDatabase(const std::string &name,
                                                                           const std::string &creator,
                                                                           const std::string &type)
{
    HandheldFolder(folder_).createRecordDatabase(name, creator, type);
    return openDatabase(name);
}

bool FolderHandheld::deleteDatabase(const std::string &name)
{
    auto file = HandheldFolder(folder_).find(name);
    if (!file)
        return false;
    std::error_code ec;
    fs::remove(*file, ec);
    if (ec)
        throw PalmDatabaseError("Cannot remove " + file->string() + ": " + ec.message());
    fileio::syncFolder(folder_);
    return true;
}

std::string FolderHandheld::installDatabase(const fs::path &file)
{
    return HandheldFolder(folder_).install(file).filename().string();
}

void FolderHandheld::copyDatabase(const std::string &name, const fs::path &file)
{
    auto source = HandheldFolder(folder_).find(name);
    if (!source)
        throw PalmDatabaseError("Database " + name + " not found on the handheld");
    fileio::writeFileAtomically(file, fileio::readFile(*source, PalmDatabase::kMaxFileSize));
}

std::vector<std::string> FolderHandheld::listStaged(const std::string &name)
{
    return HandheldFolder(folder_).staged(name);
}

void FolderHandheld::publishStaged(const std::string &name, const std::string &token)
{
    HandheldFolder(folder_).publish(name, token);
}

void FolderHandheld::discardStaged(const std::string &name, const std::string &token)
{
    HandheldFolder(folder_).discard(name, token);
}

FolderDatabase::FolderDatabase(fs::path folder, std::string name, fs::path file, PalmDatabase db)
    : folder_(std::move(folder)), name_(std::move(name)), file_(std::move(file)), db_(std::move(db))
{
}

std::optional<Record> FolderDatabase::recordAt(std::size_t index)
{
    if (index >= db_.records.size())
        return std::nullopt;
    const PalmRecord &r = db_.records[index];
    return Record{r.uniqueId, r.attributes, r.category, r.data};
}

std::optional<std::size_t> FolderDatabase::indexOf(std::uint32_t id)
{
    int i = id > 0 ? db_.indexOfRecord(id) : -1;
    if (i < 0)
        return std::nullopt;
    return static_cast<std::size_t>(i);
}

std::uint32_t FolderDatabase::writeRecord(const Record &record)
{
    PalmRecord *target;
    if (record.id == 0) {
        const std::uint32_t id = db_.allocateUniqueId();
        if (db_.records.size() >= 0xFFFF)
            throw PalmDatabaseError("Database " + name_ + " cannot hold more records");
        db_.records.push_back(PalmRecord{});
        target = &db_.records.back();
        target->uniqueId = id;
    } else {
        auto i = indexOf(record.id);
        if (!i)
            throw PalmDatabaseError("Record " + std::to_string(record.id) + " not found in database " + name_);
        target = &db_.records[*i];
    }
    target->category = record.category;
    target->attributes = record.attributes;
    target->data = record.data;
    changed_ = true;
    return target->uniqueId;
}

void FolderDatabase::deleteRecord(std::uint32_t id)
{
    auto i = indexOf(id);
    if (!i)
        throw PalmDatabaseError("Record " + std::to_string(id) + " not found in database " + name_);
    db_.records.erase(db_.records.begin() + static_cast<std::ptrdiff_t>(*i));
    changed_ = true;
}

void FolderDatabase::purgeDeleted()
{
    const std::size_t before = db_.records.size();
    std::erase_if(db_.records, [](const PalmRecord &r) { return (r.attributes & handheld::kAttrDeleted) != 0; });
    if (db_.records.size() != before)
        changed_ = true;
}

void FolderDatabase::deleteAll()
{
    if (db_.records.empty())
        return;
    db_.records.clear();
    changed_ = true;
}

void FolderDatabase::resetSyncFlags()
{
    for (auto &r : db_.records) {
        if (r.attributes & handheld::kAttrDirty) {
            r.attributes &= static_cast<std::uint8_t>(~handheld::kAttrDirty);
            changed_ = true;
        }
    }
}

void FolderDatabase::flush()
{
    if (!changed_)
        return;
    // A failed write must not bump the header twice: it is put back then.
    const PalmDatabaseHeader before = db_.header;
    db_.touch(std::time(nullptr));
    try {
        db_.save(file_);
    } catch (...) {
        db_.header = before;
        throw;
    }
    changed_ = false;
}

std::string FolderDatabase::stage()
{
    if (!changed_)
        return std::string();
    // The header is only kept when the staged file is published or staged
    // again; a failure puts it back.
    const PalmDatabaseHeader before = db_.header;
    db_.touch(std::time(nullptr));
    try {
        stagedToken_ = HandheldFolder(folder_).stage(name_, db_);
    } catch (...) {
        db_.header = before;
        throw;
    }
    return stagedToken_;
}

void FolderDatabase::publish(const std::string &token)
{
    HandheldFolder(folder_).publish(name_, token);
    stagedToken_.clear();
    changed_ = false;
}

void FolderDatabase::discard()
{
    if (!stagedToken_.empty()) {
        try {
            HandheldFolder(folder_).discard(name_, stagedToken_);
        } catch (const PalmDatabaseError &e) {
            warning_ = e.what();
        }
        stagedToken_.clear();
    }
    if (changed_) {
        PalmDatabase reread = PalmDatabase::load(file_);
        reread.keepUniqueIdsAbove(db_);
        db_ = std::move(reread);
        changed_ = false;
    }
}

} // namespace palmsync
