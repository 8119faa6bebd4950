#include "updater/LaunchUtils.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "VirtualDisplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::optional<std::string> &value) : FName(name)
    {
        if (const char *old = std::getenv(name))
            FOld = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char *FName;
    std::optional<std::string> FOld;
};

void writeScript(const fs::path &file, const std::string &body)
{
    gvtest::writeFileText(file, "#!/bin/sh\n" + body);
    ::chmod(file.c_str(), 0755);
}

// Waits (bounded) until the file exists and has content.
std::string waitForText(const fs::path &file)
{
    for (int i = 0; i < 500; ++i) {
        std::error_code error;
        if (fs::exists(file, error) && fs::file_size(file, error) > 0)
            return gvtest::readFileText(file);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

class LaunchUtils : public ::testing::Test {
protected:
    gvtest::TempDir dir;
    ScopedEnv noDisplay{"DISPLAY", std::nullopt};
};

TEST_F(LaunchUtils, ADocumentGoesToTheDesktopsOpenActionAndCountsAsNotStarted)
{
    fs::create_directory(dir / "bin");
    writeScript(dir / "bin" / "xdg-open", "echo \"$1\" > '" + (dir / "opened.txt").string() + "'\n");
    const ScopedEnv path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
    gvtest::writeFileText(dir / "readme.txt", "not a program\n");

    updater::TProcessInformation info;
    info.processId = 99;
    EXPECT_FALSE(updater::StartProgram((dir / "readme.txt").string(), "", dir.str(), info));
    EXPECT_EQ(info.processId, 0u);
    EXPECT_EQ(waitForText(dir / "opened.txt"), (dir / "readme.txt").string() + "\n");
}

TEST_F(LaunchUtils, OpenFailsWithoutADesktopOpenAction)
{
    fs::create_directory(dir / "empty");
    const ScopedEnv path("PATH", (dir / "empty").string());
    EXPECT_FALSE(updater::ShellOpen((dir / "readme.txt").string(), "", ""));
}

TEST_F(LaunchUtils, AProgramStartsInItsWorkingDirectoryWithItsParametersAndOwnProcessGroup)
{
    fs::create_directory(dir / "work");
    writeScript(dir / "setup.sh", "echo \"$(pwd) $1|$2 $(cut -d' ' -f5 /proc/$$/stat)\" > started.txt\n");
    updater::TProcessInformation info;
    ASSERT_TRUE(
        updater::StartProgram((dir / "setup.sh").string(), "first \"second word\"", (dir / "work").string(), info));
    EXPECT_GT(info.processId, 0u);
    EXPECT_EQ(info.window, 0u); // no display: no window can be found
    if (info.processHandle >= 0)
        ::close(info.processHandle);
    const std::string expected =
        (dir / "work").string() + " first|second word " + std::to_string(info.processId) + "\n";
    EXPECT_EQ(waitForText(dir / "work" / "started.txt"), expected);
}

TEST_F(LaunchUtils, NoWindowIsFoundWithoutADisplay)
{
    EXPECT_EQ(updater::FindProcessWindow(static_cast<std::uint32_t>(::getpid()), 0), 0u);
}

class WindowSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (display.name().empty())
            GTEST_SKIP() << "no Xvfb (Debian package xvfb)";
        use.emplace("DISPLAY", display.name());
    }
    void TearDown() override
    {
        for (const auto pid : started)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    std::string maker() const { return (gvtest::binaryDir() / "gv_fennick_windowmaker").string(); }

    gvtest::VirtualDisplay display;
    std::optional<ScopedEnv> use;
    gvtest::TempDir dir;
    std::vector<std::uint32_t> started;
};

TEST_F(WindowSearch, StartProgramWaitsForTheNormalWindowOfItsProcess)
{
    updater::TProcessInformation info;
    ASSERT_TRUE(updater::StartProgram(maker(), "normal " + (dir / "mapped").string(), dir.str(), info));
    started.push_back(info.processId);
    if (info.processHandle >= 0)
        ::close(info.processHandle);
    EXPECT_NE(info.window, 0u);
    EXPECT_EQ(updater::FindProcessWindow(info.processId, info.threadId), info.window);
    EXPECT_EQ(updater::FindProcessWindow(info.processId + 100000, 0), 0u);
}

TEST_F(WindowSearch, TopLevelWindowsCarryTheirTitles)
{
    updater::TProcessInformation info;
    ASSERT_TRUE(updater::StartProgram(maker(), "normal " + (dir / "mapped").string() + " \"Gearvane:2\"", dir.str(),
                                      info));
    started.push_back(info.processId);
    if (info.processHandle >= 0)
        ::close(info.processHandle);
    bool seen = false;
    for (const auto &window : updater::TopLevelWindows())
        seen = seen || (window.processId == info.processId && window.title == "Gearvane:2");
    EXPECT_TRUE(seen);
}

TEST_F(WindowSearch, AUtilityWindowIsNoMainWindow)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string program = maker();
        const std::string marker = (dir / "mapped").string();
        ::execl(program.c_str(), program.c_str(), "utility", marker.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitForText(dir / "mapped"), "mapped\n");
    EXPECT_EQ(updater::FindProcessWindow(static_cast<std::uint32_t>(pid), 0), 0u);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace
