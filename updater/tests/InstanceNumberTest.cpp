// NextInstanceNumber across processes: other instances' windows on a real
// X11 display, each opened by a process of its own.
#include "TempDir.h"
#include "TestPaths.h"
#include "VirtualDisplay.h"
#include "utils/Utils.h"

#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class InstanceNumber : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (display.name().empty())
            GTEST_SKIP() << "no Xvfb (Debian package xvfb)";
        if (const char *old = std::getenv("DISPLAY"))
            savedDisplay = old;
        ::setenv("DISPLAY", display.name().c_str(), 1);
    }
    void TearDown() override
    {
        for (const pid_t pid : windows) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (savedDisplay.empty())
            ::unsetenv("DISPLAY");
        else
            ::setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    // Another process with a normal top-level window of that title.
    void openWindow(const std::string &title)
    {
        const std::string marker = (dir / ("mapped" + std::to_string(windows.size()))).string();
        const std::string program = (gvtest::binaryDir() / "gv_fennick_windowmaker").string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(program.c_str(), program.c_str(), "normal", marker.c_str(), title.c_str(),
                    static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(pid, 0);
        windows.push_back(pid);
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(marker); }, 10000));
    }

    gvtest::VirtualDisplay display;
    gvtest::TempDir dir;
    std::string savedDisplay;
    std::vector<pid_t> windows;
};

TEST_F(InstanceNumber, CountsTheWindowsOfOtherRunningInstances)
{
    TclsUtils utils;
    EXPECT_EQ(utils.NextInstanceNumber("TfrmMain", "Gearvane"), 1);
    openWindow("Gearvane");
    EXPECT_EQ(utils.NextInstanceNumber("TfrmMain", "Gearvane"), 2);
    openWindow("Gearvane:2");
    EXPECT_EQ(utils.NextInstanceNumber("TfrmMain", "Gearvane"), 3);
    EXPECT_EQ(utils.NextInstanceNumber("TfrmMain", "Selbow"), 1);
}

} // namespace
