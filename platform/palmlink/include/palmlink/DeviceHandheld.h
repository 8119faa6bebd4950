#pragma once

// A live handheld on the HotSync link, as a HandheldLink: every database
// and record request becomes Desktop Link Protocol requests, sent through
// a DlpClient. Records are kept once read, so that a record read a second
// time (by the conduit's flow, or after the backup read it) costs no
// second round trip.
//
// Transactions (see docs/CRASH-SAFETY.md): a write that adds a record or
// changes its content, and the removal of a record that is not marked
// deleted, go to the device when they are made (the device assigns the
// ids a conduit needs); what only clears the device's change flags (a
// rewrite that changes nothing but the attributes, the purge of records
// marked deleted) is held back until publish(), after the desktop commit.
// A content write keeps the device's dirty bit set until then. stage()
// writes what is held back to a small file on the host, so that a HotSync
// that ends between the desktop commit and publish() is finished by the
// next one; discard() undoes what was sent (new records removed, changed
// ones written back) as far as the link still works, and drops the rest.

#include "handheld/HandheldLink.h"
#include "palmlink/DlpClient.h"

#include <filesystem>
#include <map>
#include <unordered_map>
#include <utility>

namespace palmlink {

class DeviceDatabase;

class DeviceHandheld : public handheld::HandheldLink {
public:
    // `stagingFolder` keeps the flag changes held back by a staged
    // transaction (created when needed); empty keeps them in memory only.
    DeviceHandheld(DlpClient &client, std::string description, std::filesystem::path stagingFolder = {});
    ~DeviceHandheld() override;
    DeviceHandheld(const DeviceHandheld &) = delete;
    DeviceHandheld &operator=(const DeviceHandheld &) = delete;

    std::string describe() const override { return description_; }
    std::vector<handheld::DatabaseInfo> listDatabases() override;
    std::shared_ptr<handheld::HandheldDatabase> openDatabase(const std::string &name) override;
    std::shared_ptr<handheld::HandheldDatabase> createDatabase(const std::string &name, const std::string &creator,
                                                               const std::string &type) override;
    void closeDatabase(const std::string &name) override;
    bool deleteDatabase(const std::string &name) override;
    std::string installDatabase(const std::filesystem::path &file) override;
    void copyDatabase(const std::string &name, const std::filesystem::path &file) override;
    std::vector<std::string> listStaged(const std::string &name) override;
    void publishStaged(const std::string &name, const std::string &token) override;
    void discardStaged(const std::string &name, const std::string &token) override;
    std::optional<handheld::UserInfo> readUser() override;
    void writeSyncInfo(std::uint32_t pcId, std::int64_t when, bool synced) override;
    void addLogEntry(const std::string &text) override;
    void openConduit() override;
    // Closes what is open and sends EndOfSync.
    void end(bool success) override;

    // Closes every open database (before the end of the sync).
    void closeAll();
    // Set once a request failed on the link; later requests fail at once.
    bool broken() const { return !lostReason_.empty(); }
    std::size_t roundTrips() const { return client_.roundTrips(); }

    // Runs one request: a DlpError passes as it is, a link failure marks
    // the link lost and raises LinkLostError.
    template <class F> auto call(F &&request) -> decltype(request(std::declval<DlpClient &>()));

private:
    std::filesystem::path stagedFile(const std::string &name, const std::string &token) const;

    DlpClient &client_;
    std::string description_;
    std::filesystem::path stagingFolder_;
    std::string lostReason_;
    std::map<std::string, std::shared_ptr<DeviceDatabase>> open_;

    friend class DeviceDatabase;
};

class DeviceDatabase : public handheld::HandheldDatabase {
public:
    DeviceDatabase(DeviceHandheld &link, std::string name, std::uint8_t handle);

    const std::string &name() const override { return name_; }
    std::uint8_t handle() const { return handle_; }
    std::size_t recordCount() override;
    std::optional<handheld::Record> recordAt(std::size_t index) override;
    std::optional<std::size_t> indexOf(std::uint32_t id) override;
    std::uint32_t writeRecord(const handheld::Record &record) override;
    void deleteRecord(std::uint32_t id) override;
    void purgeDeleted() override;
    void deleteAll() override;
    void resetSyncFlags() override;
    std::optional<handheld::Bytes> appInfo() override;

    void begin() override { transactional_ = true; }
    bool inTransaction() const override { return transactional_; }
    std::string stage() override;
    void publish(const std::string &token) override;
    void discard() override;
    bool pending() const override { return !heldAttributes_.empty() || !heldPurges_.empty() || !sent_.empty(); }
    const std::string &stagedToken() const override { return token_; }
    void flush() override {}
    std::string takeWarning() override { return std::exchange(warning_, std::string()); }

    // Every record, read once.
    void loadAll();
    // Settles staged flag changes of an interrupted HotSync: each applies
    // only while the record still has the content it had then.
    void applyStaged(const std::filesystem::path &file);
    void forget(); // drops what is known, after the database was closed

private:
    void list();
    const handheld::Record &load(std::uint32_t id);
    std::uint8_t deviceAttributes(std::uint32_t id) const;
    void removeFromList(std::uint32_t id);

    DeviceHandheld &link_;
    std::string name_;
    std::uint8_t handle_;
    bool listed_ = false;
    std::vector<std::uint32_t> ids_;                                   // in the device's order
    mutable std::unordered_map<std::uint32_t, std::size_t> positions_; // rebuilt when stale
    mutable bool positionsStale_ = true;
    std::unordered_map<std::uint32_t, handheld::Record> records_; // as the conduit sees them

    bool transactional_ = false;
    // Attributes on the device of records whose flag change is held back.
    std::unordered_map<std::uint32_t, std::uint8_t> heldAttributes_;
    // Records marked deleted, removed for the conduit, still on the device.
    std::vector<handheld::Record> heldPurges_;
    // What was sent in the transaction, to undo it on discard().
    struct Sent {
        bool created = false;
        handheld::Record before; // as it was on the device (created: its id)
    };
    std::vector<Sent> sent_;
    bool irreversible_ = false; // deleteAll() or a removal was sent
    std::string token_;
    std::string warning_;
};

template <class F> auto DeviceHandheld::call(F &&request) -> decltype(request(std::declval<DlpClient &>()))
{
    if (!lostReason_.empty())
        throw handheld::LinkLostError("The link to the handheld was lost: " + lostReason_);
    try {
        return request(client_);
    } catch (const DlpError &) {
        throw;
    } catch (const LinkError &e) {
        lostReason_ = e.what();
        throw handheld::LinkLostError("The link to the handheld was lost: " + lostReason_);
    }
}

} // namespace palmlink
