#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hotsync {

using Record = std::vector<std::string>;

// A store file of the host: a header line (tag and version 1) followed by
// one record per line in the escaped field format. A missing file reads as
// no records. Writes replace the file atomically; callers hold the host's
// lock around read-modify-write sequences.
class RecordFile {
public:
    RecordFile(std::filesystem::path file, std::string tag);

    // Raises a HostError naming the file and line when it is malformed.
    std::vector<Record> read() const;
    void write(const std::vector<Record> &records) const;

    const std::filesystem::path &path() const { return file_; }
    // A HostError naming this file and the 1-based line of record `index`.
    [[noreturn]] void malformed(std::size_t index, const std::string &fault) const;

private:
    std::filesystem::path file_;
    std::string tag_;
};

} // namespace hotsync
