#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Raw file access of the utility class: handles, opening with an access
// mode, a creation disposition and a share mode, and line-oriented reading
// and writing with carriage return + line feed line ends.
namespace gvutils {

// A file handle is an open file descriptor.
using THandle = int;
inline constexpr THandle INVALID_HANDLE_VALUE = -1;

// Access.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
// Creation disposition.
inline constexpr std::uint32_t CREATE_NEW = 1;
inline constexpr std::uint32_t CREATE_ALWAYS = 2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t OPEN_ALWAYS = 4;
inline constexpr std::uint32_t TRUNCATE_EXISTING = 5;
// Share mode: what other opens of the same file may do.
inline constexpr std::uint32_t FILE_SHARE_READ = 1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 2;

// Opens or creates the file. A share mode without FILE_SHARE_WRITE takes an
// advisory lock on the open file (exclusive when it writes, shared when it
// only reads), so a conflicting open in any process fails as it would with
// a sharing violation; opens that share writing take no lock. Returns
// INVALID_HANDLE_VALUE on any failure.
THandle openFile(const std::string &fileName, std::uint32_t access, std::uint32_t creation, std::uint32_t shareMode);
// Closes a valid handle; false for the invalid handle or a failing close.
bool closeFile(THandle handle);

// One write; the bytes written, 0 on failure.
std::uint32_t writeBuffer(THandle handle, const void *buffer, std::uint32_t count);
// Writes text + CR LF, cut to 255 bytes in total (a long text loses its line end).
void writeLine(THandle handle, const std::string &text);
// Reads from the current position to the terminator (one or two characters;
// an empty terminator reads to the end of the file). The line comes back
// without the terminator and the position is left just behind it. `eof` is
// set when a read returned no data; `line` then holds what was read so far.
void readLine(THandle handle, const std::string &terminator, std::string &line, bool &eof);
// Appends every line with writeLine to the file (created when missing, others
// may read meanwhile); false when it cannot be opened.
bool appendLines(const std::string &fileName, const std::vector<std::string> &lines);
// Deletes every file that matches the wildcard pattern in the last path part
// ("*", "?", "[...]"; "*.*" matches every name). Hidden files (names that
// begin with "."), folders and special files (devices, pipes, sockets) stay,
// and so does a file that another process holds open with a lock (the flag
// file of a running critical process): returns the full names of the files
// that matched but were left, held or not deletable.
std::vector<std::string> deleteFiles(const std::string &pattern);

// The user's temporary folder with a trailing "/": $TMPDIR when set, else "/tmp/".
std::string tempDirectory();
// Creates a new, empty file with a unique name "~XXXXXX.tmp" in the folder;
// its full name, or empty on failure.
std::string tempFileName(const std::string &directory);

} // namespace gvutils
