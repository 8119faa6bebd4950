#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Reads the version note that GV_VERSION_INFO (utils/VersionNote.h) embeds
// in a program or shared library.
namespace gvutils {

struct VersionNote {
    std::array<std::uint16_t, 4> fileVersion{};
    std::array<std::uint16_t, 4> productVersion{};
    std::vector<std::pair<std::string, std::string>> strings; // key, value in stored order
};

// The note of an ELF file (32 or 64 bit, either byte order); nothing for any
// other file, a file without the note, or a damaged one. Every offset and
// size read from the file is checked against the file before use.
std::optional<VersionNote> readVersionNote(const std::string &fileName);

// major.minor.release.build
std::string versionText(const std::array<std::uint16_t, 4> &parts);

} // namespace gvutils
