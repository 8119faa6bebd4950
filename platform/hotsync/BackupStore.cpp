#include "hotsync/BackupStore.h"

#include "hotsync/HostError.h"
#include "hotsync/RecordFile.h"
#include "fileio/DurableFile.h"
#include "fileio/FileLock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

namespace hotsync {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {

constexpr const char *manifestTag = "GVBACKUP";
constexpr const char *manifestName = "manifest";
constexpr const char *partialPrefix = ".partial-";
constexpr const char *removingPrefix = ".removing-";

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The number of a backup folder "<n>-<stamp>", or nothing for other names.
std::optional<std::int32_t> backupNumber(const std::string &name)
{
    std::int32_t n = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), n);
    if (ec != std::errc() || end == name.data() || n <= 0 || end == name.data() + name.size() || *end != '-')
        return std::nullopt;
    return n;
}

// A creator ID as a folder name: characters other than letters, digits,
// "-" and "_" are written as "%XX", so that "a/.." or " " name no other
// folder.
std::string creatorFolderName(CreatorId creator)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string name;
    for (char c : creator.text()) {
        auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_') {
            name += c;
        } else {
            name += '%';
            name += hex[u >> 4];
            name += hex[u & 0xF];
        }
    }
    return name;
}

// A handheld database, or the staged changes of one that an interrupted
// HotSync left (".<name>.pdb.staged-<token>"): both belong to the handheld's
// state, the second until the next HotSync settles it.
bool isHandheldDatabase(const fs::path &file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".pdb" || ext == ".prc")
        return true;
    const std::string name = file.filename().string();
    return name.size() > 1 && name[0] == '.' && name.find(".pdb.staged-") != std::string::npos;
}

// A temporary file that a restore writes beside the file it replaces, left
// behind when the restore was killed: ".<name>.restore-<random>".
bool isRestoreLeftover(const fs::path &file)
{
    const std::string name = file.filename().string();
    const auto at = name.rfind(".restore-");
    if (name.empty() || name[0] != '.' || at == std::string::npos || at == 0)
        return false;
    const std::string suffix = name.substr(at + 9);
    return suffix.size() >= 6 && suffix.size() <= 8 &&
           std::all_of(suffix.begin(), suffix.end(), [](unsigned char c) { return std::isalnum(c); });
}

void removeRestoreLeftovers(const fs::path &folder)
{
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && isRestoreLeftover(it->path()))
            leftovers.push_back(it->path());
    }
    for (const auto &file : leftovers)
        fs::remove(file, ec);
}

const char *outcomeText(BackupOutcome outcome)
{
    switch (outcome) {
    case BackupOutcome::Completed:
        return "completed";
    case BackupOutcome::Failed:
        return "failed";
    case BackupOutcome::Unknown:
        break;
    }
    return "unknown";
}

bool sameFolder(const fs::path &a, const fs::path &b)
{
    std::error_code ec;
    return fs::weakly_canonical(fs::absolute(a), ec) == fs::weakly_canonical(fs::absolute(b), ec);
}

// A path from a manifest that stays inside the folder it is relative to.
bool isSafeRelative(const std::string &path)
{
    fs::path p(path);
    if (path.empty() || p.has_root_path())
        return false;
    for (const auto &part : p) {
        if (part == ".." || part == "." || part.empty())
            return false;
    }
    return true;
}

