#pragma once

// The handheld a HotSync works on, database by database and record by
// record. A folder of Palm database files is one implementation
// (palmsync::FolderHandheld), a device on the HotSync link another
// (palmlink::DeviceHandheld). Failures raise std::runtime_error (or a
// subclass) whose message names what failed.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace handheld {

using Bytes = std::vector<std::uint8_t>;

// Record attribute bits.
constexpr std::uint8_t kAttrDeleted = 0x80;
constexpr std::uint8_t kAttrDirty = 0x40;
constexpr std::uint8_t kAttrBusy = 0x20;
constexpr std::uint8_t kAttrSecret = 0x10;

struct Record {
    std::uint32_t id = 0; // unique id (24 bits); 0 in a write adds a record
    std::uint8_t attributes = 0;
    std::uint8_t category = 0; // 0 to 15
    Bytes data;
    friend bool operator==(const Record &, const Record &) = default;
};

struct DatabaseInfo {
    std::string name;
    std::string type;    // four characters
    std::string creator; // four characters
    bool resource = false;
    std::string fault; // non-empty when the database cannot be read
};

// The handheld's user information. Dates are seconds since 1970, 0 never.
struct UserInfo {
    std::string name;
    std::uint32_t userId = 0;
    std::uint32_t viewerId = 0;
    std::uint32_t lastSyncPc = 0;
    std::int64_t successfulSync = 0;
    std::int64_t lastSync = 0;
};

// The link to the handheld failed (closed, timed out, broken protocol);
// every later request fails the same way at once.
class LinkLostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One open record database.
//
// Transactions: after begin(), the changes are held back as far as the
// backend can (a folder entirely, a device the clearing of its change
// flags, see docs/CRASH-SAFETY.md); stage() makes what is held back
// durable beside the handheld and names it by a token (empty when nothing
// is held back), publish() puts it in place, discard() drops what was not
// put in place. Without begin(), flush() writes the changes.
class HandheldDatabase {
public:
    virtual ~HandheldDatabase() = default;

    virtual const std::string &name() const = 0;
    virtual std::size_t recordCount() = 0;
    // The record at that position; nothing past the last one.
    virtual std::optional<Record> recordAt(std::size_t index) = 0;
    // The position of the record with that id; nothing when there is none.
    virtual std::optional<std::size_t> indexOf(std::uint32_t id) = 0;
    // Id 0 adds the record at the end and returns the id the handheld gave
    // it; another id replaces that record (raises when there is none).
    virtual std::uint32_t writeRecord(const Record &record) = 0;
    // Removes the record; raises when there is none.
    virtual void deleteRecord(std::uint32_t id) = 0;
    // Removes every record marked deleted.
    virtual void purgeDeleted() = 0;
    virtual void deleteAll() = 0;
    // Clears the dirty bit of every record.
    virtual void resetSyncFlags() = 0;
    virtual std::optional<Bytes> appInfo() = 0;

    virtual void begin() = 0;
    virtual bool inTransaction() const = 0;
    virtual std::string stage() = 0;
    virtual void publish(const std::string &token) = 0;
    virtual void discard() = 0;
    // True while changes wait: made and not written (outside a
    // transaction), or not staged or published (inside one).
    virtual bool pending() const = 0;
    virtual const std::string &stagedToken() const = 0;

    // Writes the changes made outside a transaction.
    virtual void flush() = 0;
    // A warning for the HotSync log that the last step left (a step that
    // did its work but could not tidy up), taken once.
    virtual std::string takeWarning() { return std::string(); }
};

class HandheldLink {
public:
    virtual ~HandheldLink() = default;

    // What the HotSync log and messages call this handheld.
    virtual std::string describe() const = 0;
    virtual std::vector<DatabaseInfo> listDatabases() = 0;
    // The record database of that name; nothing when the handheld has no
    // database of that name. Raises when it is a resource database or
    // cannot be read.
    virtual std::shared_ptr<HandheldDatabase> openDatabase(const std::string &name) = 0;
    // A new, empty record database; raises when one of that name exists.
    virtual std::shared_ptr<HandheldDatabase> createDatabase(const std::string &name, const std::string &creator,
                                                             const std::string &type) = 0;
    // Lets the database go (a database opened again later is read anew).
    virtual void closeDatabase(const std::string & /*name*/) {}
    // False when there was no such database.
    virtual bool deleteDatabase(const std::string &name) = 0;
    // Puts a database file (.pdb or .prc) on the handheld, replacing the
    // database of its name; returns where it went, for the log.
    virtual std::string installDatabase(const std::filesystem::path &file) = 0;
    // Writes the database of that name, as the handheld holds it now, to a
    // Palm database file.
    virtual void copyDatabase(const std::string &name, const std::filesystem::path &file) = 0;

    // Staged changes of record databases that an interrupted HotSync left
    // (see HandheldDatabase), oldest first.
    virtual std::vector<std::string> listStaged(const std::string &name) = 0;
    virtual void publishStaged(const std::string &name, const std::string &token) = 0;
    virtual void discardStaged(const std::string &name, const std::string &token) = 0;

    // A live handheld's user information and log; a folder has neither.
    virtual std::optional<UserInfo> readUser() { return std::nullopt; }
    // Writes the last sync PC id, and the sync dates when `synced` is set.
    virtual void writeSyncInfo(std::uint32_t /*pcId*/, std::int64_t /*when*/, bool /*synced*/) {}
    virtual void addLogEntry(const std::string & /*text*/) {}
    // Tells the handheld a conduit starts (it shows that the sync goes on).
    virtual void openConduit() {}
    // Ends the HotSync with the handheld (closes what is open).
    virtual void end(bool /*success*/) {}
};

} // namespace handheld
