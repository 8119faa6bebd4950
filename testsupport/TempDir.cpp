#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace gvtest {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "gvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<unsigned char> readFileBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::filesystem::path &file, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string readFileText(const std::filesystem::path &file)
{
    auto bytes = readFileBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

void writeFileText(const std::filesystem::path &file, const std::string &text)
{
    writeFileBytes(file, std::vector<unsigned char>(text.begin(), text.end()));
}

} // namespace gvtest
