#pragma once

#include <chrono>
#include <filesystem>

namespace hotsync {

// How long a copy waits for a SQLite database that another program holds
// locked for writing before it gives up.
inline constexpr std::chrono::milliseconds defaultLockWait{5000};

// Whether the file begins with the header of a SQLite database.
bool isSqliteDatabase(const std::filesystem::path &file);

// Whether the file is one of SQLite's companions of a database beside it
// ("X-journal", "X-wal", "X-shm" or a super-journal "X-mj..." next to a
// SQLite database "X").
bool isSqliteCompanion(const std::filesystem::path &file);

// Copies `from` to the new file `to` and flushes it to disk. A SQLite
// database is copied through SQLite's online backup, which reads every page
// under one shared lock: a table file that another program is writing is
// copied as it stood at its last commit, never half-way through one (a
// writer that is committing is waited for up to `lockWait`; after that the
// copy fails). A database file that SQLite cannot read as one (damaged) is
// copied byte for byte. Raises a HostError naming the file and the cause;
// a partly written `to` is removed then.
void copyDurably(const std::filesystem::path &from, const std::filesystem::path &to,
                 std::chrono::milliseconds lockWait = defaultLockWait);

// Puts a copy of `source` in place of `target` so that `target` holds
// either its old or its new content at every moment. A SQLite database over
// a SQLite database is written through SQLite's backup inside one write
// transaction of the target (waiting up to `lockWait` for other programs),
// so that programs that have it open see the change the way they see any
// commit. Any other file is written beside the target, flushed and renamed
// over it; the journal files of a database that stood there before are
// removed first so that SQLite never applies them to the new content.
// Missing parent folders are created. Raises a HostError.
void replaceDurably(const std::filesystem::path &source, const std::filesystem::path &target,
                    std::chrono::milliseconds lockWait = defaultLockWait);

// Removes a file; when it is a SQLite database, its journal files too.
void removeWithCompanions(const std::filesystem::path &file);

} // namespace hotsync
