#include "palmlink/DeviceHandheld.h"

#include "fileio/DurableFile.h"
#include "palmsync/PalmDatabase.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace palmlink {

namespace fs = std::filesystem;
using handheld::Record;

namespace {

constexpr std::uint8_t kAttributeMask = 0xF0; // the bits a conduit sees and writes
constexpr const char *kStagedTag = "GVDEVICESTAGED 1";

std::uint64_t contentHash(const Record &r)
{
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&](std::uint8_t b) {
        h ^= b;
        h *= 1099511628211ull;
    };
    mix(r.category);
    for (auto b : r.data)
        mix(b);
    return h;
}

std::string hexName(const std::string &name)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : name) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

std::string newToken()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string token;
    for (int i = 0; i < 10; ++i)
        token += alphabet[device() % (sizeof alphabet - 1)];
    return token;
}

bool validToken(const std::string &token)
{
    return !token.empty() && token.size() <= 32 &&
           std::all_of(token.begin(), token.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

std::uint32_t fileDate(const dlp::DateTime &d)
{
    return d.year == 0 ? 0 : static_cast<std::uint32_t>(d.toUnix() + palmsync::PalmDatabase::kEpoch1904Offset);
}

} // namespace

// ---------------------------------------------------------------------------
// The handheld

DeviceHandheld::DeviceHandheld(DlpClient &client, std::string description, fs::path stagingFolder)
    : client_(client), description_(std::move(description)), stagingFolder_(std::move(stagingFolder))
{
}

DeviceHandheld::~DeviceHandheld() = default;

std::vector<handheld::DatabaseInfo> DeviceHandheld::listDatabases()
{
    std::vector<handheld::DatabaseInfo> result;
    for (const auto &d : call([](DlpClient &c) { return c.readDbList(dlp::dblist::Ram); }))
        result.push_back(
            {d.name(), fourCcText(d.type), fourCcText(d.creator), (d.dbFlags & dlp::dbflag::ResDB) != 0, {}});
    return result;
}

std::shared_ptr<handheld::HandheldDatabase> DeviceHandheld::openDatabase(const std::string &name)
{
    if (auto it = open_.find(name); it != open_.end())
        return it->second;
    auto found = call([&](DlpClient &c) { return c.findDbByName(name); });
    if (!found)
        return nullptr;
    if (found->info.dbFlags & dlp::dbflag::ResDB)
        throw std::runtime_error("Database " + name + " is a resource database, not a record database");
    const std::uint8_t mode = dlp::openmode::Read | dlp::openmode::Write | dlp::openmode::ShowSecret;
    std::uint8_t handle = call([&](DlpClient &c) { return c.openDb(name, mode); });
    auto db = std::make_shared<DeviceDatabase>(*this, name, handle);
    open_.emplace(name, db);
    return db;
}

std::shared_ptr<handheld::HandheldDatabase>
DeviceHandheld::createDatabase(const std::string &name, const std::string &creator, const std::string &type)
{
    dlp::CreateDBRequest q;
    q.creator = fourCc(creator);
    q.type = fourCc(type);
    q.name = name;
    const std::uint8_t handle = call([&](DlpClient &c) { return c.createDb(q); });
    auto db = std::make_shared<DeviceDatabase>(*this, name, handle);
    open_[name] = db;
    return db;
}

void DeviceHandheld::end(bool success)
{
    closeAll();
    call([&](DlpClient &c) { c.endOfSync(success ? dlp::EndOfSyncRequest::kNormal : dlp::EndOfSyncRequest::kOther); });
}

void DeviceHandheld::closeDatabase(const std::string &name)
{
    auto it = open_.find(name);
    if (it == open_.end())
        return;
    auto db = it->second;
    open_.erase(it);
    db->forget();
    call([&](DlpClient &c) { c.closeDb(db->handle()); });
}

void DeviceHandheld::closeAll()
{
    while (!open_.empty())
        closeDatabase(open_.begin()->first);
}

bool DeviceHandheld::deleteDatabase(const std::string &name)
{
    closeDatabase(name);
    return call([&](DlpClient &c) { return c.deleteDb(name); });
}

std::string DeviceHandheld::installDatabase(const fs::path &file)
{
    const auto bytes = fileio::readFile(file, palmsync::PalmDatabase::kMaxFileSize);
    const palmsync::PalmDatabase db = palmsync::PalmDatabase::parse(bytes, file.string());
    const std::string name = db.name();
    if (name.empty())
        throw std::runtime_error("Cannot install " + file.string() + ": the database has no name");
    const bool resource = db.isResourceDatabase();
    if (auto existing = call([&](DlpClient &c) { return c.findDbByName(name); })) {
        // A database exists once on a handheld: one of the other kind would
        // have to go, and with it data the install was never meant to touch.
        if (((existing->info.dbFlags & dlp::dbflag::ResDB) != 0) != resource)
            throw std::runtime_error("Cannot install " + file.string() + ": the handheld holds a " +
                                     (resource ? "record" : "resource") + " database named " + name + ", which a " +
                                     (resource ? "resource" : "record") + " database cannot replace");
        deleteDatabase(name);
    }
    dlp::CreateDBRequest q;
    q.creator = fourCc(db.creator());
    q.type = fourCc(db.type());
    q.dbFlags = static_cast<std::uint16_t>(db.header.attributes & ~(dlp::dbflag::Open | dlp::dbflag::ReadOnly));
    q.version = db.header.version;
    q.name = name;
    const std::uint8_t handle = call([&](DlpClient &c) { return c.createDb(q); });
    try {
        call([&](DlpClient &c) {
            if (db.appInfo)
                c.writeAppBlock(handle, *db.appInfo);
            if (db.sortInfo)
                c.writeSortBlock(handle, *db.sortInfo);
            for (const auto &r : db.records)
                c.writeRecord(handle, r.uniqueId, r.attributes, r.category, r.data);
            for (const auto &r : db.resources)
                c.writeResource(handle, r.type, r.id, r.data);
        });
    } catch (...) {
        // A half-written database is worse than none: the install stays queued.
        try {
            call([&](DlpClient &c) {
                c.closeDb(handle);
                c.deleteDb(name);
            });
        } catch (const std::exception &) {
        }
        throw;
    }
    call([&](DlpClient &c) { c.closeDb(handle); });
    return name + " on the handheld";
}

void DeviceHandheld::copyDatabase(const std::string &name, const fs::path &file)
{
    auto found = call([&](DlpClient &c) { return c.findDbByName(name); });
    if (!found)
        throw std::runtime_error("Database " + name + " not found on the handheld");
    const dlp::DbInfo &info = found->info;
    palmsync::PalmDatabase out;
    const bool resource = (info.dbFlags & dlp::dbflag::ResDB) != 0;
    out = resource
              ? palmsync::PalmDatabase::createResourceDatabase(name, fourCcText(info.type), fourCcText(info.creator), 0)
              : palmsync::PalmDatabase::createRecordDatabase(name, fourCcText(info.type), fourCcText(info.creator), 0);
    out.header.attributes = static_cast<std::uint16_t>(info.dbFlags & ~dlp::dbflag::Open);
    out.header.version = info.version;
    out.header.modificationNumber = info.modificationNumber;
    out.header.creationDate = fileDate(info.created);
    out.header.modificationDate = fileDate(info.modified);
    out.header.backupDate = fileDate(info.backedUp);
    if (resource) {
        const std::uint8_t handle = call([&](DlpClient &c) { return c.openDb(name, dlp::openmode::Read); });
        call([&](DlpClient &c) {
            out.appInfo = c.readAppBlock(handle);
            for (std::uint16_t i = 0;; ++i) {
                auto r = c.readResourceByIndex(handle, i);
                if (!r)
                    break;
                out.resources.push_back({fourCcText(r->type), r->id, r->data});
            }
            c.closeDb(handle);
        });
    } else {
        // Opened for the HotSync: what is read here is what the conduits
        // read next, without asking the device again.
        auto db = std::static_pointer_cast<DeviceDatabase>(openDatabase(name));
        db->loadAll();
        for (std::size_t i = 0; i < db->recordCount(); ++i) {
            auto r = db->recordAt(i);
            out.records.push_back({r->attributes, r->category, r->id, r->data});
        }
        out.appInfo = db->appInfo();
        out.sortInfo = call([&](DlpClient &c) { return c.readSortBlock(db->handle()); });
    }
    fileio::writeFileAtomically(file, out.serialize());
}

fs::path DeviceHandheld::stagedFile(const std::string &name, const std::string &token) const
{
    if (!validToken(token))
        throw std::runtime_error("\"" + token + "\" does not name staged changes");
    return stagingFolder_ / (hexName(name) + "-" + token + ".staged");
}

std::vector<std::string> DeviceHandheld::listStaged(const std::string &name)
{
    std::vector<std::string> tokens;
    std::error_code ec;
    if (stagingFolder_.empty() || !fs::is_directory(stagingFolder_, ec))
        return tokens;
    const std::string prefix = hexName(name) + "-";
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    for (const auto &entry : fs::directory_iterator(stagingFolder_, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.compare(0, prefix.size(), prefix) != 0 || entry.path().extension() != ".staged")
            continue;
        std::string token = file.substr(prefix.size(), file.size() - prefix.size() - 7);
        if (validToken(token))
            found.emplace_back(fs::last_write_time(entry.path(), ec), token);
    }
    std::sort(found.begin(), found.end());
    for (auto &f : found)
        tokens.push_back(std::move(f.second));
    return tokens;
}

void DeviceHandheld::publishStaged(const std::string &name, const std::string &token)
{
    if (stagingFolder_.empty())
        return;
    const fs::path file = stagedFile(name, token);
    std::error_code ec;
    if (!fs::exists(file, ec))
        return;
    if (auto db = std::static_pointer_cast<DeviceDatabase>(openDatabase(name)))
        db->applyStaged(file);
    discardStaged(name, token);
}

void DeviceHandheld::discardStaged(const std::string &name, const std::string &token)
{
    if (stagingFolder_.empty())
        return;
    std::error_code ec;
    fs::remove(stagedFile(name, token), ec);
    if (ec)
        throw std::runtime_error("Cannot remove " + stagedFile(name, token).string() + ": " + ec.message());
}

std::optional<handheld::UserInfo> DeviceHandheld::readUser()
{
    const dlp::UserInfo u = call([](DlpClient &c) { return c.readUserInfo(); });
    return handheld::UserInfo{u.name(),
                              u.userId,
                              u.viewerId,
                              u.lastSyncPc,
                              u.successfulSync.year ? u.successfulSync.toUnix() : 0,
                              u.lastSync.year ? u.lastSync.toUnix() : 0};
}

void DeviceHandheld::writeSyncInfo(std::uint32_t pcId, std::int64_t when, bool synced)
{
    dlp::WriteUserInfoRequest q;
    q.lastSyncPc = pcId;
    q.modFlags = dlp::usermod::SyncPc;
    if (synced) {
        q.lastSync = dlp::DateTime::fromUnix(when);
        q.modFlags |= dlp::usermod::SyncDate;
    }
    call([&](DlpClient &c) { c.writeUserInfo(q); });
}

void DeviceHandheld::addLogEntry(const std::string &text)
{
    call([&](DlpClient &c) { c.addSyncLogEntry(text + "\n"); });
}

void DeviceHandheld::openConduit()
{
    call([](DlpClient &c) { c.openConduit(); });
}

// ---------------------------------------------------------------------------
// One database

DeviceDatabase::DeviceDatabase(DeviceHandheld &link, std::string name, std::uint8_t handle)
    : link_(link), name_(std::move(name)), handle_(handle)
{
}

void DeviceDatabase::forget()
{
    listed_ = false;
    ids_.clear();
    records_.clear();
    positionsStale_ = true;
    heldAttributes_.clear();
    heldPurges_.clear();
    sent_.clear();
    irreversible_ = false;
}

void DeviceDatabase::list()
{
    if (listed_)
        return;
    ids_ = link_.call([&](DlpClient &c) { return c.readRecordIdList(handle_); });
    positionsStale_ = true;
    listed_ = true;
}

const Record &DeviceDatabase::load(std::uint32_t id)
{
    if (auto it = records_.find(id); it != records_.end())
        return it->second;
    auto data = link_.call([&](DlpClient &c) { return c.readRecordById(handle_, id); });
    if (!data)
        throw std::runtime_error("Record " + std::to_string(id) + " of database " + name_ +
                                 " went away on the handheld during the HotSync");
    Record r{id, static_cast<std::uint8_t>(data->attributes & kAttributeMask),
             static_cast<std::uint8_t>(data->category & 0x0F), std::move(data->data)};
    return records_.emplace(id, std::move(r)).first->second;
}

void DeviceDatabase::loadAll()
{
    list();
    for (auto id : ids_)
        load(id);
}

std::size_t DeviceDatabase::recordCount()
{
    list();
    return ids_.size();
}

std::optional<Record> DeviceDatabase::recordAt(std::size_t index)
{
    list();
    if (index >= ids_.size())
        return std::nullopt;
    return load(ids_[index]);
}

std::optional<std::size_t> DeviceDatabase::indexOf(std::uint32_t id)
{
    list();
    if (positionsStale_) {
        positions_.clear();
        for (std::size_t i = 0; i < ids_.size(); ++i)
            positions_[ids_[i]] = i;
        positionsStale_ = false;
    }
    auto it = positions_.find(id);
    if (it == positions_.end())
        return std::nullopt;
    return it->second;
}

std::uint8_t DeviceDatabase::deviceAttributes(std::uint32_t id) const
{
    if (auto held = heldAttributes_.find(id); held != heldAttributes_.end())
        return held->second;
    return records_.at(id).attributes;
}

void DeviceDatabase::removeFromList(std::uint32_t id)
{
    auto i = indexOf(id);
    if (i)
        ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(*i));
    positionsStale_ = true;
    records_.erase(id);
    heldAttributes_.erase(id);
}

