#pragma once

// A handheld made of a folder of Palm database files, answering the
// Desktop Link Protocol as a Palm OS device does: databases are opened,
// created, read and written record by record; records keep their
// attributes and sync flags; the handheld assigns unique ids to new
// records; ResetSyncFlags clears the dirty bits and CleanUpDatabase purges
// deleted and archived records. Changed databases are written back to the
// folder, each atomically, when the desktop closes them, at the end of the
// sync and when the link fails (a device keeps what was written to it).
// The user information lives in a small file in the folder.

#include "palmlink/DlpCommands.h"
#include "palmlink/DlpServer.h"
#include "palmsync/PalmDatabase.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace virtualhandheld {

// The handheld's user information, kept in DIR/.virtual-handheld-user.
struct HandheldUser {
    std::string name;
    std::uint32_t userId = 0;
    std::uint32_t viewerId = 0;
    std::uint32_t lastSyncPc = 0;
    std::int64_t successfulSync = 0; // seconds since 1970, 0 = never
    std::int64_t lastSync = 0;

    static std::filesystem::path fileIn(const std::filesystem::path &folder);
    // A missing file reads as a new handheld without a user; a damaged one raises.
    static HandheldUser load(const std::filesystem::path &folder);
    void save(const std::filesystem::path &folder) const;
    friend bool operator==(const HandheldUser &, const HandheldUser &) = default;
};

class VirtualHandheld : public palmlink::DlpHandler {
public:
    // `now` gives seconds since 1970 (replaced by tests).
    explicit VirtualHandheld(std::filesystem::path folder, std::function<std::int64_t()> now = {});

    palmlink::dlp::Response handle(const palmlink::dlp::Request &request) override;

    // Writes every changed open database to the folder and closes it.
    void closeAll();
    const HandheldUser &user() const { return user_; }
    // Lines the desktop added to the handheld's HotSync log.
    const std::vector<std::string> &log() const { return log_; }

private:
    struct OpenDb {
        std::string name;
        std::filesystem::path file;
        palmsync::PalmDatabase db;
        std::uint8_t mode = 0;
        bool changed = false;
        std::size_t modifiedCursor = 0;
    };
    using Response = palmlink::dlp::Response;
    using Request = palmlink::dlp::Request;

    OpenDb *openDb(std::uint8_t handle);
    std::vector<palmlink::dlp::DbInfo> databaseList() const;
    palmlink::dlp::DbInfo infoOf(const palmsync::PalmDatabase &db, std::uint16_t index) const;
    std::uint8_t newHandle();
    void save(OpenDb &db);

    Response readUserInfo();
    Response writeUserInfo(const Request &q);
    Response readSysInfo(const Request &q);
    Response readStorageInfo(const Request &q);
    Response readDbList(const Request &q);
    Response findDb(const Request &q);
    Response openDatabase(const Request &q);
    Response createDatabase(const Request &q);
    Response closeDatabase(const Request &q);
    Response deleteDatabase(const Request &q);
    Response readBlock(const Request &q, bool appInfo);
    Response writeBlock(const Request &q, bool appInfo);
    Response readRecord(const Request &q);
    Response readNextRecord(const Request &q, bool modifiedOnly, bool byCategory);
    Response readRecordIdList(const Request &q);
    Response writeRecord(const Request &q);
    Response deleteRecord(const Request &q);
    Response readResource(const Request &q);
    Response writeResource(const Request &q);
    Response deleteResource(const Request &q);
    Response withOpenDb(const Request &q, const std::function<void(OpenDb &)> &action);

    std::filesystem::path folder_;
    std::function<std::int64_t()> now_;
    HandheldUser user_;
    std::map<std::uint8_t, std::unique_ptr<OpenDb>> open_;
    std::vector<std::string> log_;
};

} // namespace virtualhandheld
