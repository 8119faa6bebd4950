#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace registry {

// Replaces `file` with `content` so that a crash at any moment leaves either
// the old or the new content: the text goes to a temporary file in the same
// folder, which is flushed to disk and renamed over `file`; the folder is
// flushed afterwards. Missing parent folders are created. Raises a
// RegistryError naming the file and the system's reason when a step fails;
// the old content is then untouched and the temporary file removed.
void writeFileAtomically(const std::filesystem::path &file, const std::string &content);

// The whole content of `file`, or nothing when it does not exist. Raises a
// RegistryError when it exists but cannot be read.
std::optional<std::string> readFileIfExists(const std::filesystem::path &file);

// The steps of writeFileAtomically, for tests that simulate a crash or a
// failing system call at one of them.
enum class WriteStep { CreateTemp, Write, Sync, Rename };

// Makes the given step of every later writeFileAtomically in this process
// fail as if the system had refused it; nothing clears the injection.
// With `leaveTemp` the temporary file stays behind, as after a crash.
void injectWriteFault(std::optional<WriteStep> step, bool leaveTemp = false);

} // namespace registry
