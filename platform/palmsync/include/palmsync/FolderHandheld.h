#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "handheld/HandheldLink.h"
#include "palmsync/PalmDatabase.h"

#include <filesystem>
#include <utility>

namespace palmsync {

// A handheld made of a folder of Palm database files (see HandheldFolder).
// A database is loaded whole when it is opened and written whole, each file
// atomically. In a transaction nothing reaches the database file before
// publish(): stage() writes the whole new file beside it (flushed) and
// publish() renames it over the database, durably.
class FolderHandheld : public handheld::HandheldLink {
public:
    // The folder must exist when it is first used.
    explicit FolderHandheld(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path &folder() const { return folder_; }

    std::string describe() const override { return folder_.string(); }
    std::vector<handheld::DatabaseInfo> listDatabases() override;
    std::shared_ptr<handheld::HandheldDatabase> openDatabase(const std::string &name) override;
    std::shared_ptr<handheld::HandheldDatabase> createDatabase(const std::string &name, const std::string &creator,
                                                               const std::string &type) override;
    bool deleteDatabase(const std::string &name) override;
    std::string installDatabase(const std::filesystem::path &file) override;
    void copyDatabase(const std::string &name, const std::filesystem::path &file) override;
    std::vector<std::string> listStaged(const std::string &name) override;
    void publishStaged(const std::string &name, const std::string &token) override;
    void discardStaged(const std::string &name, const std::string &token) override;

private:
    std::filesystem::path folder_;
};

// One record database of a folder, held in memory.
class FolderDatabase : public handheld::HandheldDatabase {
public:
    FolderDatabase(std::filesystem::path folder, std::string name, std::filesystem::path file, PalmDatabase db);

    const std::string &name() const override { return name_; }
    std::size_t recordCount() override { return db_.records.size(); }
    std::optional<handheld::Record> recordAt(std::size_t index) override;
    std::optional<std::size_t> indexOf(std::uint32_t id) override;
    std::uint32_t writeRecord(const handheld::Record &record) override;
    void deleteRecord(std::uint32_t id) override;
    void purgeDeleted() override;
    void deleteAll() override;
    void resetSyncFlags() override;
    std::optional<handheld::Bytes> appInfo() override { return db_.appInfo; }

    void begin() override { transactional_ = true; }
    bool inTransaction() const override { return transactional_; }
    std::string stage() override;
    void publish(const std::string &token) override;
    // Rereads the database file; a staged file that cannot be removed is
    // left for the next HotSync, which discards it (its token never reached
    // the conduit's store): the warning says so.
    void discard() override;
    bool pending() const override { return changed_; }
    const std::string &stagedToken() const override { return stagedToken_; }
    void flush() override;

    std::string takeWarning() override { return std::exchange(warning_, std::string()); }

private:
    std::filesystem::path folder_;
    std::string name_;
    std::filesystem::path file_;
    PalmDatabase db_;
    bool changed_ = false;
    bool transactional_ = false;
    std::string stagedToken_;
    std::string warning_;
};

} // namespace palmsync

#pragma GCC visibility pop
