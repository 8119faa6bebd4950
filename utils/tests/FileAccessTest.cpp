#include "utils/FileAccess.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace gvutils;

namespace {

class FileAccess : public testing::Test {
protected:
    gvtest::TempDir dir;
    std::string path(const std::string &name) const { return (dir / name).string(); }
};

// Reads every line of a file with the given terminator.
std::vector<std::string> readAll(THandle handle, const std::string &terminator, bool &endedWithEof)
{
    std::vector<std::string> lines;
    for (;;) {
        std::string line;
        bool eof = false;
        readLine(handle, terminator, line, eof);
        if (eof) {
            endedWithEof = true;
            lines.push_back(line);
            return lines;
        }
        lines.push_back(line);
    }
}

TEST_F(FileAccess, WriteLineCutsAtTwoHundredFiftyFiveBytes)
{
    const struct {
        std::size_t length;
        std::string ending;
    } cases[] = {{10, "\r\n"}, {253, "\r\n"}, {254, "\r"}, {255, ""}, {300, ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        const std::string file = path("line" + std::to_string(c.length));
        const THandle handle = openFile(file, GENERIC_WRITE, CREATE_ALWAYS, 0);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        writeLine(handle, std::string(c.length, 'x'));
        closeFile(handle);
        const std::string written = gvtest::readFileText(file);
        EXPECT_EQ(written, std::string(std::min<std::size_t>(c.length, 255), 'x') + c.ending);
        EXPECT_LE(written.size(), 255u);
    }
}

TEST_F(FileAccess, ReadLineFindsTerminatorsAcrossBlocks)
{
    // Line lengths around the 199-byte block put the terminator before, on
    // and across the block boundary.
    for (const std::string terminator : {"\n", "\r\n", "|;"}) {
        for (std::size_t length : {0u, 1u, 196u, 197u, 198u, 199u, 200u, 397u, 398u, 1000u}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, terminator of " + std::to_string(terminator.size()));
            const std::string first(length, 'a');
            const std::string second = "second";
            const std::string file = path("read");
            gvtest::writeFileText(file, first + terminator + second + terminator + "tail");
            const THandle handle = openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
            ASSERT_NE(handle, INVALID_HANDLE_VALUE);
            bool endedWithEof = false;
            const auto lines = readAll(handle, terminator, endedWithEof);
            closeFile(handle);
            EXPECT_TRUE(endedWithEof);
            EXPECT_EQ(lines, (std::vector<std::string>{first, second, "tail"}));
        }
    }
}

TEST_F(FileAccess, ReadLineLeavesThePositionBehindTheTerminator)
{
    const std::string file = path("pos");
    gvtest::writeFileText(file, "ab\r\ncd\r\n");
    const THandle handle = openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    std::string line;
    bool eof = true;
    readLine(handle, "\r\n", line, eof);
    EXPECT_EQ(line, "ab");
    EXPECT_FALSE(eof);
    EXPECT_EQ(::lseek(handle, 0, SEEK_CUR), 4);
    readLine(handle, "\r\n", line, eof);
    EXPECT_EQ(line, "cd");
    EXPECT_FALSE(eof);
    // The file ends right after a terminator: the next read finds no data.
    readLine(handle, "\r\n", line, eof);
    EXPECT_EQ(line, "");
    EXPECT_TRUE(eof);
    closeFile(handle);

    readLine(INVALID_HANDLE_VALUE, "\n", line, eof);
    EXPECT_TRUE(eof);
}

TEST_F(FileAccess, ShareModesExcludeConflictingOpens)
{
    const std::string file = path("shared");
    gvtest::writeFileText(file, "content");
    const THandle writer = openFile(file, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // Another writer, or a reader that denies writing, is refused; a reader
    // that lets others write gets in.
    EXPECT_EQ(openFile(file, GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
    const THandle reader = openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    closeFile(reader);
    // A refused CREATE_ALWAYS must not have emptied the held file.
    EXPECT_EQ(openFile(file, GENERIC_WRITE, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(gvtest::readFileText(file), "content");
    closeFile(writer);

    const THandle readerA = openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    const THandle readerB = openFile(file, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    EXPECT_NE(readerA, INVALID_HANDLE_VALUE);
    EXPECT_NE(readerB, INVALID_HANDLE_VALUE);
    closeFile(readerA);
    closeFile(readerB);
}

TEST_F(FileAccess, AppendLinesAddsToTheEnd)
{
    const std::string file = path("log.txt");
    EXPECT_TRUE(appendLines(file, {"one"}));
    EXPECT_TRUE(appendLines(file, {"two", "three"}));
    EXPECT_EQ(gvtest::readFileText(file), "one\r\ntwo\r\nthree\r\n");
    EXPECT_FALSE(appendLines(path("missing/log.txt"), {"x"}));

    // A file another writer holds cannot be appended to.
    const THandle holder = openFile(file, GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(appendLines(file, {"four"}));
    closeFile(holder);
}

TEST_F(FileAccess, DeleteFilesSparesHiddenFilesAndFolders)
{
    for (const char *name : {"a.tmp", "b.tmp", "c.txt", ".hidden.tmp", "noext"})
        gvtest::writeFileText(dir / name, "x");
    std::filesystem::create_directory(dir / "sub.tmp");

    deleteFiles(path("*.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "b.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "c.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / ".hidden.tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub.tmp"));

    deleteFiles(path("*.*"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "noext"));
    EXPECT_TRUE(std::filesystem::exists(dir / ".hidden.tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub.tmp"));
}

TEST_F(FileAccess, TempFilesAreNewAndUnique)
{
    const std::string first = tempFileName(dir.str());
    const std::string second = tempFileName(dir.str() + "/");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    for (const auto &name : {first, second}) {
        const std::filesystem::path p(name);
        EXPECT_EQ(p.parent_path(), dir.path());
        EXPECT_EQ(p.filename().string().front(), '~');
        EXPECT_TRUE(std::filesystem::is_regular_file(p));
    }
    EXPECT_EQ(tempFileName(path("missing")), "");
    EXPECT_EQ(tempFileName(""), "");
}

} // namespace