std::string folderStamp(Clock::time_point when)
{
    std::time_t t = Clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::uintmax_t sizeOf(const fs::path &file)
{
    std::error_code ec;
    auto size = fs::file_size(file, ec);
    if (ec)
        throw HostError("Cannot read the size of " + file.string() + ": " + ec.message());
    return size;
}

void createFolder(const fs::path &folder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw HostError("Cannot create the folder " + folder.string() + ": " + ec.message());
}

void removeTree(const fs::path &folder)
{
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (ec)
        throw HostError("Cannot remove " + folder.string() + ": " + ec.message());
}

// Removes a half-made backup folder unless it was completed.
class PartialFolder {
public:
    explicit PartialFolder(fs::path folder) : folder_(std::move(folder)) {}
    ~PartialFolder()
    {
        if (!folder_.empty()) {
            std::error_code ec;
            fs::remove_all(folder_, ec);
        }
    }
    PartialFolder(const PartialFolder &) = delete;
    PartialFolder &operator=(const PartialFolder &) = delete;
    const fs::path &path() const { return folder_; }
    void complete() { folder_.clear(); }

private:
    fs::path folder_;
};

// The regular files below `folder`, relative and sorted, leaving out
// SQLite's journal files (a database is copied whole through SQLite),
// links, and the folder `excluded` (the host's user data, where the backups
// themselves lie, when a user's folder holds it).
std::vector<std::string> filesBelow(const fs::path &folder, const fs::path &excluded)
{
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const auto &entry = *it;
        std::error_code typeError;
        if (entry.is_symlink(typeError))
            continue;
        if (entry.is_directory(typeError)) {
            if (fs::equivalent(entry.path(), excluded, typeError))
                it.disable_recursion_pending();
            continue;
        }
        if (entry.is_regular_file(typeError) && !isSqliteCompanion(entry.path()))
            files.push_back(entry.path().lexically_relative(folder).generic_string());
    }
    if (ec)
        throw HostError("Cannot read the folder " + folder.string() + ": " + ec.message());
    std::sort(files.begin(), files.end());
    return files;
}

// Flushes every folder from each file's folder up to `top`.
void syncFoldersOf(const fs::path &top, const std::vector<std::string> &files)
{
    std::set<fs::path> folders{top};
    for (const auto &file : files) {
        for (fs::path p = (top / file).parent_path(); p != top && !p.empty(); p = p.parent_path())
            folders.insert(p);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        fileio::syncFolder(*it);
}

fs::path conduitFolder(const fs::path &userDirectory, const std::string &directory)
{
    ConduitRegistration registration;
    registration.directory = directory;
    return registration.folderIn(userDirectory);
}

std::int32_t parseNumber(const RecordFile &file, std::size_t index, const std::string &text)
{
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < 0)
        file.malformed(index, "not a number: \"" + text + "\"");
    return static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX));
}

std::uintmax_t parseSize(const RecordFile &file, std::size_t index, const std::string &text)
{
    std::uintmax_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        file.malformed(index, "not a size: \"" + text + "\"");
    return v;
}

void writeManifest(const fs::path &folder, const Backup &backup)
{
    std::vector<Record> records;
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(backup.created.time_since_epoch()).count();
    records.push_back({"created", std::to_string(seconds)});
    records.push_back({"reason", backup.reason});
    if (!backup.handheldFolder.empty())
        records.push_back({"handheld-folder", backup.handheldFolder.string()});
    if (backup.outcome != BackupOutcome::Unknown)
        records.push_back({"outcome", outcomeText(backup.outcome)});
    for (const auto &f : backup.handheld)
        records.push_back({"handheld", f.path, std::to_string(f.size)});
    for (const auto &c : backup.conduits) {
        records.push_back({"conduit", c.creator.text(), c.directory});
        for (const auto &f : c.files)
            records.push_back({"file", c.creator.text(), f.path, std::to_string(f.size)});
    }
    RecordFile(folder / manifestName, manifestTag).write(records);
}

Backup readManifest(const fs::path &folder, std::int32_t number)
{
    RecordFile file(folder / manifestName, manifestTag);
    if (!fs::is_regular_file(file.path()))
        throw HostError("The backup " + folder.string() + " has no manifest");
    Backup backup;
    backup.number = number;
    backup.folder = folder;
    bool created = false;
    auto records = file.read();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        if (r.size() == 2 && r[0] == "created") {
            backup.created = Clock::time_point(std::chrono::seconds(parseNumber(file, i, r[1])));
            created = true;
        } else if (r.size() == 2 && r[0] == "reason") {
            backup.reason = r[1];
        } else if (r.size() == 2 && r[0] == "handheld-folder") {
            backup.handheldFolder = r[1];
        } else if (r.size() == 2 && r[0] == "outcome") {
            if (r[1] == "completed")
                backup.outcome = BackupOutcome::Completed;
            else if (r[1] == "failed")
                backup.outcome = BackupOutcome::Failed;
            else
                file.malformed(i, "unknown outcome \"" + r[1] + "\"");
        } else if (r.size() == 3 && r[0] == "handheld") {
            backup.handheld.push_back({r[1], parseSize(file, i, r[2])});
        } else if (r.size() == 3 && r[0] == "conduit") {
            BackupConduit c;
            c.creator = CreatorId::fromText(r[1]);
            c.directory = r[2];
            backup.conduits.push_back(std::move(c));
        } else if (r.size() == 4 && r[0] == "file") {
            auto it = std::find_if(backup.conduits.begin(), backup.conduits.end(),
                                   [&](const BackupConduit &c) { return c.creator.text() == r[1]; });
            if (it == backup.conduits.end())
                file.malformed(i, "a file of conduit " + r[1] + " before the conduit");
            it->files.push_back({r[2], parseSize(file, i, r[3])});
        } else {
            file.malformed(i, "unknown record");
        }
    }
    if (!created)
        throw HostError("The manifest of " + folder.string() + " lacks its date");
    return backup;
}

} // namespace

