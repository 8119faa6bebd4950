#pragma once

// The arguments of the Desktop Link Protocol requests and responses, one
// struct per argument, with every byte of the wire layout as a field so
// that decoding and encoding round-trip exactly. Each struct names its
// function and argument id; decodeArgument/encodeArgument convert it.

#include "palmlink/Dlp.h"
#include "palmlink/DlpFields.h"

#include <optional>
#include <string>
#include <vector>

namespace palmlink::dlp {

constexpr std::uint8_t kFirstArg = 0x20;

// Record attributes.
namespace recattr {
constexpr std::uint8_t Deleted = 0x80;
constexpr std::uint8_t Dirty = 0x40;
constexpr std::uint8_t Busy = 0x20;
constexpr std::uint8_t Secret = 0x10;
constexpr std::uint8_t Archived = 0x08;
} // namespace recattr

// Database flags.
namespace dbflag {
constexpr std::uint16_t ResDB = 0x0001;
constexpr std::uint16_t ReadOnly = 0x0002;
constexpr std::uint16_t AppInfoDirty = 0x0004;
constexpr std::uint16_t Backup = 0x0008;
constexpr std::uint16_t OkToInstallNewer = 0x0010;
constexpr std::uint16_t ResetAfterInstall = 0x0020;
constexpr std::uint16_t CopyPrevention = 0x0040;
constexpr std::uint16_t Open = 0x8000;
} // namespace dbflag

namespace openmode {
constexpr std::uint8_t Read = 0x80;
constexpr std::uint8_t Write = 0x40;
constexpr std::uint8_t Exclusive = 0x20;
constexpr std::uint8_t ShowSecret = 0x10;
} // namespace openmode

namespace dblist {
constexpr std::uint8_t Ram = 0x80;
constexpr std::uint8_t Rom = 0x40;
constexpr std::uint8_t Multiple = 0x20;
constexpr std::uint8_t More = 0x80; // response flag
} // namespace dblist

namespace usermod {
constexpr std::uint8_t UserId = 0x80;
constexpr std::uint8_t SyncPc = 0x40;
constexpr std::uint8_t SyncDate = 0x20;
constexpr std::uint8_t Name = 0x10;
constexpr std::uint8_t ViewerId = 0x08;
} // namespace usermod

// A one-byte database handle (the argument of many requests, and the
// response of OpenDB and CreateDB).
template <Function F, std::uint8_t Id = kFirstArg> struct HandleArg {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = Id;
    std::uint8_t handle = 0;
    template <class V> void visit(V &v) { v.u8("handle", handle); }
    friend bool operator==(const HandleArg &, const HandleArg &) = default;
};

// An argument without data.
template <Function F, std::uint8_t Id> struct EmptyArg {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = Id;
    template <class V> void visit(V &) {}
    friend bool operator==(const EmptyArg &, const EmptyArg &) = default;
};

struct UserInfo { // ReadUserInfo response
    static constexpr Function function = Function::ReadUserInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t userId = 0;
    std::uint32_t viewerId = 0;
    std::uint32_t lastSyncPc = 0;
    DateTime successfulSync;
    DateTime lastSync;
    std::uint8_t userNameLength = 0; // with the terminating zero
    std::uint8_t passwordLength = 0;
    std::string userName; // userNameLength bytes as sent
    Bytes password;
    template <class V> void visit(V &v)
    {
        v.u32("userId", userId);
        v.u32("viewerId", viewerId);
        v.u32("lastSyncPc", lastSyncPc);
        v.date("successfulSync", successfulSync);
        v.date("lastSync", lastSync);
        v.u8("userNameLength", userNameLength);
        v.u8("passwordLength", passwordLength);
        v.text("userName", userName, userNameLength);
        v.bytes("password", password, passwordLength);
    }
    // The name up to its terminator.
    std::string name() const;
    void setName(const std::string &name);
    friend bool operator==(const UserInfo &, const UserInfo &) = default;
};

struct WriteUserInfoRequest {
    static constexpr Function function = Function::WriteUserInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t userId = 0;
    std::uint32_t viewerId = 0;
    std::uint32_t lastSyncPc = 0;
    DateTime lastSync;
    std::uint8_t modFlags = 0; // usermod::
    std::uint8_t userNameLength = 0;
    std::string userName; // userNameLength bytes as sent
    template <class V> void visit(V &v)
    {
        v.u32("userId", userId);
        v.u32("viewerId", viewerId);
        v.u32("lastSyncPc", lastSyncPc);
        v.date("lastSync", lastSync);
        v.u8("modFlags", modFlags);
        v.u8("userNameLength", userNameLength);
        v.text("userName", userName, userNameLength);
    }
    std::string name() const;
    void setName(const std::string &name);
    friend bool operator==(const WriteUserInfoRequest &, const WriteUserInfoRequest &) = default;
};

struct ReadSysInfoRequest {
    static constexpr Function function = Function::ReadSysInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t dlpMajor = 1;
    std::uint16_t dlpMinor = 4;
    template <class V> void visit(V &v)
    {
        v.u16("dlpMajor", dlpMajor);
        v.u16("dlpMinor", dlpMinor);
    }
    friend bool operator==(const ReadSysInfoRequest &, const ReadSysInfoRequest &) = default;
};

struct SysInfo {
    static constexpr Function function = Function::ReadSysInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t romVersion = 0;
    std::uint32_t localizationId = 0;
    std::uint8_t unused = 0;
    std::uint8_t productIdSize = 4;
    std::uint32_t productId = 0;
    template <class V> void visit(V &v)
    {
        v.u32("romVersion", romVersion);
        v.u32("localizationId", localizationId);
        v.u8("unused", unused);
        v.u8("productIdSize", productIdSize);
        v.u32("productId", productId);
    }
    friend bool operator==(const SysInfo &, const SysInfo &) = default;
};

struct SysInfoVersions {
    static constexpr Function function = Function::ReadSysInfo;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint16_t dlpMajor = 1;
    std::uint16_t dlpMinor = 2;
    std::uint16_t compatMajor = 1;
    std::uint16_t compatMinor = 0;
    std::uint32_t maxRecordSize = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u16("dlpMajor", dlpMajor);
        v.u16("dlpMinor", dlpMinor);
        v.u16("compatMajor", compatMajor);
        v.u16("compatMinor", compatMinor);
        v.u32("maxRecordSize", maxRecordSize);
    }
    friend bool operator==(const SysInfoVersions &, const SysInfoVersions &) = default;
};

