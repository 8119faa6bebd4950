#include "TempDir.h"
#include "TestPaths.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"
#include "palmcontrols/ConfigurationStamp.h"
#include "palmsync/PalmDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path &p)
{
    std::string q = "'";
    for (char c : p.string()) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Runs a command line with the host root in the environment; the exit status.
int run(const fs::path &root, const std::string &command, const fs::path &output)
{
    const std::string line = "HOTSYNC_ROOT=" + quoted(root) + " QT_QPA_PLATFORM=offscreen timeout 120 " + command +
                             " >" + quoted(output) + " 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(SelbowProgram, RegistersTheConduitAndQueuesTheApplicationForTheOnlyUser)
{
    gvtest::TempDir dir;
    const hotsync::HostRoot root(dir.path() / "host");
    const auto user = hotsync::UserStore(root).add("Alice");
    const fs::path prc = gvtest::binaryDir() / "Gearvane.prc";
    ASSERT_TRUE(fs::exists(prc)) << "the build writes Gearvane.prc beside Selbow";

    ASSERT_EQ(run(root.path(), quoted(gvtest::binaryDir() / "Selbow"), dir / "selbow.out"), 0)
        << gvtest::readFileText(dir / "selbow.out");

    const auto reg = hotsync::ConduitStore(root).find(hotsync::CreatorId::fromText("KLXC"));
    ASSERT_TRUE(reg);
    EXPECT_TRUE(reg->isComConduit());
    EXPECT_EQ(reg->creatorValue("COMClient"), "Tarnlink.KLXGVClientNotify");
    EXPECT_EQ(reg->remoteDb, "MainDB-KLXC");
    EXPECT_EQ(hotsync::InstallQueue(root).list(user.id), std::vector<fs::path>{fs::canonical(prc)});
    ASSERT_TRUE(palmcontrols::ConfigurationStamp::read(root));

    const fs::path hotsyncProgram = gvtest::binaryDir() / "hotsync";
    if (!fs::exists(hotsyncProgram))
        GTEST_SKIP() << "the hotsync program is not built";
    const fs::path handheld = dir / "handheld";
    fs::create_directories(handheld);
    // The conduit itself need not run here: only the queued install counts.
    run(root.path(),
        quoted(hotsyncProgram) + " sync --user-id " + std::to_string(user.id) + " --handheld " + quoted(handheld),
        dir / "sync.out");
    const auto installed = palmsync::PalmDatabase::load(handheld / "Gearvane.prc");
    EXPECT_EQ(installed.name(), "Gearvane");
    EXPECT_EQ(installed.type(), "appl");
    EXPECT_EQ(installed.creator(), "KLXC");
    EXPECT_TRUE(installed.isResourceDatabase());
    EXPECT_TRUE(hotsync::InstallQueue(root).list(user.id).empty()) << gvtest::readFileText(dir / "sync.out");
}

// Without a display nobody could answer the picker: with two users Selbow
// says so on standard error and fails instead of waiting on a window; with
// one user it needs no window and queues the file.
TEST(SelbowProgram, WithoutADisplaySaysSoInsteadOfShowingThePicker)
{
    for (int users : {2, 1}) {
        gvtest::TempDir dir;
        const hotsync::HostRoot root(dir.path() / "host");
        hotsync::UserStore store(root);
        for (int i = 0; i < users; ++i)
            store.add("User " + std::to_string(i));
        const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOTSYNC_ROOT=" +
                                 quoted(root.path()) + " timeout 60 " + quoted(gvtest::binaryDir() / "Selbow") +
                                 " >" + quoted(dir / "selbow.out") + " 2>&1";
        const int status = std::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << users;
        const std::string said = gvtest::readFileText(dir / "selbow.out");
        if (users == 2) {
            EXPECT_EQ(WEXITSTATUS(status), 1) << said;
            EXPECT_NE(said.find("needs a display"), std::string::npos) << said;
            EXPECT_TRUE(hotsync::InstallQueue(root).list(store.list().front().id).empty());
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 0) << said;
            EXPECT_EQ(hotsync::InstallQueue(root).list(store.list().front().id).size(), 1u);
        }
    }
}
