#include "palmsync/HandheldFolder.h"

#include "fileio/CrashPoint.h"
#include "fileio/DurableFile.h"
#include "fileio/FileError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <iterator>

namespace palmsync {

namespace fs = std::filesystem;

HandheldFolder::HandheldFolder(fs::path folder) : folder_(std::move(folder))
{
    std::error_code ec;
    if (!fs::is_directory(folder_, ec))
        throw PalmDatabaseError("The handheld folder " + folder_.string() + " does not exist");
}

void HandheldFolder::checkDatabaseName(const std::string &name)
{
    if (name.empty() || name.size() > PalmDatabase::kMaxNameLength || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw PalmDatabaseError("\"" + name + "\" is not a valid database name");
}

std::optional<fs::path> HandheldFolder::find(const std::string &name) const
{
    checkDatabaseName(name);
    std::error_code ec;
    for (const char *ext : {".pdb", ".prc"}) {
        fs::path p = folder_ / (name + ext);
        if (fs::is_regular_file(p, ec))
            return p;
    }
    return std::nullopt;
}

fs::path HandheldFolder::recordDatabasePath(const std::string &name) const
{
    checkDatabaseName(name);
    return folder_ / (name + ".pdb");
}

fs::path HandheldFolder::createRecordDatabase(const std::string &name, const std::string &creator,
                                              const std::string &type)
{
    if (find(name))
        throw PalmDatabaseError("Database " + name + " exists already on the handheld");
    fs::path file = recordDatabasePath(name);
    PalmDatabase::createRecordDatabase(name, type, creator, std::time(nullptr)).save(file);
    return file;
}

std::vector<HandheldFolder::DatabaseInfo> HandheldFolder::list() const
{
    std::vector<DatabaseInfo> result;
    for (const auto &entry : fs::directory_iterator(folder_)) {
        const fs::path &p = entry.path();
        if (!entry.is_regular_file() || (p.extension() != ".pdb" && p.extension() != ".prc"))
            continue;
        DatabaseInfo info;
        info.name = p.stem().string();
        info.file = p;
        try {
            PalmDatabase db = PalmDatabase::load(p);
            info.type = db.type();
            info.creator = db.creator();
            info.resource = db.isResourceDatabase();
        } catch (const PalmDatabaseError &e) {
            info.fault = e.what();
        }
        result.push_back(std::move(info));
    }
    std::sort(result.begin(), result.end(),
              [](const DatabaseInfo &a, const DatabaseInfo &b) { return a.file < b.file; });
    return result;
}

fs::path HandheldFolder::install(const fs::path &databaseFile)
{
    std::vector<std::uint8_t> bytes;
    try {
        bytes = fileio::readFile(databaseFile, PalmDatabase::kMaxFileSize);
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
    PalmDatabase db = PalmDatabase::parse(bytes, databaseFile.string());
    const std::string name = db.name();
    checkDatabaseName(name);
    const bool resource = db.isResourceDatabase();
    // A database exists once on a handheld: a file of the other kind would
    // have to go, and with it data the install was never meant to touch.
    const fs::path other = folder_ / (name + (resource ? ".pdb" : ".prc"));
    std::error_code ec;
    if (fs::exists(other, ec))
        throw PalmDatabaseError("Cannot install " + databaseFile.string() + ": the handheld holds a " +
                                (resource ? "record" : "resource") + " database named " + name + ", which a " +
                                (resource ? "resource" : "record") + " database cannot replace");
    fs::path target = folder_ / (name + (resource ? ".prc" : ".pdb"));
    try {
        fileio::writeFileAtomically(target, bytes);
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
    return target;
}

namespace {

constexpr const char *stagedTag = "staged";

// Tokens are made by fileio's temporary names; anything else (a path, "..")
// names no staged file of ours.
bool validToken(const std::string &token)
{
    return !token.empty() && token.size() <= 32 &&
           std::all_of(token.begin(), token.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

} // namespace

fs::path HandheldFolder::stagedPath(const std::string &name, const std::string &token) const
{
    if (!validToken(token))
        throw PalmDatabaseError("\"" + token + "\" does not name staged changes");
    return folder_ / ("." + recordDatabasePath(name).filename().string() + "." + stagedTag + "-" + token);
}

std::string HandheldFolder::stage(const std::string &name, const PalmDatabase &db)
{
    const fs::path target = recordDatabasePath(name);
    try {
        for (int attempt = 0;; ++attempt) {
            const fs::path staged = fileio::temporaryNameBeside(target, stagedTag);
            try {
                fileio::writeNewFile(staged, db.serialize(), target);
            } catch (const fileio::FileError &e) {
                if (e.code() == EEXIST && attempt < 8)
                    continue;
                throw;
            }
            const std::string file = staged.filename().string();
            std::string token = file.substr(file.rfind('-') + 1);
            try {
                // The new file's entry must survive a power loss before
                // anyone is told it exists.
                fileio::syncFolder(folder_);
            } catch (...) {
                std::error_code ec;
                fs::remove(staged, ec);
                throw;
            }
            fileio::crashPoint("handheld-staged");
            return token;
        }
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
}

void HandheldFolder::publish(const std::string &name, const std::string &token)
{
    const fs::path staged = stagedPath(name, token);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(staged, ec)))
        return;
    fileio::crashPoint("handheld-before-publish");
    try {
        fileio::renameDurably(staged, recordDatabasePath(name));
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
    fileio::crashPoint("handheld-after-publish");
}

void HandheldFolder::discard(const std::string &name, const std::string &token)
{
    std::error_code ec;
    fs::remove(stagedPath(name, token), ec);
    if (ec)
        throw PalmDatabaseError("Cannot remove " + stagedPath(name, token).string() + ": " + ec.message());
}

std::vector<std::string> HandheldFolder::staged(const std::string &name) const
{
    const std::string prefix = "." + recordDatabasePath(name).filename().string() + "." + stagedTag + "-";
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    for (const auto &entry : fs::directory_iterator(folder_)) {
        const std::string file = entry.path().filename().string();
        if (file.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string token = file.substr(prefix.size());
        if (!validToken(token))
            continue;
        std::error_code ec;
        found.emplace_back(fs::last_write_time(entry.path(), ec), std::move(token));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> tokens;
    for (auto &f : found)
        tokens.push_back(std::move(f.second));
    return tokens;
}

} // namespace palmsync
