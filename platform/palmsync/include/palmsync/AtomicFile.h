#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace palmsync {

// Replaces `file` with `bytes` so that a crash or a failure never leaves a
// half-written file: the bytes go to a temporary file in the same folder,
// which is flushed to disk and renamed over the old one, and the folder is
// flushed too. On failure the old file is untouched and the temporary file
// is removed. Raises std::runtime_error naming the file and the cause.
void writeFileAtomically(const std::filesystem::path &file, std::span<const std::uint8_t> bytes);

} // namespace palmsync