BackupScope BackupScope::of(const User &user, const fs::path &handheldFolder,
                            const std::vector<ConduitRegistration> &conduits)
{
    BackupScope scope;
    scope.handheldFolder = handheldFolder;
    scope.userDirectory = user.directory;
    for (const auto &c : conduits)
        scope.conduits.emplace_back(c.creator, c.directory);
    return scope;
}

BackupStore::BackupStore(HostRoot root, std::int32_t userId, std::chrono::milliseconds lockWait)
    : root_(std::move(root)), userId_(userId), lockWait_(lockWait)
{
}

fs::path BackupStore::folder() const
{
    return root_.userDataFolder(userId_) / "backups";
}

Backup BackupStore::create(const BackupScope &scope, Clock::time_point when, const std::string &reason)
{
    fileio::FileLock lock(folder() / ".lock");
    return createLocked(scope, when, reason);
}

Backup BackupStore::createLocked(const BackupScope &scope, Clock::time_point when, const std::string &reason)
{
    const fs::path base = folder();
    createFolder(base);
    std::int32_t highest = 0;
    std::vector<fs::path> leftovers; // of a crash
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(base, ec)) {
        std::string name = entry.path().filename().string();
        if (startsWith(name, partialPrefix) || startsWith(name, removingPrefix))
            leftovers.push_back(entry.path());
        else if (auto n = backupNumber(name))
            highest = std::max(highest, *n);
    }
    if (ec)
        throw HostError("Cannot read the folder " + base.string() + ": " + ec.message());
    if (highest == INT32_MAX)
        throw HostError("The backup numbers in " + base.string() + " are used up");
    const std::int32_t number = highest + 1;
    for (const auto &folder : leftovers)
        removeTree(folder);

    std::string pattern = (base / (std::string(partialPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw HostError("Cannot create a folder in " + base.string() + ": " + std::strerror(errno));
    PartialFolder partial(pattern);

    Backup backup;
    backup.number = number;
    backup.created = std::chrono::time_point_cast<std::chrono::seconds>(when);
    backup.reason = reason;
    {
        std::error_code canonicalError;
        backup.handheldFolder = fs::weakly_canonical(fs::absolute(scope.handheldFolder), canonicalError);
        if (canonicalError)
            backup.handheldFolder = fs::absolute(scope.handheldFolder);
    }

    const fs::path handheldCopy = partial.path() / "handheld";
    createFolder(handheldCopy);
    std::vector<fs::path> databases;
    for (const auto &entry : fs::directory_iterator(scope.handheldFolder, ec)) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && isHandheldDatabase(entry.path()))
            databases.push_back(entry.path());
    }
    if (ec)
        throw HostError("Cannot read the handheld folder " + scope.handheldFolder.string() + ": " + ec.message());
    std::sort(databases.begin(), databases.end());
    for (const auto &file : databases) {
        fs::path copy = handheldCopy / file.filename();
        copyDurably(file, copy, lockWait_);
        backup.handheld.push_back({file.filename().string(), sizeOf(copy)});
    }
    fileio::syncFolder(handheldCopy);

    const fs::path conduitsCopy = partial.path() / "conduits";
    createFolder(conduitsCopy);
    for (const auto &[creator, directory] : scope.conduits) {
        fs::path source;
        try {
            source = conduitFolder(scope.userDirectory, directory);
        } catch (const HostError &) {
            continue; // such a conduit is refused when it runs, and touches nothing
        }
        BackupConduit conduit;
        conduit.creator = creator;
        conduit.directory = directory;
        const fs::path target = conduitsCopy / creatorFolderName(creator);
        createFolder(target);
        if (fs::is_directory(source)) {
            auto files = filesBelow(source, root_.path() / "userdata");
            for (const auto &file : files) {
                fs::path copy = target / file;
                createFolder(copy.parent_path());
                copyDurably(source / file, copy, lockWait_);
                conduit.files.push_back({file, sizeOf(copy)});
            }
            syncFoldersOf(target, files);
        }
        backup.conduits.push_back(std::move(conduit));
    }
    fileio::syncFolder(conduitsCopy);

    writeManifest(partial.path(), backup);
    fileio::syncFolder(partial.path());
    backup.folder = base / (std::to_string(number) + "-" + folderStamp(when));
    fs::rename(partial.path(), backup.folder, ec);
    if (ec)
        throw HostError("Cannot name the backup " + backup.folder.string() + ": " + ec.message());
    partial.complete();
    fileio::syncFolder(base);
    return backup;
}

