#include "VirtualHandheld.h"

#include "fileio/DurableFile.h"
#include "palmsync/HandheldFolder.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

namespace virtualhandheld {

namespace fs = std::filesystem;
using namespace palmlink;
using namespace palmlink::dlp;
using palmsync::PalmDatabase;

namespace {

constexpr const char *kUserFile = ".virtual-handheld-user";
constexpr const char *kLogFile = ".virtual-handheld-log";
constexpr std::size_t kListBatch = 16;

// A failure answered with an error code.
struct Refusal {
    std::uint16_t code;
};

Response ok(const Request &q)
{
    return Response{q.function, error::None, {}};
}

template <class T> T arg(const Request &q)
{
    const Argument *a = q.find(T::argId);
    if (!a)
        throw DecodeError(functionName(q.function) + " request lacks argument " + std::to_string(T::argId));
    return decodeArgument<T>(a->data);
}

std::uint32_t toFileDate(std::int64_t unix)
{
    return static_cast<std::uint32_t>(unix + PalmDatabase::kEpoch1904Offset);
}

DateTime fileDate(std::uint32_t raw)
{
    return raw == 0 ? DateTime{} : DateTime::fromUnix(PalmDatabase::toUnixTime(raw));
}

Bytes slice(const Bytes &data, std::uint16_t offset, std::uint16_t length)
{
    if (offset >= data.size())
        return {};
    std::size_t n = std::min<std::size_t>(length, data.size() - offset);
    return Bytes(data.begin() + offset, data.begin() + offset + static_cast<std::ptrdiff_t>(n));
}

RecordData recordData(const palmsync::PalmRecord &r, std::size_t index, std::uint16_t offset, std::uint16_t length)
{
    RecordData d;
    d.recordId = r.uniqueId;
    d.index = static_cast<std::uint16_t>(index);
    d.size = static_cast<std::uint16_t>(std::min<std::size_t>(r.data.size(), 0xFFFF));
    d.attributes = r.attributes;
    d.category = r.category;
    d.data = slice(r.data, offset, length);
    return d;
}

std::int64_t systemNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

fs::path HandheldUser::fileIn(const fs::path &folder)
{
    return folder / kUserFile;
}

HandheldUser HandheldUser::load(const fs::path &folder)
{
    HandheldUser u;
    std::ifstream in(fileIn(folder));
    if (!in)
        return u;
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        try {
            if (key == "name")
                u.name = value;
            else if (key == "userId")
                u.userId = static_cast<std::uint32_t>(std::stoul(value));
            else if (key == "viewerId")
                u.viewerId = static_cast<std::uint32_t>(std::stoul(value));
            else if (key == "lastSyncPc")
                u.lastSyncPc = static_cast<std::uint32_t>(std::stoul(value));
            else if (key == "successfulSync")
                u.successfulSync = std::stoll(value);
            else if (key == "lastSync")
                u.lastSync = std::stoll(value);
        } catch (const std::exception &) {
            throw std::runtime_error(fileIn(folder).string() + ": bad value for " + key + ": \"" + value + "\"");
        }
    }
    return u;
}

void HandheldUser::save(const fs::path &folder) const
{
    std::ostringstream s;
    s << "name=" << name << "\nuserId=" << userId << "\nviewerId=" << viewerId << "\nlastSyncPc=" << lastSyncPc
      << "\nsuccessfulSync=" << successfulSync << "\nlastSync=" << lastSync << "\n";
    const std::string text = s.str();
    fileio::writeFileAtomically(fileIn(folder), std::string_view(text));
}

VirtualHandheld::VirtualHandheld(fs::path folder, std::function<std::int64_t()> now)
    : folder_(std::move(folder)), now_(now ? std::move(now) : systemNow), user_(HandheldUser::load(folder_))
{
}

Response VirtualHandheld::handle(const Request &q)
{
    try {
        switch (static_cast<Function>(q.function)) {
        case Function::ReadUserInfo:
            return readUserInfo();
        case Function::WriteUserInfo:
            return writeUserInfo(q);
        case Function::ReadSysInfo:
            return readSysInfo(q);
        case Function::GetSysDateTime: {
            Response r = ok(q);
            r.args.push_back(makeArgument(SysDateTime{DateTime::fromUnix(now_())}));
            return r;
        }
        case Function::SetSysDateTime:
            arg<SetSysDateTimeRequest>(q);
            return ok(q);
        case Function::ReadStorageInfo:
            return readStorageInfo(q);
        case Function::ReadDBList:
            return readDbList(q);
        case Function::FindDB:
            return findDb(q);
        case Function::OpenDB:
            return openDatabase(q);
        case Function::CreateDB:
            return createDatabase(q);
        case Function::CloseDB:
            return closeDatabase(q);
        case Function::DeleteDB:
            return deleteDatabase(q);
        case Function::ReadAppBlock:
            return readBlock(q, true);
        case Function::ReadSortBlock:
            return readBlock(q, false);
        case Function::WriteAppBlock:
            return writeBlock(q, true);
        case Function::WriteSortBlock:
            return writeBlock(q, false);
        case Function::ReadOpenDBInfo: {
            Response r = withOpenDb(q, [](OpenDb &) {});
            if (r.errorCode == error::None) {
                OpenDb &d = *openDb(arg<ReadOpenDBInfoRequest>(q).handle);
                std::size_t n = d.db.isResourceDatabase() ? d.db.resources.size() : d.db.records.size();
                r.args.push_back(makeArgument(OpenDBInfo{static_cast<std::uint16_t>(n)}));
            }
            return r;
        }
        case Function::ReadRecord:
            return readRecord(q);
        case Function::ReadNextModifiedRec:
            return readNextRecord(q, true, false);
        case Function::ReadNextRecInCategory:
            return readNextRecord(q, false, true);
        case Function::ReadNextModifiedRecInCategory:
            return readNextRecord(q, true, true);
        case Function::ResetRecordIndex:
            return withOpenDb(q, [](OpenDb &d) { d.modifiedCursor = 0; });
        case Function::ReadRecordIDList:
            return readRecordIdList(q);
        case Function::WriteRecord:
            return writeRecord(q);
        case Function::DeleteRecord:
            return deleteRecord(q);
        case Function::ReadResource:
            return readResource(q);
        case Function::WriteResource:
            return writeResource(q);
        case Function::DeleteResource:
            return deleteResource(q);
        case Function::CleanUpDatabase:
            return withOpenDb(q, [](OpenDb &d) {
                if (d.db.isResourceDatabase())
                    throw Refusal{error::NotSupported};
                auto &recs = d.db.records;
                auto gone = std::remove_if(recs.begin(), recs.end(), [](const palmsync::PalmRecord &r) {
                    return (r.attributes & recattr::Deleted) != 0;
                });
                if (gone != recs.end()) {
                    recs.erase(gone, recs.end());
                    d.changed = true;
                }
            });
        case Function::ResetSyncFlags:
            return withOpenDb(q, [this](OpenDb &d) {
                for (auto &r : d.db.records)
                    r.attributes &= static_cast<std::uint8_t>(~recattr::Dirty);
                d.db.header.attributes &= static_cast<std::uint16_t>(~dbflag::AppInfoDirty);
                d.db.header.backupDate = toFileDate(now_());
                d.changed = true;
            });
        case Function::MoveCategory: {
            auto a = arg<MoveCategoryRequest>(q);
            return withOpenDb(q, [&](OpenDb &d) {
                for (auto &r : d.db.records)
                    if (r.category == a.fromCategory) {
                        r.category = a.toCategory & 0x0F;
                        d.changed = true;
                    }
            });
        }
        case Function::OpenConduit:
            return ok(q);
        case Function::AddSyncLogEntry: {
            std::string text = arg<AddSyncLogEntryRequest>(q).text;
            log_.push_back(text);
            std::ofstream(folder_ / kLogFile, std::ios::app) << text << "\n";
            return ok(q);
        }
        case Function::EndOfSync:
            closeAll();
            return ok(q);
        case Function::ReadNetSyncInfo: {
            Response r = ok(q);
            NetSyncInfo n;
            n.lanSyncOn = 1;
            r.args.push_back(makeArgument(n));
            return r;
        }
        case Function::WriteNetSyncInfo:
            arg<WriteNetSyncInfoRequest>(q);
            return ok(q);
        case Function::ReadFeature:
        case Function::ReadAppPreference:
        case Function::CallApplication:
            return Response{q.function, error::NotFound, {}};
        default:
            return Response{q.function, error::IllegalRequest, {}};
        }
    } catch (const Refusal &r) {
        return Response{q.function, r.code, {}};
    } catch (const DecodeError &) {
        throw;
    } catch (const std::exception &) {
        return Response{q.function, error::System, {}};
    }
}

VirtualHandheld::OpenDb *VirtualHandheld::openDb(std::uint8_t handle)
{
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

Response VirtualHandheld::withOpenDb(const Request &q, const std::function<void(OpenDb &)> &action)
{
    const Argument *a = q.find(kFirstArg);
    if (!a || a->data.empty())
        throw DecodeError(functionName(q.function) + " request lacks its database handle");
    OpenDb *d = openDb(a->data[0]);
    if (!d)
        return Response{q.function, open_.empty() ? error::NoneOpen : error::Param, {}};
    action(*d);
    return ok(q);
}

void VirtualHandheld::save(OpenDb &d)
{
    if (!d.changed)
        return;
    d.db.touch(now_());
    d.db.save(d.file);
    d.changed = false;
}

void VirtualHandheld::closeAll()
{
    for (auto &[handle, d] : open_)
        save(*d);
    open_.clear();
}

std::uint8_t VirtualHandheld::newHandle()
{
    for (std::uint8_t h = 1; h < 0xFF; ++h)
        if (!open_.count(h))
            return h;
    throw Refusal{error::TooManyOpenDatabases};
}

Response VirtualHandheld::readUserInfo()
{
    UserInfo u;
    u.userId = user_.userId;
    u.viewerId = user_.viewerId;
    u.lastSyncPc = user_.lastSyncPc;
    u.successfulSync = DateTime::fromUnix(user_.successfulSync);
    u.lastSync = DateTime::fromUnix(user_.lastSync);
    u.setName(user_.name);
    Response r{static_cast<std::uint8_t>(Function::ReadUserInfo), error::None, {}};
    r.args.push_back(makeArgument(u));
    return r;
}

Response VirtualHandheld::writeUserInfo(const Request &q)
{
    auto a = arg<WriteUserInfoRequest>(q);
    if (a.modFlags & usermod::UserId)
        user_.userId = a.userId;
    if (a.modFlags & usermod::ViewerId)
        user_.viewerId = a.viewerId;
    if (a.modFlags & usermod::SyncPc)
        user_.lastSyncPc = a.lastSyncPc;
    if (a.modFlags & usermod::SyncDate) {
        user_.lastSync = a.lastSync.toUnix();
        user_.successfulSync = user_.lastSync;
    }
    if (a.modFlags & usermod::Name)
        user_.name = a.name();
    user_.save(folder_);
    return ok(q);
}

Response VirtualHandheld::readSysInfo(const Request &q)
{
    Response r = ok(q);
    SysInfo s;
    s.romVersion = 0x05003000; // Palm OS 5.0
    s.localizationId = 0x00010000;
    s.productId = fourCc("GVvh");
    r.args.push_back(makeArgument(s));
    if (q.find(kFirstArg)) { // a DLP 1.2 desktop asks for the versions too
        SysInfoVersions v;
        v.dlpMajor = 1;
        v.dlpMinor = 4;
        v.compatMajor = 1;
        v.compatMinor = 0;
        v.maxRecordSize = 0xFFFF;
        r.args.push_back(makeArgument(v));
    }
    return r;
}

Response VirtualHandheld::readStorageInfo(const Request &q)
{
    auto a = arg<ReadStorageInfoRequest>(q);
    if (a.cardNo != 0)
        return Response{q.function, error::NotFound, {}};
    CardInfo c;
    c.cardNo = 0;
    c.cardVersion = 1;
    c.romSize = 4 * 1024 * 1024;
    c.ramSize = 16 * 1024 * 1024;
    c.freeRam = 8 * 1024 * 1024;
    c.setNames("Virtual Card", "Gearvane");
    StorageInfo s;
    s.lastCardNo = 0;
    s.count = 1;
    s.cards.push_back(c);
    StorageInfoEx ex;
    ex.ramDbCount = static_cast<std::uint16_t>(databaseList().size());
    Response r = ok(q);
    r.args.push_back(makeArgument(s));
    r.args.push_back(makeArgument(ex));
    return r;
}

DbInfo VirtualHandheld::infoOf(const PalmDatabase &db, std::uint16_t index) const
{
    DbInfo i;
    i.miscFlags = 0x40; // in RAM
    i.dbFlags = db.header.attributes;
    for (const auto &[h, d] : open_)
        if (d->name == db.name())
            i.dbFlags |= dbflag::Open;
    i.type = fourCc(db.type());
    i.creator = fourCc(db.creator());
    i.version = db.header.version;
    i.modificationNumber = db.header.modificationNumber;
    i.created = fileDate(db.header.creationDate);
    i.modified = fileDate(db.header.modificationDate);
    i.backedUp = fileDate(db.header.backupDate);
    i.index = index;
    i.setName(db.name());
    return i;
}

std::vector<DbInfo> VirtualHandheld::databaseList() const
{
    std::vector<DbInfo> list;
    for (const auto &entry : palmsync::HandheldFolder(folder_).list()) {
        if (!entry.fault.empty())
            continue; // a damaged file is no database the handheld has
        try {
            list.push_back(infoOf(PalmDatabase::load(entry.file), static_cast<std::uint16_t>(list.size())));
        } catch (const std::exception &) {
        }
    }
    return list;
}

Response VirtualHandheld::readDbList(const Request &q)
{
    auto a = arg<ReadDBListRequest>(q);
    if (!(a.flags & dblist::Ram) || a.cardNo != 0)
        return Response{q.function, error::NotFound, {}};
    std::vector<DbInfo> all = databaseList();
    if (a.startIndex >= all.size())
        return Response{q.function, error::NotFound, {}};
    std::size_t count = (a.flags & dblist::Multiple) ? kListBatch : 1;
    std::size_t end = std::min(all.size(), a.startIndex + count);
    DBList list;
    list.databases.assign(all.begin() + a.startIndex, all.begin() + static_cast<std::ptrdiff_t>(end));
    list.count = static_cast<std::uint8_t>(list.databases.size());
    list.lastIndex = static_cast<std::uint16_t>(end - 1);
    list.flags = end < all.size() ? dblist::More : 0;
    Response r = ok(q);
    r.args.push_back(makeArgument(list));
    return r;
}

Response VirtualHandheld::findDb(const Request &q)
{
    std::uint8_t opt = 0;
    std::optional<PalmDatabase> db;
    std::optional<std::uint16_t> index;
    if (const Argument *a = q.find(FindDBByNameRequest::argId)) {
        auto r = decodeArgument<FindDBByNameRequest>(a->data);
        opt = r.optFlags;
        auto list = databaseList();
        for (const DbInfo &i : list)
            if (i.name() == r.name) {
                index = i.index;
                if (auto file = palmsync::HandheldFolder(folder_).find(r.name))
                    db = PalmDatabase::load(*file);
            }
    } else if (const Argument *a = q.find(FindDBByHandleRequest::argId)) {
        auto r = decodeArgument<FindDBByHandleRequest>(a->data);
        opt = r.optFlags;
        if (OpenDb *d = openDb(r.handle))
            db = d->db;
    } else if (const Argument *a = q.find(FindDBByTypeCreatorRequest::argId)) {
        auto r = decodeArgument<FindDBByTypeCreatorRequest>(a->data);
        opt = r.optFlags;
        for (const auto &entry : palmsync::HandheldFolder(folder_).list())
            if (entry.fault.empty() && (r.type == 0 || fourCc(entry.type) == r.type) &&
                (r.creator == 0 || fourCc(entry.creator) == r.creator)) {
                db = PalmDatabase::load(entry.file);
                break;
            }
    } else {
        throw DecodeError("FindDB request without a search argument");
    }
    if (!db)
        return Response{q.function, error::NotFound, {}};
    Response r = ok(q);
    if (opt & finddb::GetAttributes) {
        FoundDB f;
        f.info = infoOf(*db, index.value_or(0xFFFF));
        r.args.push_back(makeArgument(f));
    }
    if (opt & (finddb::GetSize | finddb::GetMaxRecSize)) {
        FoundDBSize s;
        std::size_t maxSize = 0, dataBytes = 0;
        if (db->isResourceDatabase()) {
            s.recordCount = static_cast<std::uint32_t>(db->resources.size());
            for (const auto &x : db->resources) {
                dataBytes += x.data.size();
                maxSize = std::max(maxSize, x.data.size());
            }
        } else {
            s.recordCount = static_cast<std::uint32_t>(db->records.size());
            for (const auto &x : db->records) {
                dataBytes += x.data.size();
                maxSize = std::max(maxSize, x.data.size());
            }
        }
        s.dataBytes = static_cast<std::uint32_t>(dataBytes);
        s.totalBytes = static_cast<std::uint32_t>(db->serialize().size());
        s.appBlockSize = static_cast<std::uint32_t>(db->appInfo ? db->appInfo->size() : 0);
        s.sortBlockSize = static_cast<std::uint32_t>(db->sortInfo ? db->sortInfo->size() : 0);
        if (opt & finddb::GetMaxRecSize)
            s.maxRecordSize = static_cast<std::uint32_t>(maxSize);
        r.args.push_back(makeArgument(s));
    }
    return r;
}

Response VirtualHandheld::openDatabase(const Request &q)
{
    auto a = arg<OpenDBRequest>(q);
    if (a.cardNo != 0)
        return Response{q.function, error::NotFound, {}};
    palmsync::HandheldFolder folder(folder_);
    std::optional<fs::path> file;
    try {
        file = folder.find(a.name);
    } catch (const palmsync::PalmDatabaseError &) {
        return Response{q.function, error::Param, {}};
    }
    if (!file)
        return Response{q.function, error::NotFound, {}};
    auto d = std::make_unique<OpenDb>();
    d->name = a.name;
    d->file = *file;
    try {
        d->db = PalmDatabase::load(*file);
    } catch (const palmsync::PalmDatabaseError &) {
        return Response{q.function, error::CantOpen, {}};
    }
    d->mode = a.mode;
    std::uint8_t handle = newHandle();
    open_[handle] = std::move(d);
    Response r = ok(q);
    r.args.push_back(makeArgument(OpenDBResponse{handle}));
    return r;
}

Response VirtualHandheld::createDatabase(const Request &q)
{
    auto a = arg<CreateDBRequest>(q);
    palmsync::HandheldFolder folder(folder_);
    try {
        palmsync::HandheldFolder::checkDatabaseName(a.name);
        if (folder.find(a.name))
            return Response{q.function, error::AlreadyExists, {}};
    } catch (const palmsync::PalmDatabaseError &) {
        return Response{q.function, error::Param, {}};
    }
    const bool resource = (a.dbFlags & dbflag::ResDB) != 0;
    auto d = std::make_unique<OpenDb>();
    d->name = a.name;
    d->file = folder_ / (a.name + (resource ? ".prc" : ".pdb"));
    d->db = resource ? PalmDatabase::createResourceDatabase(a.name, fourCcText(a.type), fourCcText(a.creator), now_())
                     : PalmDatabase::createRecordDatabase(a.name, fourCcText(a.type), fourCcText(a.creator), now_());
    d->db.header.attributes = static_cast<std::uint16_t>(a.dbFlags & ~dbflag::Open);
    d->db.header.version = a.version;
    d->mode = openmode::Read | openmode::Write;
    d->changed = true;
    std::uint8_t handle = newHandle();
    OpenDb &ref = *d;
    open_[handle] = std::move(d);
    save(ref); // the new database exists from now on, as on a device
    Response r = ok(q);
    r.args.push_back(makeArgument(CreateDBResponse{handle}));
    return r;
}

Response VirtualHandheld::closeDatabase(const Request &q)
{
    if (q.find(CloseAllDBRequest::argId)) {
        closeAll();
        return ok(q);
    }
    std::uint8_t handle = 0;
    bool updateBackupDate = false;
    if (const Argument *a = q.find(CloseDBExRequest::argId)) {
        auto r = decodeArgument<CloseDBExRequest>(a->data);
        handle = r.handle;
        updateBackupDate = (r.optFlags & 0x80) != 0;
    } else {
        handle = arg<CloseDBRequest>(q).handle;
    }
    OpenDb *d = openDb(handle);
    if (!d)
        return Response{q.function, open_.empty() ? error::NoneOpen : error::Param, {}};
    if (updateBackupDate) {
        d->db.header.backupDate = toFileDate(now_());
        d->changed = true;
    }
    save(*d);
    open_.erase(handle);
    return ok(q);
}

Response VirtualHandheld::deleteDatabase(const Request &q)
{
    auto a = arg<DeleteDBRequest>(q);
    for (const auto &[h, d] : open_)
        if (d->name == a.name)
            return Response{q.function, error::DatabaseOpen, {}};
    std::optional<fs::path> file;
    try {
        file = palmsync::HandheldFolder(folder_).find(a.name);
    } catch (const palmsync::PalmDatabaseError &) {
        return Response{q.function, error::Param, {}};
    }
    if (!file)
        return Response{q.function, error::NotFound, {}};
    fs::remove(*file);
    return ok(q);
}

Response VirtualHandheld::readBlock(const Request &q, bool appInfo)
{
    auto a = arg<ReadAppBlockRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    const auto &block = appInfo ? d->db.appInfo : d->db.sortInfo;
    if (!block)
        return Response{q.function, error::NotFound, {}};
    AppBlock b;
    b.blockSize = static_cast<std::uint16_t>(std::min<std::size_t>(block->size(), 0xFFFF));
    b.data = slice(*block, a.offset, a.length);
    Response r = ok(q);
    r.args.push_back(makeArgument(b));
    return r;
}

Response VirtualHandheld::writeBlock(const Request &q, bool appInfo)
{
    auto a = arg<WriteAppBlockRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (!(d->mode & openmode::Write))
        return Response{q.function, error::ReadOnly, {}};
    auto &block = appInfo ? d->db.appInfo : d->db.sortInfo;
    if (a.blockSize == 0)
        block.reset();
    else
        block = a.data;
    d->changed = true;
    return ok(q);
}

Response VirtualHandheld::readRecord(const Request &q)
{
    std::uint8_t handle;
    std::uint16_t offset, length;
    std::optional<std::uint32_t> id;
    std::size_t index = 0;
    if (const Argument *a = q.find(ReadRecordByIndexRequest::argId)) {
        auto r = decodeArgument<ReadRecordByIndexRequest>(a->data);
        handle = r.handle;
        offset = r.offset;
        length = r.length;
        index = r.index;
    } else {
        auto r = arg<ReadRecordByIdRequest>(q);
        handle = r.handle;
        offset = r.offset;
        length = r.length;
        id = r.recordId;
    }
    OpenDb *d = openDb(handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    if (id) {
        int i = d->db.indexOfRecord(*id);
        if (i < 0)
            return Response{q.function, error::NotFound, {}};
        index = static_cast<std::size_t>(i);
    }
    if (index >= d->db.records.size())
        return Response{q.function, error::NotFound, {}};
    Response r = ok(q);
    r.args.push_back(makeArgument(recordData(d->db.records[index], index, offset, length)));
    return r;
}

Response VirtualHandheld::readNextRecord(const Request &q, bool modifiedOnly, bool byCategory)
{
    std::uint8_t handle;
    std::optional<std::uint8_t> category;
    if (byCategory) {
        auto a = arg<ReadNextRecInCategoryRequest>(q);
        handle = a.handle;
        category = a.category;
    } else {
        handle = arg<ReadNextModifiedRecRequest>(q).handle;
    }
    OpenDb *d = openDb(handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    auto &recs = d->db.records;
    while (d->modifiedCursor < recs.size()) {
        std::size_t i = d->modifiedCursor++;
        const auto &rec = recs[i];
        if (modifiedOnly && !(rec.attributes & (recattr::Dirty | recattr::Deleted)))
            continue;
        if (category && rec.category != *category)
            continue;
        Response r = ok(q);
        r.args.push_back(makeArgument(recordData(rec, i, 0, 0xFFFF)));
        return r;
    }
    return Response{q.function, error::NotFound, {}};
}

Response VirtualHandheld::readRecordIdList(const Request &q)
{
    auto a = arg<ReadRecordIDListRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    const auto &recs = d->db.records;
    if (a.start > recs.size() || (a.start == recs.size() && a.start != 0))
        return Response{q.function, error::NotFound, {}};
    RecordIDList list;
    // At most what fits in a small argument.
    std::size_t end =
        std::min({recs.size(), a.start + static_cast<std::size_t>(a.maxEntries), a.start + std::size_t{16000}});
    for (std::size_t i = a.start; i < end; ++i)
        list.ids.push_back(recs[i].uniqueId);
    list.count = static_cast<std::uint16_t>(list.ids.size());
    Response r = ok(q);
    r.args.push_back(makeArgument(list));
    return r;
}

Response VirtualHandheld::writeRecord(const Request &q)
{
    auto a = arg<WriteRecordRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    if (!(d->mode & openmode::Write))
        return Response{q.function, error::ReadOnly, {}};
    palmsync::PalmRecord rec;
    rec.attributes = a.attributes & (recattr::Deleted | recattr::Dirty | recattr::Secret);
    rec.category = a.category & 0x0F;
    rec.data = a.data;
    int existing = a.recordId ? d->db.indexOfRecord(a.recordId) : -1;
    if (existing < 0 && a.recordId > PalmDatabase::kMaxUniqueId)
        return Response{q.function, error::Param, {}};
    rec.uniqueId = existing >= 0 || a.recordId ? a.recordId : d->db.allocateUniqueId();
    const std::uint32_t id = rec.uniqueId;
    if (existing >= 0)
        d->db.records[static_cast<std::size_t>(existing)] = std::move(rec);
    else
        d->db.records.push_back(std::move(rec));
    d->changed = true;
    Response r = ok(q);
    r.args.push_back(makeArgument(WriteRecordResponse{id}));
    return r;
}

Response VirtualHandheld::deleteRecord(const Request &q)
{
    auto a = arg<DeleteRecordRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    if (!(d->mode & openmode::Write))
        return Response{q.function, error::ReadOnly, {}};
    auto &recs = d->db.records;
    if (a.flags & (DeleteRecordRequest::kDeleteAll | DeleteRecordRequest::kByCategory)) {
        const bool all = (a.flags & DeleteRecordRequest::kDeleteAll) != 0;
        std::erase_if(recs, [&](const palmsync::PalmRecord &r) { return all || r.category == (a.recordId & 0x0F); });
    } else {
        int i = d->db.indexOfRecord(a.recordId);
        if (i < 0)
            return Response{q.function, error::NotFound, {}};
        recs.erase(recs.begin() + i);
    }
    d->changed = true;
    return ok(q);
}

Response VirtualHandheld::readResource(const Request &q)
{
    std::uint8_t handle;
    std::uint16_t offset, length;
    std::optional<std::size_t> index;
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    if (const Argument *a = q.find(ReadResourceByTypeRequest::argId)) {
        auto r = decodeArgument<ReadResourceByTypeRequest>(a->data);
        handle = r.handle;
        offset = r.offset;
        length = r.length;
        type = r.type;
        id = r.id;
    } else {
        auto r = arg<ReadResourceByIndexRequest>(q);
        handle = r.handle;
        offset = r.offset;
        length = r.length;
        index = r.index;
    }
    OpenDb *d = openDb(handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (!d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    const auto &res = d->db.resources;
    if (!index)
        for (std::size_t i = 0; i < res.size(); ++i)
            if (fourCc(res[i].type) == type && res[i].id == id)
                index = i;
    if (!index || *index >= res.size())
        return Response{q.function, error::NotFound, {}};
    ResourceData out;
    out.type = fourCc(res[*index].type);
    out.id = res[*index].id;
    out.index = static_cast<std::uint16_t>(*index);
    out.size = static_cast<std::uint16_t>(std::min<std::size_t>(res[*index].data.size(), 0xFFFF));
    out.data = slice(res[*index].data, offset, length);
    Response r = ok(q);
    r.args.push_back(makeArgument(out));
    return r;
}

Response VirtualHandheld::writeResource(const Request &q)
{
    auto a = arg<WriteResourceRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (!d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    if (!(d->mode & openmode::Write))
        return Response{q.function, error::ReadOnly, {}};
    palmsync::PalmResource res{fourCcText(a.type), a.id, a.data};
    auto &all = d->db.resources;
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const palmsync::PalmResource &r) { return r.type == res.type && r.id == res.id; });
    if (it != all.end())
        *it = std::move(res);
    else
        all.push_back(std::move(res));
    d->changed = true;
    return ok(q);
}

Response VirtualHandheld::deleteResource(const Request &q)
{
    auto a = arg<DeleteResourceRequest>(q);
    OpenDb *d = openDb(a.handle);
    if (!d)
        return Response{q.function, error::NoneOpen, {}};
    if (!d->db.isResourceDatabase())
        return Response{q.function, error::NotSupported, {}};
    auto &all = d->db.resources;
    if (a.flags & 0x80) {
        all.clear();
    } else {
        auto it = std::find_if(all.begin(), all.end(), [&](const palmsync::PalmResource &r) {
            return r.type == fourCcText(a.type) && r.id == a.id;
        });
        if (it == all.end())
            return Response{q.function, error::NotFound, {}};
        all.erase(it);
    }
    d->changed = true;
    return ok(q);
}

} // namespace virtualhandheld
