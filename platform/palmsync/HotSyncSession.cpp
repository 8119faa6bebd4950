#include "palmsync/HotSyncSession.h"

#include "SessionState.h"
#include "palmsync/FolderHandheld.h"
#include "palmsync/HandheldFolder.h"

#include "com/ComError.h"

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

HotSyncSession::Impl::Impl(SessionSettings s, std::shared_ptr<handheld::HandheldLink> h)
    : settings(std::move(s)), handheld(h ? std::move(h) : std::make_shared<FolderHandheld>(settings.handheldFolder))
{
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

    std::shared_ptr<handheld::HandheldDatabase> db;
    try {
        db = handheld->openDatabase(name);
    } catch (const std::exception &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
    if (!db)
        throw com::ComError(com::E_FAIL, "Database " + name + " not found on the handheld");
    auto open = std::make_shared<OpenDatabase>();
    open->name = name;
    open->db = std::move(db);
    databases.emplace(name, open);
    return open;
}

std::string HotSyncSession::Impl::stage(OpenDatabase &open)
{
    checkActive();
    if (!open.db->inTransaction())
        throw com::ComError(com::E_UNEXPECTED, "Database " + open.name + " has no transaction to stage");
    if (!open.db->stagedToken().empty())
        throw com::ComError(com::E_UNEXPECTED, "Database " + open.name + " has staged changes already");
    try {
        return open.db->stage();
    } catch (const com::ComError &) {
        throw;
    } catch (const std::exception &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
}

void HotSyncSession::Impl::publish(OpenDatabase &open, const std::string &token)
{
    checkActive();
    if (token.empty())
        return;
    if (token != open.db->stagedToken())
        throw com::ComError(com::E_INVALIDARG, "Database " + open.name + " has no staged changes \"" + token + "\"");
    try {
        open.db->publish(token);
    } catch (const std::exception &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
}

void HotSyncSession::Impl::discard(OpenDatabase &open)
{
    checkActive();
    try {
        open.db->discard();
    } catch (const std::exception &e) {
        throw com::ComError(com::E_FAIL, e.what());
    }
    std::string warning = open.db->takeWarning();
    if (!warning.empty())
        addLog("WARNING (HotSync): " + warning);
}

void HotSyncSession::Impl::checkNotOpen(const std::string &name) const
{
    if (databases.count(name))
        throw com::ComError(com::E_UNEXPECTED,
                            "Database " + name + " is open: its staged changes are settled before it is opened");
}

void HotSyncSession::Impl::adapterReleased(OpenDatabase &open)
{
    if (--open.adapters > 0 || ended || open.db->inTransaction())
        return;
    try {
        open.db->flush();
    } catch (const std::exception &e) {
        addLog(e.what());
    }
}

HotSyncSession::HotSyncSession(SessionSettings settings) : HotSyncSession(std::move(settings), nullptr) {}

HotSyncSession::HotSyncSession(SessionSettings settings, std::shared_ptr<handheld::HandheldLink> handheld)
    : impl_(std::make_shared<Impl>(std::move(settings), std::move(handheld)))
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
        if (open->db->inTransaction()) {
            // Changes of a transaction are written by Publish, never by the
            // end of the HotSync. Staged changes stay where they are: the
            // conduit's store decides at the next HotSync whether they
            // belong in place.
            if (!open->db->stagedToken().empty())
                impl_->addLog("WARNING (HotSync): staged changes of " + name + " wait for the next HotSync");
            else if (open->db->pending())
                impl_->addLog("WARNING (HotSync): changes to " + name + " that were not committed are dropped");
            continue;
        }
        try {
            open->db->flush();
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