std::uint32_t DeviceDatabase::writeRecord(const Record &record)
{
    list();
    if (record.id == 0) {
        const std::uint32_t id = link_.call(
            [&](DlpClient &c) { return c.writeRecord(handle_, 0, record.attributes, record.category, record.data); });
        Record stored = record;
        stored.id = id;
        if (!positionsStale_)
            positions_[id] = ids_.size();
        ids_.push_back(id);
        records_[id] = std::move(stored);
        if (transactional_)
            sent_.push_back({true, Record{id, 0, 0, {}}});
        return id;
    }
    if (!indexOf(record.id))
        throw std::runtime_error("Record " + std::to_string(record.id) + " not found in database " + name_);
    const Record old = load(record.id);
    const std::uint8_t onDevice = transactional_ ? deviceAttributes(record.id) : old.attributes;
    if (transactional_ && record.data == old.data && record.category == old.category) {
        // Only the flags change: that waits for publish().
        if (record.attributes != onDevice)
            heldAttributes_[record.id] = onDevice;
        else
            heldAttributes_.erase(record.id);
        records_[record.id] = record;
        return record.id;
    }
    // The content goes now; the device's dirty bit stays until publish().
    const std::uint8_t sent = transactional_
                                  ? static_cast<std::uint8_t>(record.attributes | (onDevice & handheld::kAttrDirty))
                                  : record.attributes;
    link_.call([&](DlpClient &c) { c.writeRecord(handle_, record.id, sent, record.category, record.data); });
    if (transactional_) {
        Record before = old;
        before.attributes = onDevice;
        sent_.push_back({false, std::move(before)});
    }
    records_[record.id] = record;
    if (sent != record.attributes)
        heldAttributes_[record.id] = sent;
    else
        heldAttributes_.erase(record.id);
    return record.id;
}