std::vector<std::int32_t> BackupStore::prune()
{
    fileio::FileLock lock(folder() / ".lock");
    return pruneLocked();
}

void BackupStore::recordOutcome(std::int32_t number, BackupOutcome outcome)
{
    fileio::FileLock lock(folder() / ".lock");
    Backup backup = find(number);
    backup.outcome = outcome;
    writeManifest(backup.folder, backup);
}

std::vector<std::int32_t> BackupStore::pruneLocked()
{
    std::vector<std::int32_t> removed;
    auto backups = list();
    // The last good state: the newest backup taken before a HotSync that
    // completed. Backups of an older host recorded neither outcome nor
    // folder; they count as good.
    std::int32_t lastGood = 0;
    for (const auto &b : backups) {
        if (b.outcome == BackupOutcome::Completed ||
            (b.outcome == BackupOutcome::Unknown && b.handheldFolder.empty()))
            lastGood = b.number;
    }
    for (std::size_t i = 0; i + kept < backups.size(); ++i) {
        if (backups[i].number == lastGood)
            continue;
        const fs::path &old = backups[i].folder;
        // Renamed first, so that a crash half-way through the removal leaves
        // no numbered folder that looks like a backup.
        fs::path doomed = old.parent_path() / (removingPrefix + old.filename().string());
        std::error_code ec;
        fs::rename(old, doomed, ec);
        if (ec)
            throw HostError("Cannot remove the old backup " + old.string() + ": " + ec.message());
        removeTree(doomed);
        removed.push_back(backups[i].number);
    }
    if (!removed.empty())
        fileio::syncFolder(folder());
    return removed;
}

std::vector<Backup> BackupStore::list() const
{
    std::vector<Backup> backups;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(folder(), ec)) {
        auto number = backupNumber(entry.path().filename().string());
        if (!number)
            continue;
        try {
            backups.push_back(readManifest(entry.path(), *number));
        } catch (const std::exception &) {
            // Not a complete backup: made by hand or damaged. It is neither
            // listed nor restored, and never removed.
        }
    }
    std::sort(backups.begin(), backups.end(), [](const Backup &a, const Backup &b) { return a.number < b.number; });
    return backups;
}

Backup BackupStore::find(std::optional<std::int32_t> number) const
{
    auto backups = list();
    if (backups.empty())
        throw HostError("There is no backup of this user");
    if (!number)
        return backups.back();
    for (auto &b : backups) {
        if (b.number == *number)
            return b;
    }
    throw HostError("There is no backup number " + std::to_string(*number));
}

void BackupStore::verify(const Backup &backup) const
{
    auto damaged = [&](const std::string &why) {
        throw HostError("Backup " + std::to_string(backup.number) + " is damaged: " + why);
    };
    auto check = [&](const fs::path &folder, const BackupFile &f) {
        if (!isSafeRelative(f.path))
            damaged("it names the file \"" + f.path + "\"");
        std::error_code ec;
        auto size = fs::file_size(folder / f.path, ec);
        if (ec)
            damaged((folder / f.path).string() + ": " + ec.message());
        if (size != f.size)
            damaged((folder / f.path).string() + " has " + std::to_string(size) + " bytes instead of " +
                    std::to_string(f.size));
    };
    for (const auto &f : backup.handheld) {
        if (fs::path(f.path).has_parent_path())
            damaged("it names the handheld file \"" + f.path + "\"");
        check(backup.folder / "handheld", f);
    }
    for (const auto &c : backup.conduits) {
        try {
            conduitFolder({}, c.directory);
        } catch (const HostError &e) {
            damaged(e.what());
        }
        for (const auto &f : c.files)
            check(backup.folder / "conduits" / creatorFolderName(c.creator), f);
    }
}

