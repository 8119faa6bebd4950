#include "utils/Utils.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLocale>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// The flag-file helper program as a second process, driven line by line.
class HolderProcess {
public:
    explicit HolderProcess(const std::string &flagFile)
    {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        const std::string program = (gvtest::binaryDir() / "gv_utils_flagholder").string();
        std::vector<char *> argv{const_cast<char *>(program.c_str()), const_cast<char *>(flagFile.c_str()), nullptr};
        const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        if (rc != 0)
            throw std::runtime_error("cannot start " + program);
        in_ = ::fdopen(toChild[1], "w");
        out_ = ::fdopen(fromChild[0], "r");
    }
    ~HolderProcess()
    {
        std::fclose(in_);
        std::fclose(out_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    HolderProcess(const HolderProcess &) = delete;
    HolderProcess &operator=(const HolderProcess &) = delete;

    std::string ask(const std::string &command)
    {
        std::fputs((command + "\n").c_str(), in_);
        std::fflush(in_);
        if (command == "exit") {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            return {};
        }
        char line[64] = {};
        if (std::fgets(line, sizeof line, out_) == nullptr)
            return "(no answer)";
        std::string answer = line;
        while (!answer.empty() && answer.back() == '\n')
            answer.pop_back();
        return answer;
    }

private:
    pid_t pid_ = -1;
    FILE *in_ = nullptr;
    FILE *out_ = nullptr;
};

class FlagUtils : public TclsUtils {
public:
    explicit FlagUtils(std::string path) : path_(std::move(path))
    {
        setSoundHook([this](unsigned int beep) { sounds.push_back(beep); });
        setAnswerHook([this](const TMessageBoxRequest &request) {
            shown.push_back(request.text);
            return QMessageBox::Ok;
        });
    }
    std::string FlagFilePath() override { return path_; }

    std::vector<unsigned int> sounds;
    std::vector<std::string> shown;

private:
    std::string path_;
};

const std::string refusal = "Another application is currently performing a critical process\r"
                            "and cannot be interrupted.\r\r"
                            "This application will not start until the other process finishes.";

class FlagFile : public testing::Test {
protected:
    gvtest::TempDir dir;
    std::string flag = (dir / "INUSE.FLG").string();
    FlagUtils utils{flag};
};

TEST_F(FlagFile, CanStartWithoutAFlagFile)
{
    EXPECT_TRUE(utils.CanStart());
    EXPECT_TRUE(utils.shown.empty());
}

TEST_F(FlagFile, AStaleFlagFileIsDeleted)
{
    {
        HolderProcess holder(flag);
        ASSERT_EQ(holder.ask("create"), "held");
        holder.ask("exit");
    }
    ASSERT_TRUE(std::filesystem::exists(flag));
    EXPECT_TRUE(utils.CanStart());
    EXPECT_FALSE(std::filesystem::exists(flag));
    EXPECT_TRUE(utils.shown.empty());
}

TEST_F(FlagFile, DeleteFilesLeavesAFlagFileThatAnotherProcessHoldsAndNamesIt)
{
    HolderProcess holder(flag);
    ASSERT_EQ(holder.ask("create"), "held");
    gvtest::writeFileText(dir / "old.tmp", "x");
    EXPECT_EQ(utils.DeleteFiles((dir / "*.*").string()), std::vector<std::string>{flag});
    EXPECT_TRUE(std::filesystem::exists(flag));
    EXPECT_FALSE(std::filesystem::exists(dir / "old.tmp"));

    // Once the holder is gone without releasing it, the file is stale and goes.
    holder.ask("exit");
    EXPECT_TRUE(utils.DeleteFiles((dir / "*.*").string()).empty());
    EXPECT_FALSE(std::filesystem::exists(flag));
}

TEST_F(FlagFile, AHeldFlagFileStopsTheStartUntilReleased)
{
    HolderProcess holder(flag);
    ASSERT_EQ(holder.ask("create"), "held");
    EXPECT_FALSE(utils.CanStart());
    EXPECT_EQ(utils.shown, std::vector<std::string>{refusal});
    EXPECT_EQ(utils.sounds, std::vector<unsigned int>{64});
    EXPECT_TRUE(std::filesystem::exists(flag));

    // Nor can this process take the flag over meanwhile.
    EXPECT_EQ(utils.CreateFlagFile(flag), gvutils::INVALID_HANDLE_VALUE);
    ASSERT_EQ(utils.shown.size(), 2u);
    EXPECT_EQ(utils.shown[1], "Unable to create \"flag\" file: " + flag +
                                  "\r\rThis file name is derived from the \"COMPUTERNAME\" environment variable."
                                  "\r\rLack of proper access to the above drive/path could also cause this problem."
                                  "\rIf this is the case, other problems with the application may be encountered."
                                  "\r\rPlease report this error to your administrator!");
    EXPECT_EQ(utils.sounds.back(), 16u);

    ASSERT_EQ(holder.ask("release"), "released");
    EXPECT_FALSE(std::filesystem::exists(flag));
    EXPECT_TRUE(utils.CanStart());
}

TEST_F(FlagFile, WritingKeepsTheFlagHeld)
{
    HolderProcess holder(flag);
    ASSERT_EQ(holder.ask("create"), "held");
    ASSERT_EQ(holder.ask("write"), "written");
    EXPECT_FALSE(utils.CanStart());
    ASSERT_EQ(holder.ask("write"), "written");
    EXPECT_FALSE(utils.CanStart());

    // Others can still read it.
    const std::string content = gvtest::readFileText(flag);
    EXPECT_THAT(content, testing::MatchesRegex("holder\r\nstation\r\ncritical\r\n[^\r\n]+ [^\r\n]+\r\n"));
    EXPECT_EQ(holder.ask("release"), "released");
}

TEST_F(FlagFile, ThisProcessHoldsAndRewritesTheFlag)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    utils.setClock([] { return QDateTime(QDate(2031, 3, 4), QTime(17, 5, 9)); });

    gvutils::THandle handle = utils.CreateFlagFile(flag);
    ASSERT_NE(handle, gvutils::INVALID_HANDLE_VALUE);
    utils.WriteFlagFile(flag, handle, std::string(100, 'L'), "second", "third");
    ASSERT_NE(handle, gvutils::INVALID_HANDLE_VALUE);
    utils.WriteFlagFile(flag, handle, "a", "b", "c");
    ASSERT_NE(handle, gvutils::INVALID_HANDLE_VALUE);
    // The shorter content cuts the file behind its last line.
    EXPECT_EQ(gvtest::readFileText(flag), "a\r\nb\r\nc\r\n3/4/31 5:05:09 PM\r\n");

    HolderProcess other(flag);
    EXPECT_EQ(other.ask("canstart"), "no");
    EXPECT_EQ(other.ask("create"), "failed");
    EXPECT_TRUE(utils.ReleaseFlagFile(handle));
    EXPECT_FALSE(std::filesystem::exists(flag));
    EXPECT_EQ(other.ask("canstart"), "yes");
    QLocale::setDefault(saved);
}

TEST_F(FlagFile, AHandleThatLostItsFileIsReplaced)
{
    // A handle whose file was deleted behind its back no longer guards
    // anything: writing takes a fresh, held flag file.
    gvutils::THandle handle = utils.OpenFile(flag, gvutils::GENERIC_READ | gvutils::GENERIC_WRITE, gvutils::OPEN_ALWAYS,
                                             gvutils::FILE_SHARE_READ | gvutils::FILE_SHARE_WRITE);
    ASSERT_NE(handle, gvutils::INVALID_HANDLE_VALUE);
    std::filesystem::remove(flag);
    utils.WriteFlagFile(flag, handle, "x", "y", "z");
    ASSERT_NE(handle, gvutils::INVALID_HANDLE_VALUE);
    ASSERT_TRUE(std::filesystem::exists(flag));
    HolderProcess other(flag);
    EXPECT_EQ(other.ask("canstart"), "no");
    EXPECT_TRUE(utils.ReleaseFlagFile(handle));
}

} // namespace
