// "hotsync listen --once" with the virtual handheld over Net Sync: who may
// HotSync, what the device gets (the conduit's writes, its log, the sync
// information) and what the host keeps; and Ctrl+C during a HotSync.
#include "hotsync/BackupStore.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"
#include "palmlink/TcpStream.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/PalmDatabase.h"

#include "ProgramRunner.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gmock/gmock.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

using namespace hotsync;
using namespace hotsynctest;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class ListenProgramTest : public testing::Test {
protected:
    ListenProgramTest()
    {
        fs::create_directories(device);
        fs::create_directories(scratch);
        palmsync::HandheldFolder(device).createRecordDatabase("FakeDB-TEST", "TEST", "DATA");
        library = dir / "Fake Conduit.so";
        fs::copy_file(gvtest::binaryDir() / "FakeConduit.so", library);
        EXPECT_EQ(hotsync({"register", library.string()}).status, 0);
        EXPECT_EQ(hotsync({"conduit", "add", "--creator", "TEST", "--conduit", "ComConduit.dll", "--com-client",
                           "GvTest.FakeClientNotify", "--directory", "fake dir", "--title", "Fake"})
                      .status,
                  0);
    }

    RunResult hotsync(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--root", root.string()});
        return runProgram(scratch, args);
    }

    // Starts "hotsync listen" on a free loopback port; returns its port.
    std::uint16_t startListener(std::vector<std::string> extra)
    {
        std::vector<std::string> args{(gvtest::binaryDir() / "hotsync").string(),
                                      "--root",
                                      root.string(),
                                      "listen",
                                      "--net",
                                      "--address",
                                      "127.0.0.1",
                                      "--port",
                                      "0",
                                      "--timeout",
                                      "5"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        EXPECT_EQ(posix_spawn(&listener, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200; ++i) {
            const std::string text = fs::exists(output) ? gvtest::readFileText(output) : std::string();
            const auto at = text.find(" port ");
            if (at != std::string::npos && text.find('\n', at) != std::string::npos)
                return static_cast<std::uint16_t>(std::stoi(text.substr(at + 6)));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "the listener did not start";
        return 0;
    }

    int waitForListener()
    {
        int status = 0;
        waitpid(listener, &status, 0);
        listener = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    ~ListenProgramTest() override
    {
        if (listener > 0) {
            kill(listener, SIGKILL);
            waitForListener();
        }
    }

    std::vector<std::string> deviceRecords() const
    {
        std::vector<std::string> texts;
        for (const auto &r : palmsync::PalmDatabase::load(device / "FakeDB-TEST.pdb").records)
            texts.emplace_back(r.data.begin(), r.data.end());
        return texts;
    }

    gvtest::TempDir dir;
    fs::path root = dir / "host root";
    fs::path device = dir / "device";
    fs::path scratch = dir / "scratch";
    fs::path output = dir / "listen.out";
    fs::path library;
    pid_t listener = -1;
};

TEST_F(ListenProgramTest, TheHandheldsUserPicksWhoMayHotSync)
{
    const struct {
        const char *name;
        const char *transport;
        bool userExists;
        bool createUser;
        int status;
        const char *says;
    } cases[] = {
        {"a known user", "--net", true, false, 0, "HotSync of Anna completed"},
        {"a known user over Serial Sync on TCP", "--serial-net", true, false, 0, "HotSync of Anna completed"},
        {"an unknown user is refused", "--net", false, false, 1,
         "HotSync refused: the handheld's user \"Anna\" is no HotSync user here"},
        {"an unknown user is created on request", "--net", false, true, 0, "Created the HotSync user Anna"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root / "users.list");
        fs::remove_all(device);
        fs::create_directories(device);
        palmsync::HandheldFolder(device).createRecordDatabase("FakeDB-TEST", "TEST", "DATA");
        auto app = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 0);
        app.resources.push_back({"code", 1, {0x4E, 0x75}});
        app.save(dir / "Gearvane.prc");
        if (c.userExists) {
            ASSERT_EQ(hotsync({"users", "add", "Anna"}).status, 0);
            ASSERT_EQ(hotsync({"install", "--user", "Anna", (dir / "Gearvane.prc").string()}).status, 0);
        }
        std::vector<std::string> extra{"--once", "--trace", (dir / "session.json").string()};
        if (c.createUser)
            extra.push_back("--create-user");
        const auto port = startListener(extra);
        auto handheld =
            runBuiltProgram("virtual-handheld", scratch,
                            {device.string(), "--net", "127.0.0.1:" + std::to_string(port), "--user", "Anna"});
        EXPECT_EQ(handheld.status, 0) << describe(handheld);
        EXPECT_EQ(waitForListener(), c.status);
        const std::string out = gvtest::readFileText(output);
        EXPECT_THAT(out, HasSubstr(c.says)) << out;
        // The session's bytes were recorded, and decode and encode back.
        auto trace = hotsync({"trace", (dir / "session.json").string(), "--check"});
        EXPECT_EQ(trace.status, 0) << describe(trace);
        const std::string deviceLog = gvtest::readFileText(device / ".virtual-handheld-log");
        const std::string user = gvtest::readFileText(device / ".virtual-handheld-user");
        if (c.status != 0) {
            EXPECT_TRUE(deviceRecords().empty());
            EXPECT_THAT(deviceLog, HasSubstr("HotSync refused"));
            continue;
        }
        // The conduit wrote to the device and logged there; the device got
        // the host's id and the sync date; the backup kept its database.
        EXPECT_THAT(deviceRecords(), testing::ElementsAre("Anna|0"));
        if (c.userExists) {
            EXPECT_THAT(out, HasSubstr("Installed Gearvane.prc as Gearvane on the handheld"));
            EXPECT_EQ(palmsync::PalmDatabase::load(device / "Gearvane.prc").resources, app.resources);
        }
        EXPECT_THAT(deviceLog, HasSubstr("OK Fake type=0 user=Anna"));
        EXPECT_THAT(deviceLog, HasSubstr("HotSync completed"));
        EXPECT_THAT(user, testing::Not(HasSubstr("lastSyncPc=0\n")));
        EXPECT_THAT(user, testing::Not(HasSubstr("lastSync=0\n")));
        const auto anna = UserStore(HostRoot(root)).requireByName("Anna");
        auto backups = BackupStore(HostRoot(root), anna.id).list();
        ASSERT_FALSE(backups.empty());
        EXPECT_EQ(backups.back().handheld.size(), 1u);
    }
}

// Ctrl+C while a handheld is connected ends that HotSync as a broken link
// does, and the listener with it.
TEST_F(ListenProgramTest, CtrlCDuringAHotSyncEndsItAsABrokenLink)
{
    const auto port = startListener({});
    auto silent = palmlink::TcpStream::connect("127.0.0.1", port, std::chrono::milliseconds(2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(listener, SIGINT);
    EXPECT_EQ(waitForListener(), 0);
    const std::string out = gvtest::readFileText(output);
    EXPECT_THAT(out, HasSubstr("the HotSync was interrupted on the desktop")) << out;
    EXPECT_THAT(out, HasSubstr("Stopped listening")) << out;
}

} // namespace
