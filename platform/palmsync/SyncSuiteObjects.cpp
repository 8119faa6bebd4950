// The sync-suite classes a conduit creates during a HotSync: system adapter
// (with the HotSync information and the host log), database query, record
// adapter and byte-array utility, and the class factories the session
// registers for them.

#include "SessionState.h"
#include "text/Cp1252.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/SyncSuite.h"

#include "com/ClassTable.h"
#include "com/ComError.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"

#include <algorithm>

namespace palmsync {

using com::ComError;
using com::E_FAIL;
using com::E_INVALIDARG;
using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

using SessionPtr = std::shared_ptr<HotSyncSession::Impl>;

template <class... Ps> void requirePointers(Ps *...ps)
{
    const bool missing = (... || !ps);
    if (missing)
        throw ComError(E_POINTER, "A required out parameter is missing");
}

class HotsyncInfo final : public com::ComObject<IPDHotsyncInfo> {
public:
    explicit HotsyncInfo(const SessionSettings &s) : settings_(s) {}

    HRESULT GetSyncType(std::int32_t *syncType) override
    {
        return com::guarded([&] {
            requirePointers(syncType);
            *syncType = settings_.syncType;
            return S_OK;
        });
    }
    HRESULT GetPathName(std::string *path) override
    {
        return com::guarded([&] {
            requirePointers(path);
            *path = settings_.pathName;
            return S_OK;
        });
    }
    HRESULT GetUserName(std::string *name) override
    {
        return com::guarded([&] {
            requirePointers(name);
            *name = settings_.userName;
            return S_OK;
        });
    }

private:
    SessionSettings settings_;
};

class SystemAdapter final : public com::ComObject<IPDSystemAdapter, IPDHostLog, IPDSyncProgress> {
public:
    explicit SystemAdapter(SessionPtr s) : session_(std::move(s)) {}

    HRESULT GetHotsyncInfo(IPDHotsyncInfo **info) override
    {
        return com::guarded([&] {
            requirePointers(info);
            *info = nullptr;
            session_->checkActive();
            com::ComPtr<IPDHotsyncInfo> obj(new HotsyncInfo(session_->settings));
            *info = obj.detach();
            return S_OK;
        });
    }

    HRESULT AddLogEntry(const std::string &text) override
    {
        return com::guarded([&] {
            session_->checkActive();
            session_->addLog(text);
            return S_OK;
        });
    }

    HRESULT Progress(const std::string &table, const std::string &stage, std::int32_t done,
                     std::int32_t total) override
    {
        return com::guarded([&] {
            if (session_->observer.onProgress)
                session_->observer.onProgress(table, stage, done, total);
            return S_OK;
        });
    }

    HRESULT StepDone(const std::string &table, const SyncCounts &counts) override
    {
        return com::guarded([&] {
            if (session_->observer.onStepDone)
                session_->observer.onStepDone(table, counts);
            return S_OK;
        });
    }

private:
    SessionPtr session_;
};

class RecordAdapter final : public com::ComObject<IPDRecordAdapter, IPDDatabaseTransaction> {
public:
    RecordAdapter(SessionPtr s, std::shared_ptr<OpenDatabase> db, bool writable)
        : session_(std::move(s)), open_(std::move(db)), writable_(writable)
    {
        ++open_->adapters;
        eof_ = db_().recordCount() == 0;
    }
    ~RecordAdapter() override { session_->adapterReleased(*open_); }

    HRESULT AddLogEntry(const std::string &text, std::int32_t, std::int32_t, std::int32_t) override
    {
        return com::guarded([&] {
            session_->checkActive();
            std::string line = text;
            while (!line.empty() && line.back() == '\0')
                line.pop_back();
            session_->addLog(line);
            return S_OK;
        });
    }

    HRESULT Begin() override
    {
        return com::guarded([&] {
            checkWritable();
            db_().begin();
            return S_OK;
        });
    }

    HRESULT Stage(std::string *token) override
    {
        return com::guarded([&] {
            requirePointers(token);
            *token = session_->stage(*open_);
            return S_OK;
        });
    }

    HRESULT Publish(const std::string &token) override
    {
        return com::guarded([&] {
            session_->publish(*open_, token);
            return S_OK;
        });
    }

    HRESULT Discard() override
    {
        return com::guarded([&] {
            session_->discard(*open_);
            // The records may be others now: the iteration starts over.
            position_ = 0;
            eof_ = db_().recordCount() == 0;
            return S_OK;
        });
    }