RestoreReport BackupStore::restore(std::optional<std::int32_t> number, const BackupScope &scope, Clock::time_point when,
                                   bool intoOtherFolder)
{
    fileio::FileLock lock(folder() / ".lock");
    RestoreReport report;
    report.restored = find(number);
    verify(report.restored);
    if (!intoOtherFolder && !report.restored.handheldFolder.empty() &&
        !sameFolder(report.restored.handheldFolder, scope.handheldFolder))
        throw HostError("Backup " + std::to_string(report.restored.number) + " was taken of the handheld folder " +
                        report.restored.handheldFolder.string() + "; to put it into " + scope.handheldFolder.string() +
                        " instead, say so explicitly (--to)");

    BackupScope current = scope;
    for (const auto &c : report.restored.conduits) {
        bool covered = std::any_of(current.conduits.begin(), current.conduits.end(),
                                   [&](const auto &known) { return known.first == c.creator; });
        if (!covered)
            current.conduits.emplace_back(c.creator, c.directory);
    }
    const std::string n = std::to_string(report.restored.number);
    try {
        report.before = createLocked(current, when, "restore of backup " + n);
    } catch (const std::exception &e) {
        throw HostError("Cannot back up the current state before the restore, nothing was restored: " +
                        std::string(e.what()));
    }
    try {
        restoreLocked(report.restored, scope, report.removedFiles);
    } catch (const std::exception &e) {
        throw HostError("The restore of backup " + n + " stopped half-way: " + e.what() + "; backup " +
                        std::to_string(report.before.number) + " holds the state before the restore");
    }
    try {
        report.removed = pruneLocked();
    } catch (const std::exception &e) {
        report.warnings.push_back(e.what());
    }
    return report;
}

void BackupStore::restoreLocked(const Backup &backup, const BackupScope &scope, std::vector<fs::path> &removed) const
{
    // What a restore that was killed left behind goes first.
    removeRestoreLeftovers(scope.handheldFolder);
    for (const auto &c : backup.conduits) {
        const fs::path target = conduitFolder(scope.userDirectory, c.directory);
        if (fs::is_directory(target))
            removeRestoreLeftovers(target);
    }
    std::set<std::string> databases;
    for (const auto &f : backup.handheld) {
        replaceDurably(backup.folder / "handheld" / f.path, scope.handheldFolder / f.path, lockWait_);
        databases.insert(f.path);
    }
    std::vector<fs::path> extraDatabases;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(scope.handheldFolder, ec)) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && isHandheldDatabase(entry.path()) &&
            !databases.count(entry.path().filename().string()))
            extraDatabases.push_back(entry.path());
    }
    if (ec)
        throw HostError("Cannot read the handheld folder " + scope.handheldFolder.string() + ": " + ec.message());
    for (const auto &file : extraDatabases) {
        removeWithCompanions(file);
        removed.push_back(file);
    }
    fileio::syncFolder(scope.handheldFolder);

    for (const auto &c : backup.conduits) {
        const fs::path target = conduitFolder(scope.userDirectory, c.directory);
        const fs::path source = backup.folder / "conduits" / creatorFolderName(c.creator);
        createFolder(target);
        std::set<std::string> kept;
        for (const auto &f : c.files) {
            replaceDurably(source / f.path, target / f.path, lockWait_);
            kept.insert(f.path);
        }
        auto present = filesBelow(target, root_.path() / "userdata");
        std::vector<std::string> touched;
        for (const auto &file : present) {
            if (!kept.count(file)) {
                removeWithCompanions(target / file);
                removed.push_back(target / file);
                touched.push_back(file);
            }
        }
        syncFoldersOf(target, touched);
    }
}

} // namespace hotsync
