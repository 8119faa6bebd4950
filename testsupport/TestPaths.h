#pragma once

#include <filesystem>

namespace gvtest {

// Folder of the built programs and libraries (the build's bin folder).
std::filesystem::path binaryDir();
// Root of the source tree, for fixture files kept beside the tests.
std::filesystem::path sourceDir();

} // namespace gvtest
