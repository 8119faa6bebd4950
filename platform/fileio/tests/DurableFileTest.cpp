#include "SystemCallTrace.h"
#include "TempDir.h"
#include "fileio/DurableFile.h"
#include "fileio/FileError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using gvtest::Call;

std::size_t entries(const fs::path &folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t modeOf(const fs::path &file)
{
    struct stat st {};
    ::stat(file.c_str(), &st);
    return st.st_mode & 07777;
}

// The temporary file is flushed before it is renamed over the file, and the
// folder after: without either, a power loss could leave an empty or an
// old file where the caller was told the new one stands.
TEST(WriteFileAtomically, FlushesTheFileBeforeTheRenameAndTheFolderAfter)
{
    gvtest::TempDir dir;
    const fs::path file = dir / "store.txt";
    gvtest::SystemCallTrace trace;
    fileio::writeFileAtomically(file, std::string_view("first"));
    fileio::writeFileAtomically(file, std::string_view("second"));

    EXPECT_EQ(gvtest::readFileText(file), "second");
    EXPECT_EQ(trace.durabilityFaults(), std::vector<std::string>{});
    auto rename = trace.find(Call::Rename, "store.txt");
    ASSERT_TRUE(rename);
    const std::string temp = trace.calls()[*rename].path;
    auto flush = trace.find(Call::Fsync, temp);
    ASSERT_TRUE(flush);
    EXPECT_LT(*flush, *rename);
    auto folder = trace.find(Call::FsyncFolder, dir.path().filename().string(), *rename);
    EXPECT_TRUE(folder) << "the folder is not flushed after the rename";
}

// A step that fails leaves the old content whole and no temporary file.
TEST(WriteFileAtomically, AFailedStepKeepsTheOldContent)
{
    struct Case {
        const char *name;
        Call call;
        int err;
        bool replaced; // the failure comes after the rename
    };
    const Case cases[] = {
        {"disk full", Call::Write, ENOSPC, false},
        {"flush fails", Call::Fsync, EIO, false},
        {"rename fails", Call::Rename, EXDEV, false},
        {"folder flush fails", Call::FsyncFolder, EIO, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        gvtest::TempDir dir;
        const fs::path file = dir / "store.txt";
        gvtest::writeFileText(file, "old");
        gvtest::SystemCallTrace trace;
        trace.failAt(c.call, 1, c.err);
        try {
            fileio::writeFileAtomically(file, std::string_view("new"));
            ADD_FAILURE() << "no failure reported";
        } catch (const fileio::FileError &e) {
            EXPECT_EQ(e.code(), c.err);
            EXPECT_NE(std::string(e.what()).find(dir.path().string()), std::string::npos) << e.what();
        }
        EXPECT_EQ(gvtest::readFileText(file), c.replaced ? "new" : "old");
        EXPECT_EQ(entries(dir.path()), 1u);
    }
}

TEST(WriteFileAtomically, NewFilesFollowTheUmaskAndReplacementsKeepTheirMode)
{
    gvtest::TempDir dir;
    const mode_t saved = ::umask(027);
    fileio::writeFileAtomically(dir / "new.txt", std::string_view("x"));
    ::umask(saved);
    EXPECT_EQ(modeOf(dir / "new.txt"), 0640u);

    gvtest::writeFileText(dir / "private.txt", "secret");
    ::chmod((dir / "private.txt").c_str(), 0600);
    fileio::writeFileAtomically(dir / "private.txt", std::string_view("still secret"));
    EXPECT_EQ(modeOf(dir / "private.txt"), 0600u);
}

// What is not a regular file is refused before it is read: a FIFO would
// hang the read and a device would never end.
TEST(ReadFile, RefusesWhatIsNotARegularFileAndWhatIsTooLarge)
{
    gvtest::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    gvtest::writeFileText(dir / "big", std::string(100, 'x'));
    struct Case {
        fs::path file;
        const char *fault;
    };
    const Case cases[] = {
        {dir / "fifo", "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {dir.path(), "not a regular file"},
        {dir / "big", "larger than 99 bytes"},
        {dir / "missing", "No such file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.string());
        try {
            fileio::readFile(c.file, 99);
            ADD_FAILURE() << "read";
        } catch (const fileio::FileError &e) {
            EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(fileio::readFile(dir / "big", 100).size(), 100u);
    EXPECT_FALSE(fileio::readTextFileIfExists(dir / "missing", 10));
}

} // namespace
