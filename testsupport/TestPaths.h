#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace gvtest {

// Folder of the built programs and libraries (the build's bin folder).
std::filesystem::path binaryDir();
// Root of the source tree, for fixture files kept beside the tests.
std::filesystem::path sourceDir();
// Every file of the seed corpora and saved crashers of a fuzzer: the folders
// whose name starts with "corpus" or "crashers" in `fuzzFolder` (relative to
// the source tree), sorted.
std::vector<std::filesystem::path> fuzzInputs(const std::string &fuzzFolder);

} // namespace gvtest