template <Function F> struct DateTimeArg {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    DateTime dateTime;
    template <class V> void visit(V &v) { v.date("dateTime", dateTime); }
    friend bool operator==(const DateTimeArg &, const DateTimeArg &) = default;
};
using SysDateTime = DateTimeArg<Function::GetSysDateTime>;
using SetSysDateTimeRequest = DateTimeArg<Function::SetSysDateTime>;

struct ReadStorageInfoRequest {
    static constexpr Function function = Function::ReadStorageInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t cardNo = 0;
    std::uint8_t unused = 0;
    template <class V> void visit(V &v)
    {
        v.u8("cardNo", cardNo);
        v.u8("unused", unused);
    }
    friend bool operator==(const ReadStorageInfoRequest &, const ReadStorageInfoRequest &) = default;
};

struct CardInfo {
    std::uint8_t totalSize = 0; // of this entry, rounded up to even
    std::uint8_t cardNo = 0;
    std::uint16_t cardVersion = 0;
    DateTime created;
    std::uint32_t romSize = 0;
    std::uint32_t ramSize = 0;
    std::uint32_t freeRam = 0;
    std::uint8_t cardNameSize = 0;
    std::uint8_t manufacturerSize = 0;
    std::string cardName;
    std::string manufacturer;
    Bytes padding;
    template <class V> void visit(V &v)
    {
        v.u8("totalSize", totalSize);
        v.u8("cardNo", cardNo);
        v.u16("cardVersion", cardVersion);
        v.date("created", created);
        v.u32("romSize", romSize);
        v.u32("ramSize", ramSize);
        v.u32("freeRam", freeRam);
        v.u8("cardNameSize", cardNameSize);
        v.u8("manufacturerSize", manufacturerSize);
        v.text("cardName", cardName, cardNameSize);
        v.text("manufacturer", manufacturer, manufacturerSize);
        v.check(totalSize >= 26 + cardNameSize + manufacturerSize, "card info: total size smaller than its content");
        v.bytes("padding", padding,
                totalSize >= 26 + cardNameSize + manufacturerSize ? totalSize - 26 - cardNameSize - manufacturerSize
                                                                  : 0);
    }
    // Sets the names and the sizes and padding that go with them.
    void setNames(const std::string &name, const std::string &maker);
    friend bool operator==(const CardInfo &, const CardInfo &) = default;
};

