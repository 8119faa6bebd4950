#include "palmlink/DlpClient.h"

namespace palmlink {

using namespace dlp;

DlpError::DlpError(std::uint8_t function, std::uint16_t code)
    : LinkError(functionName(function) + ": the handheld answered " + errorName(code)), function_(function), code_(code)
{
}

Response DlpClient::call(const Request &request)
{
    link_.send(request.encode(), link_.nextXid());
    ++roundTrips_;
    Bytes message = link_.receive(timeout_);
    Response r = Response::decode(message);
    if (r.function != request.function)
        throw DecodeError("the handheld answered " + functionName(r.function) + " to " +
                          functionName(request.function));
    return r;
}

Response DlpClient::callChecked(const Request &request)
{
    Response r = call(request);
    if (r.errorCode != error::None)
        throw DlpError(request.function, r.errorCode);
    return r;
}

std::optional<Response> DlpClient::callUnlessNotFound(const Request &request)
{
    Response r = call(request);
    if (r.errorCode == error::NotFound)
        return std::nullopt;
    if (r.errorCode != error::None)
        throw DlpError(request.function, r.errorCode);
    return r;
}

template <class T> T DlpClient::argument(const Response &r)
{
    const Argument *a = r.find(T::argId);
    if (!a)
        throw DecodeError(functionName(r.function) + " response lacks its argument");
    return decodeArgument<T>(a->data);
}

UserInfo DlpClient::readUserInfo()
{
    return argument<UserInfo>(callChecked({static_cast<std::uint8_t>(Function::ReadUserInfo), {}}));
}

void DlpClient::writeUserInfo(const WriteUserInfoRequest &info)
{
    callChecked(request(Function::WriteUserInfo, info));
}

DlpClient::SysInfoResult DlpClient::readSysInfo()
{
    Response r = callChecked(request(Function::ReadSysInfo, ReadSysInfoRequest{}));
    SysInfoResult s;
    s.info = argument<SysInfo>(r);
    if (r.find(SysInfoVersions::argId))
        s.versions = argument<SysInfoVersions>(r);
    return s;
}

DateTime DlpClient::getSysDateTime()
{
    return argument<SysDateTime>(callChecked({static_cast<std::uint8_t>(Function::GetSysDateTime), {}})).dateTime;
}

void DlpClient::setSysDateTime(const DateTime &when)
{
    callChecked(request(Function::SetSysDateTime, SetSysDateTimeRequest{when}));
}

StorageInfo DlpClient::readStorageInfo(std::uint8_t cardNo)
{
    return argument<StorageInfo>(callChecked(request(Function::ReadStorageInfo, ReadStorageInfoRequest{cardNo, 0})));
}

NetSyncInfo DlpClient::readNetSyncInfo()
{
    return argument<NetSyncInfo>(callChecked({static_cast<std::uint8_t>(Function::ReadNetSyncInfo), {}}));
}

std::vector<DbInfo> DlpClient::readDbList(std::uint8_t flags, std::uint8_t cardNo)
{
    std::vector<DbInfo> all;
    ReadDBListRequest q{static_cast<std::uint8_t>(flags | dblist::Multiple), cardNo, 0};
    for (;;) {
        auto r = callUnlessNotFound(request(Function::ReadDBList, q));
        if (!r)
            break;
        DBList list = argument<DBList>(*r);
        all.insert(all.end(), list.databases.begin(), list.databases.end());
        if (!(list.flags & dblist::More) || list.databases.empty() || list.lastIndex < q.startIndex ||
            list.lastIndex == 0xFFFF)
            break;
        q.startIndex = static_cast<std::uint16_t>(list.lastIndex + 1);
    }
    return all;
}

std::optional<FoundDB> DlpClient::findDbByName(const std::string &name, std::uint8_t cardNo)
{
    auto r = callUnlessNotFound(request(Function::FindDB, FindDBByNameRequest{finddb::GetAttributes, cardNo, name}));
    if (!r)
        return std::nullopt;
    return argument<FoundDB>(*r);
}

std::uint8_t DlpClient::openDb(const std::string &name, std::uint8_t mode, std::uint8_t cardNo)
{
    return argument<OpenDBResponse>(callChecked(request(Function::OpenDB, OpenDBRequest{cardNo, mode, name}))).handle;
}

std::uint8_t DlpClient::createDb(const CreateDBRequest &q)
{
    return argument<CreateDBResponse>(callChecked(request(Function::CreateDB, q))).handle;
}

void DlpClient::closeDb(std::uint8_t handle)
{
    callChecked(request(Function::CloseDB, CloseDBRequest{handle}));
}

void DlpClient::closeDbUpdatingBackupDate(std::uint8_t handle)
{
    callChecked(request(Function::CloseDB, CloseDBExRequest{handle, 0x80}));
}

bool DlpClient::deleteDb(const std::string &name, std::uint8_t cardNo)
{
    return callUnlessNotFound(request(Function::DeleteDB, DeleteDBRequest{cardNo, 0, name})).has_value();
}

std::uint16_t DlpClient::readOpenDbRecordCount(std::uint8_t handle)
{
    return argument<OpenDBInfo>(callChecked(request(Function::ReadOpenDBInfo, ReadOpenDBInfoRequest{handle})))
        .recordCount;
}

std::vector<std::uint32_t> DlpClient::readRecordIdList(std::uint8_t handle, bool sort)
{
    std::vector<std::uint32_t> ids;
    ReadRecordIDListRequest q{handle, static_cast<std::uint8_t>(sort ? 0x80 : 0), 0, 0xFFFF};
    for (;;) {
        auto r = callUnlessNotFound(request(Function::ReadRecordIDList, q));
        if (!r)
            break;
        RecordIDList list = argument<RecordIDList>(*r);
        ids.insert(ids.end(), list.ids.begin(), list.ids.end());
        if (list.ids.empty() || ids.size() >= 0xFFFF)
            break;
        q.start = static_cast<std::uint16_t>(ids.size());
        q.flags = 0;
    }
    return ids;
}

std::optional<RecordData> DlpClient::readRecordById(std::uint8_t handle, std::uint32_t recordId)
{
    ReadRecordByIdRequest q;
    q.handle = handle;
    q.recordId = recordId;
    auto r = callUnlessNotFound(request(Function::ReadRecord, q));
    if (!r)
        return std::nullopt;
    return argument<RecordData>(*r);
}

std::optional<RecordData> DlpClient::readRecordByIndex(std::uint8_t handle, std::uint16_t index)
{
    ReadRecordByIndexRequest q;
    q.handle = handle;
    q.index = index;
    auto r = callUnlessNotFound(request(Function::ReadRecord, q));
    if (!r)
        return std::nullopt;
    return argument<RecordData>(*r);
}

std::optional<RecordData> DlpClient::readNextModifiedRecord(std::uint8_t handle)
{
    auto r = callUnlessNotFound(request(Function::ReadNextModifiedRec, ReadNextModifiedRecRequest{handle}));
    if (!r)
        return std::nullopt;
    return argument<RecordData>(*r);
}

void DlpClient::resetRecordIndex(std::uint8_t handle)
{
    callChecked(request(Function::ResetRecordIndex, ResetRecordIndexRequest{handle}));
}

std::uint32_t DlpClient::writeRecord(std::uint8_t handle, std::uint32_t recordId, std::uint8_t attributes,
                                     std::uint8_t category, const Bytes &data)
{
    WriteRecordRequest q;
    q.handle = handle;
    q.recordId = recordId;
    q.attributes = attributes;
    q.category = category;
    q.data = data;
    return argument<WriteRecordResponse>(callChecked(request(Function::WriteRecord, q))).recordId;
}

void DlpClient::deleteRecord(std::uint8_t handle, std::uint32_t recordId)
{
    callChecked(request(Function::DeleteRecord, DeleteRecordRequest{handle, 0, recordId}));
}

void DlpClient::deleteAllRecords(std::uint8_t handle)
{
    callChecked(request(Function::DeleteRecord, DeleteRecordRequest{handle, DeleteRecordRequest::kDeleteAll, 0}));
}

std::optional<Bytes> DlpClient::readAppBlock(std::uint8_t handle)
{
    ReadAppBlockRequest q;
    q.handle = handle;
    auto r = callUnlessNotFound(request(Function::ReadAppBlock, q));
    if (!r)
        return std::nullopt;
    return argument<AppBlock>(*r).data;
}

void DlpClient::writeAppBlock(std::uint8_t handle, const Bytes &data)
{
    if (data.size() > 0xFFFF)
        throw std::length_error("an app info block holds at most 65535 bytes");
    callChecked(request(Function::WriteAppBlock,
                        WriteAppBlockRequest{handle, 0, static_cast<std::uint16_t>(data.size()), data}));
}

std::optional<Bytes> DlpClient::readSortBlock(std::uint8_t handle)
{
    ReadSortBlockRequest q;
    q.handle = handle;
    auto r = callUnlessNotFound(request(Function::ReadSortBlock, q));
    if (!r)
        return std::nullopt;
    return argument<SortBlock>(*r).data;
}

void DlpClient::writeSortBlock(std::uint8_t handle, const Bytes &data)
{
    if (data.size() > 0xFFFF)
        throw std::length_error("a sort info block holds at most 65535 bytes");
    callChecked(request(Function::WriteSortBlock,
                        WriteSortBlockRequest{handle, 0, static_cast<std::uint16_t>(data.size()), data}));
}

std::optional<ResourceData> DlpClient::readResourceByIndex(std::uint8_t handle, std::uint16_t index)
{
    ReadResourceByIndexRequest q;
    q.handle = handle;
    q.index = index;
    auto r = callUnlessNotFound(request(Function::ReadResource, q));
    if (!r)
        return std::nullopt;
    return argument<ResourceData>(*r);
}

void DlpClient::writeResource(std::uint8_t handle, const std::string &type, std::uint16_t id, const Bytes &data)
{
    if (data.size() > 0xFFFF)
        throw std::length_error("a resource holds at most 65535 bytes");
    callChecked(request(Function::WriteResource, WriteResourceRequest{handle, 0, fourCc(type), id,
                                                                      static_cast<std::uint16_t>(data.size()), data}));
}

void DlpClient::deleteResource(std::uint8_t handle, const std::string &type, std::uint16_t id)
{
    callChecked(request(Function::DeleteResource, DeleteResourceRequest{handle, 0, fourCc(type), id}));
}

void DlpClient::cleanUpDatabase(std::uint8_t handle)
{
    callChecked(request(Function::CleanUpDatabase, CleanUpDatabaseRequest{handle}));
}

void DlpClient::resetSyncFlags(std::uint8_t handle)
{
    callChecked(request(Function::ResetSyncFlags, ResetSyncFlagsRequest{handle}));
}

void DlpClient::openConduit()
{
    callChecked({static_cast<std::uint8_t>(Function::OpenConduit), {}});
}

void DlpClient::addSyncLogEntry(const std::string &text)
{
    callChecked(request(Function::AddSyncLogEntry, AddSyncLogEntryRequest{text}));
}

void DlpClient::endOfSync(std::uint16_t termination)
{
    callChecked(request(Function::EndOfSync, EndOfSyncRequest{termination}));
}

} // namespace palmlink