    HRESULT ReadRecordById(std::int32_t *index, std::int32_t recordId, std::int32_t *category, std::int32_t *attributes,
                           ByteArray *data) override
    {
        return com::guarded([&] {
            requirePointers(index, category, attributes, data);
            session_->checkActive();
            std::size_t i = find(recordId);
            auto r = db_().recordAt(i);
            if (!r)
                throw notFound(recordId);
            *index = static_cast<std::int32_t>(i);
            deliver(*r, category, attributes, data);
            return S_OK;
        });
    }

    HRESULT ReadNextRecord(std::int32_t *index, std::int32_t *recordId, std::int32_t *category,
                           std::int32_t *attributes, ByteArray *data) override
    {
        return com::guarded([&] {
            requirePointers(index, recordId, category, attributes, data);
            session_->checkActive();
            auto r = db_().recordAt(position_);
            if (!r) {
                eof_ = true;
                *index = *recordId = *category = *attributes = 0;
                data->clear();
                return S_FALSE;
            }
            *index = static_cast<std::int32_t>(position_);
            *recordId = static_cast<std::int32_t>(r->id);
            deliver(*r, category, attributes, data);
            ++position_;
            eof_ = false;
            return S_OK;
        });
    }

    HRESULT WriteRecord(std::int32_t *recordId, std::int32_t category, std::int32_t attributes,
                        const ByteArray &data) override
    {
        return com::guarded([&] {
            requirePointers(recordId);
            checkWritable();
            if (category < 0 || category > 15)
                throw ComError(E_INVALIDARG, "Category " + std::to_string(category) + " is outside 0 to 15");
            if ((attributes & ~0xF0) != 0)
                throw ComError(E_INVALIDARG, "Record attributes " + std::to_string(attributes) +
                                                 " hold bits other than 0x80, 0x40, 0x20 and 0x10");
            handheld::Record r;
            if (*recordId != 0) {
                find(*recordId);
                r.id = static_cast<std::uint32_t>(*recordId);
            }
            r.category = static_cast<std::uint8_t>(category);
            r.attributes = static_cast<std::uint8_t>(attributes);
            r.data = data;
            *recordId = static_cast<std::int32_t>(db_().writeRecord(r));
            return S_OK;
        });
    }

    HRESULT RemoveRecord(std::int32_t recordId) override
    {
        return com::guarded([&] {
            checkWritable();
            std::size_t i = find(recordId);
            db_().deleteRecord(static_cast<std::uint32_t>(recordId));
            if (i < position_)
                --position_;
            return S_OK;
        });
    }

    HRESULT RemoveRecordSet(std::int32_t selector, std::int32_t) override
    {
        return com::guarded([&] {
            checkWritable();
            if (selector != eRemoveAll && selector != eRemoveDeleted)
                throw ComError(E_INVALIDARG, "Unknown record set selector " + std::to_string(selector));
            auto &db = db_();
            std::size_t before = 0; // removed records ahead of the iteration position
            const std::size_t count = db.recordCount();
            for (std::size_t i = 0; i < std::min(position_, count); ++i) {
                if (selector == eRemoveAll || (db.recordAt(i)->attributes & eRecAttrDeleted) != 0)
                    ++before;
            }
            if (selector == eRemoveAll)
                db.deleteAll();
            else
                db.purgeDeleted();
            if (db.recordCount() != count)
                position_ -= before;
            return S_OK;
        });
    }

    HRESULT GetDatabaseName(std::string *name) override
    {
        return com::guarded([&] {
            requirePointers(name);
            *name = open_->name;
            return S_OK;
        });
    }

    HRESULT GetRecordCount(std::int32_t *count) override
    {
        return com::guarded([&] {
            requirePointers(count);
            session_->checkActive();
            *count = static_cast<std::int32_t>(db_().recordCount());
            return S_OK;
        });
    }

    HRESULT SetIterationIndex(std::int32_t index) override
    {
        return com::guarded([&] {
            session_->checkActive();
            if (index < 0)
                throw ComError(E_INVALIDARG, "Iteration index " + std::to_string(index) + " is negative");
            position_ = static_cast<std::size_t>(index);
            eof_ = position_ >= db_().recordCount();
            return S_OK;
        });
    }

    HRESULT GetEOF(bool *eof) override
    {
        return com::guarded([&] {
            requirePointers(eof);
            *eof = eof_;
            return S_OK;
        });
    }

private:
    handheld::HandheldDatabase &db_() { return *open_->db; }

    ComError notFound(std::int32_t recordId) const
    {
        return ComError(E_FAIL, "Record " + std::to_string(recordId) + " not found in database " + open_->name);
    }

    std::size_t find(std::int32_t recordId)
    {
        auto i = recordId > 0 ? db_().indexOf(static_cast<std::uint32_t>(recordId)) : std::nullopt;
        if (!i)
            throw notFound(recordId);
        return *i;
    }