struct StorageInfo {
    static constexpr Function function = Function::ReadStorageInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t lastCardNo = 0;
    std::uint8_t more = 0;
    std::uint8_t unused = 0;
    std::uint8_t count = 0;
    std::vector<CardInfo> cards;
    template <class V> void visit(V &v)
    {
        v.u8("lastCardNo", lastCardNo);
        v.u8("more", more);
        v.u8("unused", unused);
        v.u8("count", count);
        v.list("card", cards, count);
    }
    friend bool operator==(const StorageInfo &, const StorageInfo &) = default;
};

struct StorageInfoEx {
    static constexpr Function function = Function::ReadStorageInfo;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint16_t romDbCount = 0;
    std::uint16_t ramDbCount = 0;
    std::uint32_t reserved1 = 0, reserved2 = 0, reserved3 = 0, reserved4 = 0;
    template <class V> void visit(V &v)
    {
        v.u16("romDbCount", romDbCount);
        v.u16("ramDbCount", ramDbCount);
        v.u32("reserved1", reserved1);
        v.u32("reserved2", reserved2);
        v.u32("reserved3", reserved3);
        v.u32("reserved4", reserved4);
    }
    friend bool operator==(const StorageInfoEx &, const StorageInfoEx &) = default;
};

struct ReadDBListRequest {
    static constexpr Function function = Function::ReadDBList;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t flags = dblist::Ram;
    std::uint8_t cardNo = 0;
    std::uint16_t startIndex = 0;
    template <class V> void visit(V &v)
    {
        v.u8("flags", flags);
        v.u8("cardNo", cardNo);
        v.u16("startIndex", startIndex);
    }
    friend bool operator==(const ReadDBListRequest &, const ReadDBListRequest &) = default;
};

// One database as the device lists it.
struct DbInfo {
    static constexpr std::size_t kHeaderSize = 44;
    std::uint8_t totalSize = kHeaderSize; // header and name, rounded up to even
    std::uint8_t miscFlags = 0;           // 0x80 exclude from sync, 0x40 RAM-based
    std::uint16_t dbFlags = 0;            // dbflag::
    std::uint32_t type = 0;
    std::uint32_t creator = 0;
    std::uint16_t version = 0;
    std::uint32_t modificationNumber = 0;
    DateTime created;
    DateTime modified;
    DateTime backedUp;
    std::uint16_t index = 0;
    Bytes nameBytes; // the name, its terminator and padding as sent
    template <class V> void visit(V &v)
    {
        v.u8("totalSize", totalSize);
        v.u8("miscFlags", miscFlags);
        v.u16("dbFlags", dbFlags);
        v.fourCc("type", type);
        v.fourCc("creator", creator);
        v.u16("version", version);
        v.u32("modificationNumber", modificationNumber);
        v.date("created", created);
        v.date("modified", modified);
        v.date("backedUp", backedUp);
        v.u16("index", index);
        v.check(totalSize >= kHeaderSize, "database info: total size smaller than its header");
        v.bytes("name", nameBytes, totalSize >= kHeaderSize ? totalSize - kHeaderSize : 0);
    }
    std::string name() const;
    // Sets the name, its terminator, the padding to an even size and the total size.
    void setName(const std::string &name);
    friend bool operator==(const DbInfo &, const DbInfo &) = default;
};

struct DBList {
    static constexpr Function function = Function::ReadDBList;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t lastIndex = 0;
    std::uint8_t flags = 0; // dblist::More
    std::uint8_t count = 0;
    std::vector<DbInfo> databases;
    template <class V> void visit(V &v)
    {
        v.u16("lastIndex", lastIndex);
        v.u8("flags", flags);
        v.u8("count", count);
        v.list("db", databases, count);
    }
    friend bool operator==(const DBList &, const DBList &) = default;
};

struct OpenDBRequest {
    static constexpr Function function = Function::OpenDB;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t cardNo = 0;
    std::uint8_t mode = openmode::Read;
    std::string name;
    template <class V> void visit(V &v)
    {
        v.u8("cardNo", cardNo);
        v.u8("mode", mode);
        v.cstring("name", name);
    }
    friend bool operator==(const OpenDBRequest &, const OpenDBRequest &) = default;
};
using OpenDBResponse = HandleArg<Function::OpenDB>;

