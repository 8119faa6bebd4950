#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

// The handheld sync interfaces a conduit calls during a HotSync: the system
// adapter, the HotSync information, the database query, the record adapter
// and the byte-array utility. Methods appear in each interface's own order;
// every method returns a status and leaves its message with
// com::SetErrorInfo when it fails.

#include "com/Guid.h"
#include "com/Unknown.h"
#include "com/Variant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace palmsync {

using com::HRESULT;

// A record's bytes (a one-dimensional byte array).
using ByteArray = std::vector<std::uint8_t>;

// Open modes of OpenRecordDatabase.
constexpr std::int32_t eDbRead = 0x80;
constexpr std::int32_t eDbWrite = 0x40;

// Record attribute bits (upper four bits of a record entry's attribute byte).
constexpr std::int32_t eRecAttrDeleted = 0x80;
constexpr std::int32_t eRecAttrDirty = 0x40;
constexpr std::int32_t eRecAttrBusy = 0x20;
constexpr std::int32_t eRecAttrSecret = 0x10;

// Selectors of RemoveRecordSet.
constexpr std::int32_t eRemoveAll = 0;
constexpr std::int32_t eRemoveDeleted = 1;

class IPDHotsyncInfo : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{1772DEE2-FA1F-11D2-AC32-006008E3F0A2}");

    // Sync type code of the running HotSync (0 and 1 synchronise, 2 handheld
    // overwrites desktop, 3 desktop overwrites handheld, 6 do nothing, ...).
    virtual HRESULT GetSyncType(std::int32_t *syncType) = 0;
    // Existing folder of the user's conduit data.
    virtual HRESULT GetPathName(std::string *path) = 0;
    // HotSync user name.
    virtual HRESULT GetUserName(std::string *name) = 0;

protected:
    ~IPDHotsyncInfo() = default;
};

class IPDSystemAdapter : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{1772DEE0-FA1F-11D2-AC32-006008E3F0A2}");
    static constexpr com::CLSID clsid = com::guid("{7DEBC7E0-FA1F-11D2-AC32-006008E3F0A2}"); // CoPDSystemAdapter

    virtual HRESULT GetHotsyncInfo(IPDHotsyncInfo **info) = 0;

protected:
    ~IPDSystemAdapter() = default;
};

class IPDRecordAdapter : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{1772DEE6-FA1F-11D2-AC32-006008E3F0A2}");

    // Text becomes one line of this HotSync's log (a trailing NUL ends it).
    virtual HRESULT AddLogEntry(const std::string &text, std::int32_t activity, std::int32_t reserved1,
                                std::int32_t reserved2) = 0;
    // The record with that unique id; fails when there is none.
    virtual HRESULT ReadRecordById(std::int32_t *index, std::int32_t recordId, std::int32_t *category,
                                   std::int32_t *attributes, ByteArray *data) = 0;
    // The record at the iteration position, which then advances. Records
    // marked deleted are delivered too. Past the last record it reports
    // S_FALSE and GetEOF turns true.
    virtual HRESULT ReadNextRecord(std::int32_t *index, std::int32_t *recordId, std::int32_t *category,
                                   std::int32_t *attributes, ByteArray *data) = 0;
    // recordId 0 creates a record and returns its new unique id; another id
    // replaces that record (and fails when it does not exist).
    virtual HRESULT WriteRecord(std::int32_t *recordId, std::int32_t category, std::int32_t attributes,
                                const ByteArray &data) = 0;
    virtual HRESULT RemoveRecord(std::int32_t recordId) = 0;
    // Selector eRemoveAll removes every record, eRemoveDeleted those marked deleted.
    virtual HRESULT RemoveRecordSet(std::int32_t selector, std::int32_t reserved) = 0;
    virtual HRESULT GetDatabaseName(std::string *name) = 0;
    virtual HRESULT GetRecordCount(std::int32_t *count) = 0;
    virtual HRESULT SetIterationIndex(std::int32_t index) = 0;
    // Right after SetIterationIndex(0): true only for a database without
    // records. After a read: true when that read found no record.
    virtual HRESULT GetEOF(bool *eof) = 0;

protected:
    ~IPDRecordAdapter() = default;
};

class IPDDatabaseQuery : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{1772DEE4-FA1F-11D2-AC32-006008E3F0A2}");
    static constexpr com::CLSID clsid = com::guid("{7DEBC7E4-FA1F-11D2-AC32-006008E3F0A2}"); // CoPDDatabaseQuery

    // Record adapter of an existing database; fails when it does not exist.
    virtual HRESULT OpenRecordDatabase(const std::string &name, const std::string &adapterProgId,
                                       std::int32_t openMode, IPDRecordAdapter **adapter) = 0;

protected:
    ~IPDDatabaseQuery() = default;
};

// Byte-array packing. With swap set, numbers are stored most significant
// byte first. Each call returns in *next the offset after what it read or
// wrote. Reading or writing outside the array fails with E_INVALIDARG.
// Texts are UTF-8 on this side and the handheld's single-byte character set
// (Windows-1252) in the array; a character it cannot hold becomes "?".
class IPDUtility : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{1772DEE9-FA1F-11D2-AC32-006008E3F0A2}");
    static constexpr com::CLSID clsid = com::guid("{7DEBC7E9-FA1F-11D2-AC32-006008E3F0A2}"); // CoPDUtility

    virtual HRESULT WriteWord(ByteArray *array, std::int32_t offset, bool swap, std::uint16_t value,
                              std::int32_t *next) = 0;
    virtual HRESULT ReadWord(const ByteArray &array, std::int32_t offset, bool swap, std::uint16_t *value,
                             std::int32_t *next) = 0;
    virtual HRESULT WriteDWord(ByteArray *array, std::int32_t offset, bool swap, std::int32_t value,
                               std::int32_t *next) = 0;
    virtual HRESULT ReadDWord(const ByteArray &array, std::int32_t offset, bool swap, std::int32_t *value,
                              std::int32_t *next) = 0;
    // Stores the text followed by one zero byte; the whole must fit the array.
    virtual HRESULT WriteString(ByteArray *array, std::int32_t offset, const std::string &text,
                                std::int32_t *next) = 0;
    // The text at offset: at most maxLength bytes, ending before the first zero byte.
    virtual HRESULT ReadString(const ByteArray &array, std::int32_t offset, std::int32_t maxLength,
                               std::string *text, std::int32_t *next) = 0;