void DeviceDatabase::deleteRecord(std::uint32_t id)
{
    if (!indexOf(id))
        throw std::runtime_error("Record " + std::to_string(id) + " not found in database " + name_);
    const Record &r = load(id);
    if (transactional_ && (deviceAttributes(id) & handheld::kAttrDeleted)) {
        // Purging a record the handheld deleted clears its change: that
        // waits for publish().
        heldPurges_.push_back(r);
    } else {
        link_.call([&](DlpClient &c) { c.deleteRecord(handle_, id); });
        if (transactional_)
            irreversible_ = true;
    }
    removeFromList(id);
}

void DeviceDatabase::purgeDeleted()
{
    loadAll();
    std::vector<std::uint32_t> doomed;
    for (auto id : ids_)
        if (records_.at(id).attributes & handheld::kAttrDeleted)
            doomed.push_back(id);
    for (auto id : doomed)
        deleteRecord(id);
}

void DeviceDatabase::deleteAll()
{
    list();
    if (ids_.empty() && heldPurges_.empty())
        return;
    link_.call([&](DlpClient &c) { c.deleteAllRecords(handle_); });
    if (transactional_)
        irreversible_ = true;
    ids_.clear();
    records_.clear();
    positionsStale_ = true;
    heldAttributes_.clear();
    heldPurges_.clear();
}