struct CreateDBRequest {
    static constexpr Function function = Function::CreateDB;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t creator = 0;
    std::uint32_t type = 0;
    std::uint8_t cardNo = 0;
    std::uint8_t unused = 0;
    std::uint16_t dbFlags = 0;
    std::uint16_t version = 0;
    std::string name;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.fourCc("type", type);
        v.u8("cardNo", cardNo);
        v.u8("unused", unused);
        v.u16("dbFlags", dbFlags);
        v.u16("version", version);
        v.cstring("name", name);
    }
    friend bool operator==(const CreateDBRequest &, const CreateDBRequest &) = default;
};
using CreateDBResponse = HandleArg<Function::CreateDB>;

using CloseDBRequest = HandleArg<Function::CloseDB>;
using CloseAllDBRequest = EmptyArg<Function::CloseDB, kFirstArg + 1>;
struct CloseDBExRequest {
    static constexpr Function function = Function::CloseDB;
    static constexpr std::uint8_t argId = kFirstArg + 2;
    std::uint8_t handle = 0;
    std::uint8_t optFlags = 0; // 0x80 update backup date, 0x40 update modification date
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("optFlags", optFlags);
    }
    friend bool operator==(const CloseDBExRequest &, const CloseDBExRequest &) = default;
};

struct DeleteDBRequest {
    static constexpr Function function = Function::DeleteDB;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t cardNo = 0;
    std::uint8_t unused = 0;
    std::string name;
    template <class V> void visit(V &v)
    {
        v.u8("cardNo", cardNo);
        v.u8("unused", unused);
        v.cstring("name", name);
    }
    friend bool operator==(const DeleteDBRequest &, const DeleteDBRequest &) = default;
};

template <Function F> struct ReadBlockRequest {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t unused = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0xFFFF; // 0xFFFF: to the end
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("unused", unused);
        v.u16("offset", offset);
        v.u16("length", length);
    }
    friend bool operator==(const ReadBlockRequest &, const ReadBlockRequest &) = default;
};
template <Function F> struct BlockData {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t blockSize = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u16("blockSize", blockSize);
        v.rest("data", data);
    }
    friend bool operator==(const BlockData &, const BlockData &) = default;
};
template <Function F> struct WriteBlockRequest {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t unused = 0;
    std::uint16_t blockSize = 0; // 0 frees the block
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("unused", unused);
        v.u16("blockSize", blockSize);
        v.rest("data", data);
    }
    friend bool operator==(const WriteBlockRequest &, const WriteBlockRequest &) = default;
};
using ReadAppBlockRequest = ReadBlockRequest<Function::ReadAppBlock>;
using AppBlock = BlockData<Function::ReadAppBlock>;
using WriteAppBlockRequest = WriteBlockRequest<Function::WriteAppBlock>;
using ReadSortBlockRequest = ReadBlockRequest<Function::ReadSortBlock>;
using SortBlock = BlockData<Function::ReadSortBlock>;
using WriteSortBlockRequest = WriteBlockRequest<Function::WriteSortBlock>;

// A record as the read requests return it.
template <Function F> struct RecordDataOf {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t recordId = 0;
    std::uint16_t index = 0;
    std::uint16_t size = 0;
    std::uint8_t attributes = 0;
    std::uint8_t category = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u32("recordId", recordId);
        v.u16("index", index);
        v.u16("size", size);
        v.u8("attributes", attributes);
        v.u8("category", category);
        v.rest("data", data);
    }
    friend bool operator==(const RecordDataOf &, const RecordDataOf &) = default;
};
using RecordData = RecordDataOf<Function::ReadRecord>;

struct ReadRecordByIdRequest {
    static constexpr Function function = Function::ReadRecord;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0;
    std::uint32_t recordId = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.u32("recordId", recordId);
        v.u16("offset", offset);
        v.u16("length", length);
    }
    friend bool operator==(const ReadRecordByIdRequest &, const ReadRecordByIdRequest &) = default;
};

struct ReadRecordByIndexRequest {
    static constexpr Function function = Function::ReadRecord;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0;
    std::uint16_t index = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.u16("index", index);
        v.u16("offset", offset);
        v.u16("length", length);
    }
    friend bool operator==(const ReadRecordByIndexRequest &, const ReadRecordByIndexRequest &) = default;
};

using ReadNextModifiedRecRequest = HandleArg<Function::ReadNextModifiedRec>;
using ResetRecordIndexRequest = HandleArg<Function::ResetRecordIndex>;
using CleanUpDatabaseRequest = HandleArg<Function::CleanUpDatabase>;
using ResetSyncFlagsRequest = HandleArg<Function::ResetSyncFlags>;
using ReadOpenDBInfoRequest = HandleArg<Function::ReadOpenDBInfo>;