    static void deliver(const handheld::Record &r, std::int32_t *category, std::int32_t *attributes, ByteArray *data)
    {
        *category = r.category;
        *attributes = r.attributes;
        *data = r.data;
    }

    void checkWritable()
    {
        session_->checkActive();
        if (!writable_)
            throw ComError(com::E_ACCESSDENIED, "Database " + open_->name + " is open for reading only");
    }

    SessionPtr session_;
    std::shared_ptr<OpenDatabase> open_;
    bool writable_;
    std::size_t position_ = 0;
    bool eof_ = true;
};

class DatabaseQuery final : public com::ComObject<IPDDatabaseQuery, IPDStagedChanges> {
public:
    explicit DatabaseQuery(SessionPtr s) : session_(std::move(s)) {}

    HRESULT OpenRecordDatabase(const std::string &name, const std::string &adapterProgId, std::int32_t openMode,
                               IPDRecordAdapter **adapter) override
    {
        return com::guarded([&] {
            requirePointers(adapter);
            *adapter = nullptr;
            if (adapterProgId != "PDDirect.PDRecordAdapter")
                throw ComError(E_INVALIDARG, "Unknown record adapter class \"" + adapterProgId + "\"");
            if ((openMode & (eDbRead | eDbWrite)) == 0)
                throw ComError(E_INVALIDARG, "Open mode " + std::to_string(openMode) + " neither reads nor writes");
            auto db = session_->openDatabase(name);
            com::ComPtr<IPDRecordAdapter> obj(new RecordAdapter(session_, db, (openMode & eDbWrite) != 0));
            *adapter = obj.detach();
            return S_OK;
        });
    }

    HRESULT ListStaged(const std::string &name, std::vector<std::string> *tokens) override
    {
        return com::guarded([&] {
            requirePointers(tokens);
            session_->checkActive();
            checkName(name);
            *tokens = session_->handheld->listStaged(name);
            return S_OK;
        });
    }

    HRESULT PublishStaged(const std::string &name, const std::string &token) override
    {
        return com::guarded([&] {
            session_->checkActive();
            session_->checkNotOpen(name);
            checkName(name);
            session_->handheld->publishStaged(name, token);
            return S_OK;
        });
    }

    HRESULT DiscardStaged(const std::string &name, const std::string &token) override
    {
        return com::guarded([&] {
            session_->checkActive();
            session_->checkNotOpen(name);
            checkName(name);
            session_->handheld->discardStaged(name, token);
            return S_OK;
        });
    }

private:
    static void checkName(const std::string &name)
    {
        try {
            HandheldFolder::checkDatabaseName(name);
        } catch (const PalmDatabaseError &e) {
            throw ComError(E_INVALIDARG, e.what());
        }
    }

    SessionPtr session_;
};

class Utility final : public com::ComObject<IPDUtility> {
public:
    explicit Utility(SessionPtr) {}

    HRESULT WriteWord(ByteArray *array, std::int32_t offset, bool swap, std::uint16_t value,
                      std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(array, next);
            std::size_t at = checkRange(array->size(), offset, 2);
            store(*array, at, value, 2, swap);
            *next = offset + 2;
            return S_OK;
        });
    }

    HRESULT ReadWord(const ByteArray &array, std::int32_t offset, bool swap, std::uint16_t *value,
                     std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(value, next);
            std::size_t at = checkRange(array.size(), offset, 2);
            *value = static_cast<std::uint16_t>(load(array, at, 2, swap));
            *next = offset + 2;
            return S_OK;
        });
    }

    HRESULT WriteDWord(ByteArray *array, std::int32_t offset, bool swap, std::int32_t value,
                       std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(array, next);
            std::size_t at = checkRange(array->size(), offset, 4);
            store(*array, at, static_cast<std::uint32_t>(value), 4, swap);
            *next = offset + 4;
            return S_OK;
        });
    }

    HRESULT ReadDWord(const ByteArray &array, std::int32_t offset, bool swap, std::int32_t *value,
                      std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(value, next);
            std::size_t at = checkRange(array.size(), offset, 4);
            *value = static_cast<std::int32_t>(load(array, at, 4, swap));
            *next = offset + 4;
            return S_OK;
        });
    }

    HRESULT WriteString(ByteArray *array, std::int32_t offset, const std::string &text, std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(array, next);
            std::string bytes = charset::utf8ToCp1252(text);
            // Cut at an embedded zero: the handheld reads up to the first one anyway.
            bytes.resize(std::min(bytes.size(), bytes.find('\0')));
            std::size_t at = checkRange(array->size(), offset, bytes.size() + 1);
            std::copy(bytes.begin(), bytes.end(), array->begin() + static_cast<std::ptrdiff_t>(at));
            (*array)[at + bytes.size()] = 0;
            *next = static_cast<std::int32_t>(at + bytes.size() + 1);
            return S_OK;
        });
    }

    HRESULT ReadString(const ByteArray &array, std::int32_t offset, std::int32_t maxLength, std::string *text,
                       std::int32_t *next) override
    {
        return com::guarded([&] {
            requirePointers(text, next);
            if (maxLength < 0)
                throw ComError(E_INVALIDARG, "Negative text length " + std::to_string(maxLength));
            std::size_t at = checkRange(array.size(), offset, 0);
            auto first = array.begin() + static_cast<std::ptrdiff_t>(at);
            std::size_t room = std::min<std::size_t>(static_cast<std::size_t>(maxLength), array.size() - at);
            auto end = std::find(first, first + static_cast<std::ptrdiff_t>(room), 0);
            std::size_t len = static_cast<std::size_t>(end - first);
            if (len == room && room < static_cast<std::size_t>(maxLength))
                throw ComError(E_INVALIDARG, "The text at offset " + std::to_string(offset) +
                                                 " runs past the end of the array (" + std::to_string(array.size()) +
                                                 " bytes)");
            *text = charset::cp1252ToUtf8(std::string(first, end));
            *next = static_cast<std::int32_t>(at + len + (len < room ? 1 : 0));
            return S_OK;
        });
    }