void DeviceDatabase::resetSyncFlags()
{
    if (!transactional_) {
        link_.call([&](DlpClient &c) { c.resetSyncFlags(handle_); });
        for (auto &[id, r] : records_)
            r.attributes &= static_cast<std::uint8_t>(~handheld::kAttrDirty);
        return;
    }
    loadAll();
    for (auto id : ids_) {
        Record &r = records_.at(id);
        if (!(r.attributes & handheld::kAttrDirty))
            continue;
        heldAttributes_.emplace(id, r.attributes);
        r.attributes &= static_cast<std::uint8_t>(~handheld::kAttrDirty);
    }
}

std::optional<handheld::Bytes> DeviceDatabase::appInfo()
{
    return link_.call([&](DlpClient &c) { return c.readAppBlock(handle_); });
}

std::string DeviceDatabase::stage()
{
    if (heldAttributes_.empty() && heldPurges_.empty() && sent_.empty() && !irreversible_)
        return std::string();
    token_ = newToken();
    if (!link_.stagingFolder_.empty()) {
        std::ostringstream text;
        text << kStagedTag << "\n";
        for (const auto &[id, onDevice] : heldAttributes_) {
            const Record &r = records_.at(id);
            text << "clear " << id << " " << int(onDevice) << " " << int(r.attributes) << " " << contentHash(r) << "\n";
        }
        for (const Record &r : heldPurges_)
            text << "purge " << r.id << " " << int(r.attributes) << " 0 " << contentHash(r) << "\n";
        std::error_code ec;
        fs::create_directories(link_.stagingFolder_, ec);
        const std::string s = text.str();
        fileio::writeFileAtomically(link_.stagedFile(name_, token_), std::string_view(s));
    }
    return token_;
}