struct OpenDBInfo {
    static constexpr Function function = Function::ReadOpenDBInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t recordCount = 0;
    template <class V> void visit(V &v) { v.u16("recordCount", recordCount); }
    friend bool operator==(const OpenDBInfo &, const OpenDBInfo &) = default;
};

struct WriteRecordRequest {
    static constexpr Function function = Function::WriteRecord;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0x80;  // "data included", set by every desktop
    std::uint32_t recordId = 0; // 0: the device assigns one
    std::uint8_t attributes = 0;
    std::uint8_t category = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.u32("recordId", recordId);
        v.u8("attributes", attributes);
        v.u8("category", category);
        v.rest("data", data);
    }
    friend bool operator==(const WriteRecordRequest &, const WriteRecordRequest &) = default;
};

struct WriteRecordResponse {
    static constexpr Function function = Function::WriteRecord;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t recordId = 0;
    template <class V> void visit(V &v) { v.u32("recordId", recordId); }
    friend bool operator==(const WriteRecordResponse &, const WriteRecordResponse &) = default;
};

struct DeleteRecordRequest {
    static constexpr Function function = Function::DeleteRecord;
    static constexpr std::uint8_t argId = kFirstArg;
    static constexpr std::uint8_t kDeleteAll = 0x80;
    static constexpr std::uint8_t kByCategory = 0x40;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0;
    std::uint32_t recordId = 0;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.u32("recordId", recordId);
    }
    friend bool operator==(const DeleteRecordRequest &, const DeleteRecordRequest &) = default;
};

struct ReadResourceByIndexRequest {
    static constexpr Function function = Function::ReadResource;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t unused = 0;
    std::uint16_t index = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("unused", unused);
        v.u16("index", index);
        v.u16("offset", offset);
        v.u16("length", length);
    }
    friend bool operator==(const ReadResourceByIndexRequest &, const ReadResourceByIndexRequest &) = default;
};

struct ReadResourceByTypeRequest {
    static constexpr Function function = Function::ReadResource;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint8_t handle = 0;
    std::uint8_t unused = 0;
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("unused", unused);
        v.fourCc("type", type);
        v.u16("id", id);
        v.u16("offset", offset);
        v.u16("length", length);
    }
    friend bool operator==(const ReadResourceByTypeRequest &, const ReadResourceByTypeRequest &) = default;
};

struct ResourceData {
    static constexpr Function function = Function::ReadResource;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    std::uint16_t index = 0;
    std::uint16_t size = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.fourCc("type", type);
        v.u16("id", id);
        v.u16("index", index);
        v.u16("size", size);
        v.rest("data", data);
    }
    friend bool operator==(const ResourceData &, const ResourceData &) = default;
};

struct WriteResourceRequest {
    static constexpr Function function = Function::WriteResource;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t unused = 0;
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    std::uint16_t size = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("unused", unused);
        v.fourCc("type", type);
        v.u16("id", id);
        v.u16("size", size);
        v.rest("data", data);
    }
    friend bool operator==(const WriteResourceRequest &, const WriteResourceRequest &) = default;
};

struct DeleteResourceRequest {
    static constexpr Function function = Function::DeleteResource;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0; // 0x80 delete all
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.fourCc("type", type);
        v.u16("id", id);
    }
    friend bool operator==(const DeleteResourceRequest &, const DeleteResourceRequest &) = default;
};

struct CallApplicationV10Request {
    static constexpr Function function = Function::CallApplication;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t creator = 0;
    std::uint16_t action = 0;
    std::uint16_t paramSize = 0;
    Bytes param;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.u16("action", action);
        v.u16("paramSize", paramSize);
        v.rest("param", param);
    }
    friend bool operator==(const CallApplicationV10Request &, const CallApplicationV10Request &) = default;
};

struct CallApplicationRequest {
    static constexpr Function function = Function::CallApplication;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint32_t creator = 0;
    std::uint32_t type = 0;
    std::uint16_t action = 0;
    std::uint32_t paramSize = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;
    Bytes param;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.fourCc("type", type);
        v.u16("action", action);
        v.u32("paramSize", paramSize);
        v.u32("reserved1", reserved1);
        v.u32("reserved2", reserved2);
        v.rest("param", param);
    }
    friend bool operator==(const CallApplicationRequest &, const CallApplicationRequest &) = default;
};

