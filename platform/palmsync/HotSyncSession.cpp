#include "palmsync/HotSyncSession.h"

#include "SessionState.h"
#include "palmsync/HandheldFolder.h"

#include "com/ComError.h"

#include <ctime>

namespace palmsync {

namespace {
// The running HotSync of this process; one at a time.
std::mutex currentMutex;
HotSyncSession::Impl *current = nullptr;
} // namespace

void HotSyncSession::Impl::addLog(const std::string &line)
{
    std::lock_guard lock(logMutex_);
    log_.push_back(line);
}

std::vector<std::string> HotSyncSession::Impl::log() const
{
    std::lock_guard lock(logMutex_);
    return log_;
}

void HotSyncSession::Impl::checkActive() const
{
    if (ended)
        throw com::ComError(com::E_UNEXPECTED, "The HotSync has ended");
}

std::shared_ptr<OpenDatabase> HotSyncSession::Impl::openDatabase(const std::string &name)
{
    checkActive();
    try {
        HandheldFolder::checkDatabaseName(name);
    } catch (const PalmDatabaseError &e) {
        throw com::ComError(com::E_INVALIDARG, e.what());
    }
    if (auto it = databases.find(name); it != databases.end())
        return it->second;

    std::optional<std::filesystem::path> file;
    try {
        file = HandheldFolder(settings.handheldFolder).find(name);
    } catch (const PalmDatabaseError &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
    if (!file)
        throw com::ComError(com::E_FAIL, "Database " + name + " not found on the handheld");
    auto open = std::make_shared<OpenDatabase>();
    open->name = name;
    open->file = *file;
    try {
        open->db = PalmDatabase::load(*file);
    } catch (const PalmDatabaseError &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
    if (open->db.isResourceDatabase())
        throw com::ComError(com::E_FAIL, "Database " + name + " is a resource database, not a record database");
    databases.emplace(name, open);
    return open;
}

void HotSyncSession::Impl::flush(OpenDatabase &open)
{
    if (!open.changed)
        return;
    // A failed write must not bump the header twice: it is put back then.
    const PalmDatabaseHeader before = open.db.header;
    open.db.touch(std::time(nullptr));
    try {
        open.db.save(open.file);
    } catch (...) {
        open.db.header = before;
        throw;
    }
    open.changed = false;
}

std::string HotSyncSession::Impl::stage(OpenDatabase &open)
{
    checkActive();
    if (!open.transactional)
        throw com::ComError(com::E_UNEXPECTED, "Database " + open.name + " has no transaction to stage");
    if (!open.stagedToken.empty())
        throw com::ComError(com::E_UNEXPECTED, "Database " + open.name + " has staged changes already");
    if (!open.changed)
        return std::string();
    // The header is only kept when the staged file is published or staged
    // again; a failure puts it back.
    const PalmDatabaseHeader before = open.db.header;
    open.db.touch(std::time(nullptr));
    try {
        open.stagedToken = HandheldFolder(settings.handheldFolder).stage(open.name, open.db);
    } catch (const PalmDatabaseError &e) {
        open.db.header = before;
        throw com::ComError(com::E_FAIL, e.what());
    }
    return open.stagedToken;
}

void HotSyncSession::Impl::publish(OpenDatabase &open, const std::string &token)
{
    checkActive();
    if (token.empty())
        return;
    if (token != open.stagedToken)
        throw com::ComError(com::E_INVALIDARG, "Database " + open.name + " has no staged changes \"" + token + "\"");
    try {
        HandheldFolder(settings.handheldFolder).publish(open.name, token);
    } catch (const PalmDatabaseError &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
    open.stagedToken.clear();
    open.changed = false;
}

void HotSyncSession::Impl::discard(OpenDatabase &open)
{
    checkActive();
    std::string failure;
    if (!open.stagedToken.empty()) {
        try {
            HandheldFolder(settings.handheldFolder).discard(open.name, open.stagedToken);
        } catch (const PalmDatabaseError &e) {
            // A staged file left behind is discarded by the next HotSync: its
            // token never reached the conduit's store.
            failure = e.what();
        }
        open.stagedToken.clear();
    }
    if (open.changed) {
        try {
            PalmDatabase reread = PalmDatabase::load(open.file);
            reread.keepUniqueIdsAbove(open.db);
            open.db = std::move(reread);
        } catch (const PalmDatabaseError &e) {
            throw com::ComError(com::E_FAIL, e.what());
        }
        open.changed = false;
    }
    if (!failure.empty())
        addLog("WARNING (HotSync): " + failure);
}

void HotSyncSession::Impl::checkNotOpen(const std::string &name) const
{
    if (databases.count(name))
        throw com::ComError(com::E_UNEXPECTED,
                            "Database " + name + " is open: its staged changes are settled before it is opened");
}

void HotSyncSession::Impl::adapterReleased(OpenDatabase &open)
{
    if (--open.adapters > 0 || ended || open.transactional)
        return;
    try {
        flush(open);
    } catch (const std::exception &e) {
        addLog(e.what());
    }
}

HotSyncSession::HotSyncSession(SessionSettings settings) : impl_(std::make_shared<Impl>(std::move(settings)))
{
    std::lock_guard lock(currentMutex);
    if (current)
        throw std::logic_error("A HotSync is in progress already");
    registerSyncSuiteClasses(impl_);
    current = impl_.get();
}

HotSyncSession::~HotSyncSession()
{
    try {
        end();
    } catch (const std::exception &) {
        // The failure was logged by end(); a destructor cannot report it.
    }
}

const SessionSettings &HotSyncSession::settings() const
{
    return impl_->settings;
}

void HotSyncSession::observe(SessionObserver observer)
{
    impl_->observer = std::move(observer);
}

void HotSyncSession::end()
{
    if (impl_->ended)
        return;
    std::string failures;
    for (auto &[name, open] : impl_->databases) {
        if (open->transactional) {
            // Changes of a transaction are written by Publish, never by the
            // end of the HotSync. Staged changes stay where they are: the
            // conduit's store decides at the next HotSync whether they
            // belong in place.
            if (!open->stagedToken.empty())
                impl_->addLog("WARNING (HotSync): staged changes of " + name + " wait for the next HotSync");
            else if (open->changed)
                impl_->addLog("WARNING (HotSync): changes to " + name + " that were not committed are dropped");
            continue;
        }
        try {
            impl_->flush(*open);
        } catch (const std::exception &e) {
            impl_->addLog(e.what());
            failures += (failures.empty() ? "" : "; ") + std::string(e.what());
        }
    }
    impl_->ended = true;
    {
        std::lock_guard lock(currentMutex);
        revokeSyncSuiteClasses();
        current = nullptr;
    }
    if (!failures.empty())
        throw PalmDatabaseError(failures);
}

std::vector<std::string> HotSyncSession::logLines() const
{
    return impl_->log();
}

void HotSyncSession::addLogLine(const std::string &line)
{
    impl_->addLog(line);
}

} // namespace palmsync