void DeviceDatabase::publish(const std::string &token)
{
    // One ResetSyncFlags and one CleanUpDatabase do the work of every
    // single rewrite and removal when the device then holds exactly what
    // the conduit asked for: every record known, no flag to keep but those
    // the reset leaves, every record marked deleted to go.
    bool bulk = listed_ && (!heldAttributes_.empty() || !heldPurges_.empty());
    if (bulk) {
        for (auto id : ids_) {
            auto r = records_.find(id);
            if (r == records_.end() || (deviceAttributes(id) & ~handheld::kAttrDirty) != r->second.attributes ||
                (r->second.attributes & (handheld::kAttrDeleted | handheld::kAttrDirty)) != 0) {
                bulk = false;
                break;
            }
        }
    }
    if (bulk) {
        link_.call([&](DlpClient &c) {
            if (!heldPurges_.empty())
                c.cleanUpDatabase(handle_);
            if (!heldAttributes_.empty())
                c.resetSyncFlags(handle_);
        });
    } else {
        for (auto it = heldAttributes_.begin(); it != heldAttributes_.end();) {
            const Record &r = records_.at(it->first);
            link_.call([&](DlpClient &c) { c.writeRecord(handle_, r.id, r.attributes, r.category, r.data); });
            it = heldAttributes_.erase(it);
        }
        for (const Record &r : heldPurges_) {
            link_.call([&](DlpClient &c) {
                try {
                    c.deleteRecord(handle_, r.id);
                } catch (const DlpError &e) {
                    if (e.code() != dlp::error::NotFound)
                        throw;
                }
            });
        }
    }
    heldAttributes_.clear();
    heldPurges_.clear();
    sent_.clear();
    irreversible_ = false;
    token_.clear();
    if (!link_.stagingFolder_.empty()) {
        std::error_code ec;
        fs::remove(link_.stagedFile(name_, token), ec);
    }
}

void DeviceDatabase::discard()
{
    std::string failure;
    try {
        for (auto it = sent_.rbegin(); it != sent_.rend(); ++it) {
            const Record &r = it->before;
            link_.call([&](DlpClient &c) {
                if (it->created) {
                    try {
                        c.deleteRecord(handle_, r.id);
                    } catch (const DlpError &e) {
                        if (e.code() != dlp::error::NotFound)
                            throw;
                    }
                } else {
                    c.writeRecord(handle_, r.id, r.attributes, r.category, r.data);
                }
            });
        }
    } catch (const std::exception &e) {
        failure = e.what();
    }
    if (!failure.empty())
        warning_ = "the changes sent to " + name_ + " could not all be taken back: " + failure;
    else if (irreversible_)
        warning_ = "records removed from " + name_ + " on the handheld stay removed";
    if (!token_.empty() && !link_.stagingFolder_.empty()) {
        std::error_code ec;
        fs::remove(link_.stagedFile(name_, token_), ec);
    }
    token_.clear();
    // What the device holds now is read again when needed.
    forget();
}

void DeviceDatabase::applyStaged(const fs::path &file)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != kStagedTag)
        throw std::runtime_error(file.string() + " holds no staged changes of a handheld");
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        std::uint32_t id = 0;
        int onDevice = 0, target = 0;
        std::uint64_t hash = 0;
        if (!(fields >> kind >> id >> onDevice >> target >> hash))
            throw std::runtime_error(file.string() + ": damaged line \"" + line + "\"");
        if (!indexOf(id))
            continue;
        const Record r = load(id);
        // A record the user changed on the handheld since keeps its flags:
        // they stand for that change now.
        if (contentHash(r) != hash || r.attributes != onDevice)
            continue;
        if (kind == "clear") {
            Record cleared = r;
            cleared.attributes = static_cast<std::uint8_t>(target);
            writeRecord(cleared);
        } else if (kind == "purge") {
            deleteRecord(id);
        }
    }
}

} // namespace palmlink