struct CallApplicationV10Response {
    static constexpr Function function = Function::CallApplication;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t action = 0;
    std::uint16_t resultCode = 0;
    std::uint16_t resultSize = 0;
    Bytes result;
    template <class V> void visit(V &v)
    {
        v.u16("action", action);
        v.u16("resultCode", resultCode);
        v.u16("resultSize", resultSize);
        v.rest("result", result);
    }
    friend bool operator==(const CallApplicationV10Response &, const CallApplicationV10Response &) = default;
};

struct CallApplicationResponse {
    static constexpr Function function = Function::CallApplication;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint32_t resultCode = 0;
    std::uint32_t resultSize = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;
    Bytes result;
    template <class V> void visit(V &v)
    {
        v.u32("resultCode", resultCode);
        v.u32("resultSize", resultSize);
        v.u32("reserved1", reserved1);
        v.u32("reserved2", reserved2);
        v.rest("result", result);
    }
    friend bool operator==(const CallApplicationResponse &, const CallApplicationResponse &) = default;
};

struct AddSyncLogEntryRequest {
    static constexpr Function function = Function::AddSyncLogEntry;
    static constexpr std::uint8_t argId = kFirstArg;
    std::string text;
    template <class V> void visit(V &v) { v.cstring("text", text); }
    friend bool operator==(const AddSyncLogEntryRequest &, const AddSyncLogEntryRequest &) = default;
};

struct MoveCategoryRequest {
    static constexpr Function function = Function::MoveCategory;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t fromCategory = 0;
    std::uint8_t toCategory = 0;
    std::uint8_t unused = 0;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("fromCategory", fromCategory);
        v.u8("toCategory", toCategory);
        v.u8("unused", unused);
    }
    friend bool operator==(const MoveCategoryRequest &, const MoveCategoryRequest &) = default;
};

struct EndOfSyncRequest {
    static constexpr Function function = Function::EndOfSync;
    static constexpr std::uint8_t argId = kFirstArg;
    static constexpr std::uint16_t kNormal = 0;
    static constexpr std::uint16_t kOutOfMemory = 1;
    static constexpr std::uint16_t kUserCancelled = 2;
    static constexpr std::uint16_t kOther = 3;
    static constexpr std::uint16_t kIncompatible = 4;
    std::uint16_t termination = kNormal;
    template <class V> void visit(V &v) { v.u16("termination", termination); }
    friend bool operator==(const EndOfSyncRequest &, const EndOfSyncRequest &) = default;
};

struct ReadRecordIDListRequest {
    static constexpr Function function = Function::ReadRecordIDList;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t flags = 0; // 0x80: let the application sort the database first
    std::uint16_t start = 0;
    std::uint16_t maxEntries = 0xFFFF;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("flags", flags);
        v.u16("start", start);
        v.u16("maxEntries", maxEntries);
    }
    friend bool operator==(const ReadRecordIDListRequest &, const ReadRecordIDListRequest &) = default;
};

struct RecordIDList {
    static constexpr Function function = Function::ReadRecordIDList;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t count = 0;
    std::vector<std::uint32_t> ids;
    template <class V> void visit(V &v)
    {
        v.u16("count", count);
        v.u32List("ids", ids, count);
    }
    friend bool operator==(const RecordIDList &, const RecordIDList &) = default;
};

template <Function F> struct ReadNextInCategoryRequest {
    static constexpr Function function = F;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t handle = 0;
    std::uint8_t category = 0;
    template <class V> void visit(V &v)
    {
        v.u8("handle", handle);
        v.u8("category", category);
    }
    friend bool operator==(const ReadNextInCategoryRequest &, const ReadNextInCategoryRequest &) = default;
};
using ReadNextRecInCategoryRequest = ReadNextInCategoryRequest<Function::ReadNextRecInCategory>;
using ReadNextModifiedRecInCategoryRequest = ReadNextInCategoryRequest<Function::ReadNextModifiedRecInCategory>;

struct ReadAppPreferenceRequest {
    static constexpr Function function = Function::ReadAppPreference;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t creator = 0;
    std::uint16_t id = 0;
    std::uint16_t length = 0xFFFF;
    std::uint8_t flags = 0; // 0x80: the backed-up preferences
    std::uint8_t unused = 0;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.u16("id", id);
        v.u16("length", length);
        v.u8("flags", flags);
        v.u8("unused", unused);
    }
    friend bool operator==(const ReadAppPreferenceRequest &, const ReadAppPreferenceRequest &) = default;
};