private:
    static std::size_t checkRange(std::size_t size, std::int32_t offset, std::size_t width)
    {
        if (offset < 0 || static_cast<std::size_t>(offset) > size || width > size - static_cast<std::size_t>(offset))
            throw ComError(E_INVALIDARG, "Offset " + std::to_string(offset) + " with " + std::to_string(width) +
                                             " bytes lies outside the array (" + std::to_string(size) + " bytes)");
        return static_cast<std::size_t>(offset);
    }

    // swap set: most significant byte first; else least significant first.
    static void store(ByteArray &a, std::size_t at, std::uint32_t v, int width, bool swap)
    {
        for (int i = 0; i < width; ++i) {
            int shift = swap ? 8 * (width - 1 - i) : 8 * i;
            a[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> shift);
        }
    }

    static std::uint32_t load(const ByteArray &a, std::size_t at, int width, bool swap)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < width; ++i) {
            int shift = swap ? 8 * (width - 1 - i) : 8 * i;
            v |= std::uint32_t{a[at + static_cast<std::size_t>(i)]} << shift;
        }
        return v;
    }
};

// Creates objects of one class for the session while it runs.
template <class Object, class Itf> class SessionClassFactory final : public com::ComObject<com::IClassFactory> {
public:
    explicit SessionClassFactory(const SessionPtr &s) : session_(s) {}

    HRESULT CreateInstance(com::IUnknown *outer, const com::IID &riid, void **ppv) override
    {
        return com::guarded([&] {
            if (!ppv)
                return E_POINTER;
            *ppv = nullptr;
            if (outer)
                return com::CLASS_E_NOAGGREGATION;
            SessionPtr s = session_.lock();
            if (!s || s->ended)
                throw ComError(com::E_UNEXPECTED, "No HotSync is in progress");
            com::ComPtr<Itf> obj(new Object(s));
            return obj->QueryInterface(riid, ppv);
        });
    }
    HRESULT LockServer(bool) override { return S_OK; }

private:
    std::weak_ptr<HotSyncSession::Impl> session_;
};

constexpr com::CLSID kClasses[] = {IPDSystemAdapter::clsid, IPDDatabaseQuery::clsid, IPDUtility::clsid};

} // namespace

void registerSyncSuiteClasses(const SessionPtr &session)
{
    com::ComPtr<com::IClassFactory> factories[] = {
        com::ComPtr<com::IClassFactory>(new SessionClassFactory<SystemAdapter, IPDSystemAdapter>(session)),
        com::ComPtr<com::IClassFactory>(new SessionClassFactory<DatabaseQuery, IPDDatabaseQuery>(session)),
        com::ComPtr<com::IClassFactory>(new SessionClassFactory<Utility, IPDUtility>(session)),
    };
    for (std::size_t i = 0; i < std::size(kClasses); ++i) {
        com::HRESULT hr = com::CoRegisterClassObject(kClasses[i], factories[i].get());
        if (com::FAILED(hr)) {
            for (std::size_t k = 0; k < i; ++k)
                com::CoRevokeClassObject(kClasses[k]);
            com::throwError(hr);
        }
    }
}

void revokeSyncSuiteClasses()
{
    for (const auto &clsid : kClasses)
        com::CoRevokeClassObject(clsid);
}

} // namespace palmsync
