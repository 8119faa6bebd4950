#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace gvtest {

// A fresh folder under the system's temporary directory, removed with its
// content when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<unsigned char> readFileBytes(const std::filesystem::path &file);
void writeFileBytes(const std::filesystem::path &file, const std::vector<unsigned char> &bytes);
std::string readFileText(const std::filesystem::path &file);
void writeFileText(const std::filesystem::path &file, const std::string &text);

} // namespace gvtest