struct AppPreference {
    static constexpr Function function = Function::ReadAppPreference;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint16_t version = 0;
    std::uint16_t actualSize = 0;
    std::uint16_t returnedSize = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.u16("version", version);
        v.u16("actualSize", actualSize);
        v.u16("returnedSize", returnedSize);
        v.rest("data", data);
    }
    friend bool operator==(const AppPreference &, const AppPreference &) = default;
};

struct WriteAppPreferenceRequest {
    static constexpr Function function = Function::WriteAppPreference;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t creator = 0;
    std::uint16_t id = 0;
    std::uint16_t version = 0;
    std::uint16_t size = 0;
    std::uint8_t flags = 0;
    std::uint8_t unused = 0;
    Bytes data;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.u16("id", id);
        v.u16("version", version);
        v.u16("size", size);
        v.u8("flags", flags);
        v.u8("unused", unused);
        v.rest("data", data);
    }
    friend bool operator==(const WriteAppPreferenceRequest &, const WriteAppPreferenceRequest &) = default;
};

struct NetSyncInfo { // ReadNetSyncInfo response
    static constexpr Function function = Function::ReadNetSyncInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t lanSyncOn = 0;
    std::uint8_t reserved = 0;
    std::uint32_t reserved1 = 0, reserved2 = 0, reserved3 = 0, reserved4 = 0;
    std::uint16_t hostNameSize = 0; // each with its terminator
    std::uint16_t hostAddressSize = 0;
    std::uint16_t subnetMaskSize = 0;
    std::string hostName, hostAddress, subnetMask; // as sent
    template <class V> void visit(V &v)
    {
        v.u8("lanSyncOn", lanSyncOn);
        v.u8("reserved", reserved);
        v.u32("reserved1", reserved1);
        v.u32("reserved2", reserved2);
        v.u32("reserved3", reserved3);
        v.u32("reserved4", reserved4);
        v.u16("hostNameSize", hostNameSize);
        v.u16("hostAddressSize", hostAddressSize);
        v.u16("subnetMaskSize", subnetMaskSize);
        v.text("hostName", hostName, hostNameSize);
        v.text("hostAddress", hostAddress, hostAddressSize);
        v.text("subnetMask", subnetMask, subnetMaskSize);
    }
    friend bool operator==(const NetSyncInfo &, const NetSyncInfo &) = default;
};

struct WriteNetSyncInfoRequest {
    static constexpr Function function = Function::WriteNetSyncInfo;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t modFlags = 0; // 0x80 lan sync, 0x40 host name, 0x20 address, 0x10 mask
    std::uint8_t lanSyncOn = 0;
    std::uint32_t reserved1 = 0, reserved2 = 0, reserved3 = 0, reserved4 = 0;
    std::uint16_t hostNameSize = 0;
    std::uint16_t hostAddressSize = 0;
    std::uint16_t subnetMaskSize = 0;
    std::string hostName, hostAddress, subnetMask;
    template <class V> void visit(V &v)
    {
        v.u8("modFlags", modFlags);
        v.u8("lanSyncOn", lanSyncOn);
        v.u32("reserved1", reserved1);
        v.u32("reserved2", reserved2);
        v.u32("reserved3", reserved3);
        v.u32("reserved4", reserved4);
        v.u16("hostNameSize", hostNameSize);
        v.u16("hostAddressSize", hostAddressSize);
        v.u16("subnetMaskSize", subnetMaskSize);
        v.text("hostName", hostName, hostNameSize);
        v.text("hostAddress", hostAddress, hostAddressSize);
        v.text("subnetMask", subnetMask, subnetMaskSize);
    }
    friend bool operator==(const WriteNetSyncInfoRequest &, const WriteNetSyncInfoRequest &) = default;
};

struct ReadFeatureRequest {
    static constexpr Function function = Function::ReadFeature;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t creator = 0;
    std::uint16_t number = 0;
    template <class V> void visit(V &v)
    {
        v.fourCc("creator", creator);
        v.u16("number", number);
    }
    friend bool operator==(const ReadFeatureRequest &, const ReadFeatureRequest &) = default;
};

struct Feature {
    static constexpr Function function = Function::ReadFeature;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint32_t value = 0;
    template <class V> void visit(V &v) { v.u32("value", value); }
    friend bool operator==(const Feature &, const Feature &) = default;
};

namespace finddb {
constexpr std::uint8_t GetAttributes = 0x80;
constexpr std::uint8_t GetSize = 0x40;
constexpr std::uint8_t GetMaxRecSize = 0x20;
} // namespace finddb

