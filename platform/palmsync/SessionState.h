#pragma once

// State of the running HotSync shared by the session and the sync-suite
// objects it hands out. Internal to the library.

#include "handheld/HandheldLink.h"
#include "palmsync/HotSyncSession.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace palmsync {

// One database opened during the session; every record adapter of it
// shares it.
struct OpenDatabase {
    std::string name;
    std::shared_ptr<handheld::HandheldDatabase> db;
    int adapters = 0; // live record adapters
};

struct HotSyncSession::Impl {
    Impl(SessionSettings s, std::shared_ptr<handheld::HandheldLink> h);

    void addLog(const std::string &line);
    std::vector<std::string> log() const;

    // The database of that name, opened on first use. Raises a ComError
    // with the platform message when it is missing or damaged.
    std::shared_ptr<OpenDatabase> openDatabase(const std::string &name);
    // The steps of IPDDatabaseTransaction; see there.
    std::string stage(OpenDatabase &db);
    void publish(OpenDatabase &db, const std::string &token);
    void discard(OpenDatabase &db);
    // A record adapter went away: the last one writes the changes (not
    // those of a database in a transaction). A failure becomes a log line,
    // and end() tries again.
    void adapterReleased(OpenDatabase &db);
    // Raises when the HotSync has ended.
    void checkActive() const;
    // Raises when the database of that name is open in this session: its
    // staged changes are settled before it is opened.
    void checkNotOpen(const std::string &name) const;

    SessionSettings settings;
    SessionObserver observer;
    std::shared_ptr<handheld::HandheldLink> handheld;
    bool ended = false;
    std::map<std::string, std::shared_ptr<OpenDatabase>> databases;

private:
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
};

// Registers and revokes the class factories of the system adapter, the
// database query and the utility for this session.
void registerSyncSuiteClasses(const std::shared_ptr<HotSyncSession::Impl> &session);
void revokeSyncSuiteClasses();

} // namespace palmsync
