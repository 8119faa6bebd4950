#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

// Durable file steps. Each writes through the system-call table, flushes
// what it wrote before it reports success, and names the file and the
// system's reason when it fails (FileError). New files are created with the
// process's umask applied; a file that replaces another keeps that file's
// permissions.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fileio {

// Writes `bytes` into `file`, which must not exist yet, and flushes it to
// disk. The new file takes the permissions of `modeFrom` when that exists,
// else the default under the umask. A failure removes the partial file.
// The folder's entry is not flushed: see syncFolder.
void writeNewFile(const std::filesystem::path &file, std::span<const std::uint8_t> bytes,
                  const std::filesystem::path &modeFrom = {});

// Renames `from` over `to` and flushes the folder(s) holding them, so the
// rename survives a power loss once this returns.
void renameDurably(const std::filesystem::path &from, const std::filesystem::path &to);

// Removes a file (nothing when it is missing) and flushes its folder.
void removeDurably(const std::filesystem::path &file);

// Flushes a folder's entries to disk. File systems that cannot flush a
// folder (EINVAL, EROFS) are taken as done.
void syncFolder(const std::filesystem::path &folder);

// Flushes a file's content to disk.
void syncFile(const std::filesystem::path &file);

// Replaces `file` so that a crash or a power loss at any moment leaves its
// old or its new content whole: a temporary file beside it is written and
// flushed, renamed over it, and the folder flushed. On failure the old file
// is untouched and the temporary file removed. Missing parent folders are
// created when `createFolders` is set.
void writeFileAtomically(const std::filesystem::path &file, std::span<const std::uint8_t> bytes,
                         bool createFolders = false);
void writeFileAtomically(const std::filesystem::path &file, std::string_view text, bool createFolders = false);

// A fresh name beside `file` for a temporary copy: ".<name>.<tag>-<random>".
std::filesystem::path temporaryNameBeside(const std::filesystem::path &file, const std::string &tag);

// The whole content of a regular file. Refuses what is not a regular file
// (a device, a FIFO, a folder) and a file larger than maxBytes, before
// reading it.
std::vector<std::uint8_t> readFile(const std::filesystem::path &file, std::uintmax_t maxBytes);
std::string readTextFile(const std::filesystem::path &file, std::uintmax_t maxBytes);
// As readTextFile, or nothing when the file does not exist.
std::optional<std::string> readTextFileIfExists(const std::filesystem::path &file, std::uintmax_t maxBytes);

} // namespace fileio

#pragma GCC visibility pop
