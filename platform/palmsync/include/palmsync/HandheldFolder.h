#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include "palmsync/PalmDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace palmsync {

// A handheld represented by a folder: one Palm database file per database,
// named after the database with ".pdb" (record databases) or ".prc"
// (resource databases).
class HandheldFolder {
public:
    struct DatabaseInfo {
        std::string name; // the file's name without extension
        std::string type;
        std::string creator;
        bool resource = false;
        std::filesystem::path file;
        std::string fault; // non-empty when the file is not a readable database
    };

    // The folder must exist.
    explicit HandheldFolder(std::filesystem::path folder);

    const std::filesystem::path &folder() const { return folder_; }

    // Raises when the name cannot be a database name or a file name in the
    // folder (empty, longer than 31 bytes, a path separator, "." or "..").
    static void checkDatabaseName(const std::string &name);

    // The file of an existing database (.pdb first, then .prc); empty when
    // there is none.
    std::optional<std::filesystem::path> find(const std::string &name) const;
    // Where the record database of that name is or would be stored.
    std::filesystem::path recordDatabasePath(const std::string &name) const;

    // Creates an empty record database; raises when one of that name exists.
    std::filesystem::path createRecordDatabase(const std::string &name, const std::string &creator,
                                               const std::string &type);
    // Every .pdb and .prc file of the folder, sorted by name. A damaged file
    // is listed with its fault instead of its header values.
    std::vector<DatabaseInfo> list() const;

    // Copies a database file into the folder under its database name
    // (replacing one of that name), as a queued install does; returns the
    // new file. Raises when the file is not a regular file holding a valid
    // database, and when a database of that name but of the other kind
    // (record or resource) is there: one kind never replaces the other.
    std::filesystem::path install(const std::filesystem::path &databaseFile);

    // Staged changes of a record database: a whole new file written beside
    // the database and flushed, waiting to be renamed over it.
    //
    // Writes `db` as staged changes of the database of that name and returns
    // their token.
    std::string stage(const std::string &name, const PalmDatabase &db);
    // Renames the staged file of that token over the database, durably;
    // nothing when it is gone (published before). Raises when the rename
    // fails.
    void publish(const std::string &name, const std::string &token);
    // Removes the staged file of that token (nothing when it is gone).
    void discard(const std::string &name, const std::string &token);
    // Tokens of the staged files of that database.
    std::vector<std::string> staged(const std::string &name) const;

private:
    std::filesystem::path stagedPath(const std::string &name, const std::string &token) const;

    std::filesystem::path folder_;
};

} // namespace palmsync

#pragma GCC visibility pop
