#include "utils/VersionInfo.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace gvutils;

namespace {

std::filesystem::path versionedProgram()
{
    return gvtest::binaryDir() / "gv_utils_versioned";
}

TEST(VersionInfo, ReadsTheEmbeddedNote)
{
    const auto note = readVersionNote(versionedProgram().string());
    ASSERT_TRUE(note.has_value());
    EXPECT_EQ(versionText(note->fileVersion), "2.5.0.17");
    EXPECT_EQ(versionText(note->productVersion), "1.0.3.0");
    const std::vector<std::pair<std::string, std::string>> strings{
        {"FileDescription", "Conduit for Gearvane"}, {"CompanyName", "Brenholt"}, {"ProductName", "Gearvane"}};
    EXPECT_EQ(note->strings, strings);
}

TEST(VersionInfo, NothingForFilesWithoutANote)
{
    gvtest::TempDir dir;
    gvtest::writeFileText(dir / "text", "just some text, not a program\n");
    gvtest::writeFileText(dir / "empty", "");
    gvtest::writeFileText(dir / "magic", "\x7f"
                                         "ELF");
    // This test program carries no note of its own.
    for (const auto &file : {std::filesystem::path("/proc/self/exe"), dir / "text", dir / "empty", dir / "magic",
                             dir / "missing", dir.path()})
        EXPECT_FALSE(readVersionNote(file.string()).has_value()) << file;
}

TEST(VersionInfo, TruncatedProgramsAreRejected)
{
    const auto bytes = gvtest::readFileBytes(versionedProgram());
    ASSERT_GT(bytes.size(), 64u);
    gvtest::TempDir dir;
    const auto cut = dir / "cut";
    for (std::size_t size = 0; size < bytes.size(); size += 1 + size / 8) {
        gvtest::writeFileBytes(cut, std::vector<unsigned char>(bytes.begin(), bytes.begin() + size));
        EXPECT_FALSE(readVersionNote(cut.string()).has_value()) << size;
    }
}

TEST(VersionInfo, DamagedHeadersAreRejectedSafely)
{
    const auto bytes = gvtest::readFileBytes(versionedProgram());
    ASSERT_GT(bytes.size(), 64u);
    ASSERT_EQ(bytes[4], 2) << "a 64-bit program is expected";
    gvtest::TempDir dir;
    const auto damaged = dir / "damaged";
    auto withField = [&](std::size_t offset, std::size_t width, std::uint64_t value) {
        auto copy = bytes;
        std::memcpy(copy.data() + offset, &value, width); // little endian
        gvtest::writeFileBytes(damaged, copy);
        return readVersionNote(damaged.string());
    };
    // Section headers beyond the end, a huge section count, a string table
    // index out of range, an entry size too small, another file class.
    EXPECT_FALSE(withField(0x28, 8, ~0ull >> 1).has_value());
    EXPECT_FALSE(withField(0x28, 8, bytes.size() - 10).has_value());
    EXPECT_FALSE(withField(0x3C, 2, 0xfffe).has_value());
    EXPECT_FALSE(withField(0x3E, 2, 0xfff0).has_value());
    EXPECT_FALSE(withField(0x3A, 2, 8).has_value());
    EXPECT_FALSE(withField(4, 1, 3).has_value());

    // Every single byte of the section header table overwritten in turn must
    // never read out of bounds; the result may or may not survive.
    std::uint64_t shoff = 0;
    std::memcpy(&shoff, bytes.data() + 0x28, 8);
    for (std::size_t at = shoff; at < bytes.size(); at += 7) {
        auto copy = bytes;
        copy[at] = 0xff;
        gvtest::writeFileBytes(damaged, copy);
        (void)readVersionNote(damaged.string());
    }
}

} // namespace
