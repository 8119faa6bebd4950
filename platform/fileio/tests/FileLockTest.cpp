#include "TempDir.h"
#include "fileio/FileLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Holds the lock in a child until it is killed; returns its pid once the
// lock is taken.
pid_t holdInChild(const std::filesystem::path &file)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        fileio::FileLock lock(file);
        lock.describe("HotSync of Pat by process " + std::to_string(::getpid()));
        (void)!::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    char c;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return pid;
}

TEST(FileLock, WaitsABoundedTimeNamesTheHolderAndIsFreedWhenTheHolderDies)
{
    gvtest::TempDir dir;
    const auto file = dir / "sync.lock";
    pid_t holder = holdInChild(file);
    ASSERT_GT(holder, 0);

    std::string who;
    EXPECT_FALSE(fileio::FileLock::tryFor(file, 50ms, &who));
    EXPECT_EQ(who, "HotSync of Pat by process " + std::to_string(holder));

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    auto lock = fileio::FileLock::tryFor(file, 5s, &who);
    EXPECT_TRUE(lock);
}

} // namespace