protected:
    ~IPDUtility() = default;
};

// The interface a conduit's sync object implements; the HotSync host calls it.
class IPDClientNotify : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{5AA15E24-EE68-11D2-AC32-006008E3F0A2}");

    // One HotSync of the conduit's data. *result is a 16-bit Boolean (0 false).
    virtual HRESULT BeginProcess(std::int16_t *result) = 0;
    // Shows the conduit's configuration; in/out preference (1 permanent,
    // 2 next HotSync only) and sync type.
    virtual HRESULT ConfigureConduit(std::int32_t creatorId, std::int32_t userId, std::int32_t *preference,
                                     std::int32_t *syncType) = 0;
    // Kind 0 display name, 1 to 3 further values; other kinds leave *value empty.
    virtual HRESULT GetConduitInfo(std::int32_t kind, std::int32_t creatorId, std::int32_t userId,
                                   const std::string &userName, com::Variant *value) = 0;
    // Shows the conduit's configuration for a user: in/out permanent,
    // temporary and new sync type, and preference.
    virtual HRESULT CfgConduit(std::int32_t creatorId, std::int32_t userId, const std::string &userName,
                               const std::string &pathName, std::int32_t *permanent, std::int32_t *temporary,
                               std::int32_t *newSyncType, std::int32_t *preference) = 0;

protected:
    ~IPDClientNotify() = default;
};

// An addition of this suite: the host's own HotSync log, reachable from the
// system adapter, for lines a conduit must log while it has no database
// open (the record adapter's AddLogEntry is the usual way).
class IPDHostLog : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{6A1C0F3E-55B2-4E0A-9D7B-2F4C8E1A9B01}");

    virtual HRESULT AddLogEntry(const std::string &text) = 0;

protected:
    ~IPDHostLog() = default;
};

// An addition of this suite: a record database's changes as one unit, so
// that a conduit can commit them together with its own store. After
// Begin() the changes made through any adapter of the database are kept
// until Publish() or Discard(); releasing an adapter or ending the HotSync
// no longer writes them (without Begin they are written then, as always).
//
//   Stage()    makes the changes durable beside the database without yet
//              putting them in place, and names them by a token (empty when
//              nothing changed);
//   Publish()  puts the staged changes in place, durably;
//   Discard()  drops every change not yet published: the database reads as
//              it did before them.
//
// A conduit stages, commits its own store together with the token, then
// publishes. A HotSync that ends between the two leaves the staged changes
// behind; IPDStagedChanges finds them, and the conduit publishes those whose
// token its store committed and discards the others. How far a backend can
// hold changes back (a handheld folder: entirely; a live handheld: the
// clearing of its change flags) is written down for each backend.
class IPDDatabaseTransaction : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{2C5E7A41-8B0D-4F6E-A3C9-71D4E5B60F13}");

    virtual HRESULT Begin() = 0;
    virtual HRESULT Stage(std::string *token) = 0;
    virtual HRESULT Publish(const std::string &token) = 0;
    virtual HRESULT Discard() = 0;

protected:
    ~IPDDatabaseTransaction() = default;
};

// An addition of this suite, on the database query: the staged changes an
// interrupted HotSync left behind, to be settled before the database is
// opened.
class IPDStagedChanges : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{2C5E7A41-8B0D-4F6E-A3C9-71D4E5B60F14}");

    // Tokens of the staged changes of that database, oldest first.
    virtual HRESULT ListStaged(const std::string &name, std::vector<std::string> *tokens) = 0;
    // Puts those staged changes in place (nothing when they are gone).
    virtual HRESULT PublishStaged(const std::string &name, const std::string &token) = 0;
    // Drops them.
    virtual HRESULT DiscardStaged(const std::string &name, const std::string &token) = 0;

protected:
    ~IPDStagedChanges() = default;
};

// What one step of a conduit changed (a table and its handheld database,
// or a renumbering of references in them).
struct SyncCounts {
    std::int32_t handheldAdded = 0, handheldChanged = 0, handheldDeleted = 0;
    std::int32_t desktopAdded = 0, desktopChanged = 0, desktopDeleted = 0;
    std::int32_t renumbered = 0; // references given a record's new id
};

// An addition of this suite, on the system adapter: how far a conduit has
// got, for the host to show while the HotSync runs, and what each step
// changed once it is committed.
class IPDSyncProgress : public com::IUnknown {
public:
    static constexpr com::IID iid = com::guid("{2C5E7A41-8B0D-4F6E-A3C9-71D4E5B60F15}");

    // `done` of `total` records of `table` are through `stage` ("reading",
    // "writing", "renumbering"); total 0 when it is not known.
    virtual HRESULT Progress(const std::string &table, const std::string &stage, std::int32_t done,
                             std::int32_t total) = 0;
    // A step of `table` is committed with these changes.
    virtual HRESULT StepDone(const std::string &table, const SyncCounts &counts) = 0;

protected:
    ~IPDSyncProgress() = default;
};

} // namespace palmsync

#pragma GCC visibility pop
