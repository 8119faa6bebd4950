#pragma once

// The desktop's side of the Desktop Link Protocol: sends a request over a
// message link and waits (with a time-out) for its response.

#include "palmlink/DlpCommands.h"
#include "palmlink/MessageLink.h"

#include <optional>

namespace palmlink {

// The handheld answered a request with an error code.
class DlpError : public LinkError {
public:
    DlpError(std::uint8_t function, std::uint16_t code);
    std::uint8_t function() const { return function_; }
    std::uint16_t code() const { return code_; }

private:
    std::uint8_t function_;
    std::uint16_t code_;
};

class DlpClient {
public:
    explicit DlpClient(MessageLink &link, milliseconds timeout = milliseconds(30000)) : link_(link), timeout_(timeout)
    {
    }

    // One round trip; the response may carry an error code. Raises
    // DecodeError when the answer is not the response to this request.
    dlp::Response call(const dlp::Request &request);
    // As call(), raising DlpError for an error code.
    dlp::Response callChecked(const dlp::Request &request);
    std::size_t roundTrips() const { return roundTrips_; }

    dlp::UserInfo readUserInfo();
    void writeUserInfo(const dlp::WriteUserInfoRequest &info);
    struct SysInfoResult {
        dlp::SysInfo info;
        std::optional<dlp::SysInfoVersions> versions; // from DLP 1.2 devices
    };
    SysInfoResult readSysInfo();
    dlp::DateTime getSysDateTime();
    void setSysDateTime(const dlp::DateTime &when);
    dlp::StorageInfo readStorageInfo(std::uint8_t cardNo = 0);
    dlp::NetSyncInfo readNetSyncInfo();
    // Every database of the kinds in `flags` (dlp::dblist::Ram, Rom), in
    // as many requests as the handheld needs.
    std::vector<dlp::DbInfo> readDbList(std::uint8_t flags, std::uint8_t cardNo = 0);
    std::optional<dlp::FoundDB> findDbByName(const std::string &name, std::uint8_t cardNo = 0);

    std::uint8_t openDb(const std::string &name, std::uint8_t mode, std::uint8_t cardNo = 0);
    std::uint8_t createDb(const dlp::CreateDBRequest &request);
    void closeDb(std::uint8_t handle);
    void closeDbUpdatingBackupDate(std::uint8_t handle);
    // False when there was no such database.
    bool deleteDb(const std::string &name, std::uint8_t cardNo = 0);
    std::uint16_t readOpenDbRecordCount(std::uint8_t handle);

    std::vector<std::uint32_t> readRecordIdList(std::uint8_t handle, bool sort = false);
    // Empty when there is no such record.
    std::optional<dlp::RecordData> readRecordById(std::uint8_t handle, std::uint32_t recordId);
    std::optional<dlp::RecordData> readRecordByIndex(std::uint8_t handle, std::uint16_t index);
    // Empty when no modified record is left.
    std::optional<dlp::RecordData> readNextModifiedRecord(std::uint8_t handle);
    void resetRecordIndex(std::uint8_t handle);
    // The record's unique id (the handheld assigns one when recordId is 0).
    std::uint32_t writeRecord(std::uint8_t handle, std::uint32_t recordId, std::uint8_t attributes,
                              std::uint8_t category, const Bytes &data);
    void deleteRecord(std::uint8_t handle, std::uint32_t recordId);
    void deleteAllRecords(std::uint8_t handle);

    // Empty when the database has no such block.
    std::optional<Bytes> readAppBlock(std::uint8_t handle);
    void writeAppBlock(std::uint8_t handle, const Bytes &data);
    std::optional<Bytes> readSortBlock(std::uint8_t handle);
    void writeSortBlock(std::uint8_t handle, const Bytes &data);

    std::optional<dlp::ResourceData> readResourceByIndex(std::uint8_t handle, std::uint16_t index);
    void writeResource(std::uint8_t handle, const std::string &type, std::uint16_t id, const Bytes &data);
    void deleteResource(std::uint8_t handle, const std::string &type, std::uint16_t id);

    void cleanUpDatabase(std::uint8_t handle);
    void resetSyncFlags(std::uint8_t handle);
    // Raises DlpError (CancelSync) when the user cancelled on the handheld.
    void openConduit();
    void addSyncLogEntry(const std::string &text);
    void endOfSync(std::uint16_t termination = dlp::EndOfSyncRequest::kNormal);

private:
    template <class Arg> dlp::Request request(dlp::Function f, const Arg &arg)
    {
        return dlp::Request{static_cast<std::uint8_t>(f), {dlp::makeArgument(arg)}};
    }
    template <class T> T argument(const dlp::Response &r);
    std::optional<dlp::Response> callUnlessNotFound(const dlp::Request &request);

    MessageLink &link_;
    milliseconds timeout_;
    std::size_t roundTrips_ = 0;
};

} // namespace palmlink