struct FindDBByNameRequest {
    static constexpr Function function = Function::FindDB;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t optFlags = finddb::GetAttributes;
    std::uint8_t cardNo = 0;
    std::string name;
    template <class V> void visit(V &v)
    {
        v.u8("optFlags", optFlags);
        v.u8("cardNo", cardNo);
        v.cstring("name", name);
    }
    friend bool operator==(const FindDBByNameRequest &, const FindDBByNameRequest &) = default;
};

struct FindDBByHandleRequest {
    static constexpr Function function = Function::FindDB;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint8_t optFlags = finddb::GetAttributes;
    std::uint8_t handle = 0;
    template <class V> void visit(V &v)
    {
        v.u8("optFlags", optFlags);
        v.u8("handle", handle);
    }
    friend bool operator==(const FindDBByHandleRequest &, const FindDBByHandleRequest &) = default;
};

struct FindDBByTypeCreatorRequest {
    static constexpr Function function = Function::FindDB;
    static constexpr std::uint8_t argId = kFirstArg + 2;
    std::uint8_t optFlags = finddb::GetAttributes;
    std::uint8_t searchFlags = 0x80; // 0x80 new search, 0x40 latest version only
    std::uint32_t type = 0;
    std::uint32_t creator = 0;
    template <class V> void visit(V &v)
    {
        v.u8("optFlags", optFlags);
        v.u8("searchFlags", searchFlags);
        v.fourCc("type", type);
        v.fourCc("creator", creator);
    }
    friend bool operator==(const FindDBByTypeCreatorRequest &, const FindDBByTypeCreatorRequest &) = default;
};

struct FoundDB {
    static constexpr Function function = Function::FindDB;
    static constexpr std::uint8_t argId = kFirstArg;
    std::uint8_t cardNo = 0;
    std::uint8_t reserved = 0;
    std::uint32_t localId = 0;
    std::uint32_t openRef = 0;
    DbInfo info;
    template <class V> void visit(V &v)
    {
        v.u8("cardNo", cardNo);
        v.u8("reserved", reserved);
        v.u32("localId", localId);
        v.u32("openRef", openRef);
        info.visit(v);
    }
    friend bool operator==(const FoundDB &, const FoundDB &) = default;
};

struct FoundDBSize {
    static constexpr Function function = Function::FindDB;
    static constexpr std::uint8_t argId = kFirstArg + 1;
    std::uint32_t recordCount = 0;
    std::uint32_t totalBytes = 0;
    std::uint32_t dataBytes = 0;
    std::uint32_t appBlockSize = 0;
    std::uint32_t sortBlockSize = 0;
    std::uint32_t maxRecordSize = 0;
    template <class V> void visit(V &v)
    {
        v.u32("recordCount", recordCount);
        v.u32("totalBytes", totalBytes);
        v.u32("dataBytes", dataBytes);
        v.u32("appBlockSize", appBlockSize);
        v.u32("sortBlockSize", sortBlockSize);
        v.u32("maxRecordSize", maxRecordSize);
    }
    friend bool operator==(const FoundDBSize &, const FoundDBSize &) = default;
};

// Decodes the whole argument as T; raises DecodeError when the bytes are
// too few or too many.
template <class T> T decodeArgument(std::span<const std::uint8_t> data)
{
    ByteReader r(data);
    FieldReader v(r);
    T value;
    value.visit(v);
    r.expectEnd(functionName(static_cast<std::uint8_t>(T::function)).c_str());
    return value;
}

template <class T> Bytes encodeArgument(const T &value)
{
    ByteWriter w;
    FieldWriter v(w);
    const_cast<T &>(value).visit(v);
    return w.take();
}

template <class T> Argument makeArgument(const T &value)
{
    return Argument::make(T::argId, encodeArgument(value));
}

// Describes the arguments of a request or response: one line per
// argument with its fields. Raises DecodeError when an argument that has a
// known layout does not decode; an argument without a known layout is
// shown as data.
std::string describe(const Request &request);
std::string describe(const Response &response);

// Decodes every argument with a known layout and encodes it again; returns
// the first argument whose bytes differ, or an empty text.
std::string reencodeMismatch(const Request &request);
std::string reencodeMismatch(const Response &response);

// True when the function and argument have a known layout.
bool hasLayout(std::uint8_t function, bool response, std::uint8_t argId);

} // namespace palmlink::dlp
