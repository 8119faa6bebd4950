#include "palmcontrols/ConfigurationStamp.h"
#include "palmcontrols/ControlFactory.h"
#include "palmcontrols/TConduitData.h"
#include "palmcontrols/TConduitManager.h"
#include "palmcontrols/THotSyncApi.h"
#include "palmcontrols/TUserData.h"
#include "palmcontrols/TUserManager.h"

#include "TempDir.h"
#include "com/ComError.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace palmcontrols;
namespace fs = std::filesystem;

namespace {

// Points HOTSYNC_ROOT at a fresh folder for the test's controls.
class PalmControls : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("HOTSYNC_ROOT", rootPath().c_str(), 1); }
    void TearDown() override { ::unsetenv("HOTSYNC_ROOT"); }

    fs::path rootPath() const { return dir.path() / "host"; }
    hotsync::HostRoot root() const { return hotsync::HostRoot(rootPath()); }

    gvtest::TempDir dir;
};

const std::int32_t klxc = static_cast<std::int32_t>(hotsync::CreatorId::fromText("KLXC").number());

} // namespace

TEST_F(PalmControls, CreatingAControlCreatesAMissingHostRoot)
{
    ASSERT_FALSE(fs::exists(rootPath()));
    auto users = createControl<TUserManager>();
    EXPECT_TRUE(fs::is_directory(rootPath()));
    EXPECT_EQ(users->hostRoot().path(), fs::absolute(rootPath()));
    EXPECT_EQ(users->UserCount(), 0);
}

TEST_F(PalmControls, ControlsCannotBeCreatedWithoutAHostRoot)
{
    gvtest::writeFileText(dir / "file", "not a folder");
    ::setenv("HOTSYNC_ROOT", (dir / "file" / "host").c_str(), 1);
    try {
        createControl<TConduitManager>();
        FAIL() << "created a control without a host root";
    } catch (const com::ComError &e) {
        EXPECT_EQ(e.code(), com::REGDB_E_CLASSNOTREG);
        EXPECT_NE(std::string(e.what()).find("Class not registered"), std::string::npos) << e.what();
    }
}

TEST_F(PalmControls, UnknownClassIdsAreNotRegistered)
{
    try {
        createControl(com::guid("{00000000-0000-0000-0000-000000000001}"));
        FAIL() << "made a control of an unknown class";
    } catch (const com::ComError &e) {
        EXPECT_EQ(e.code(), com::REGDB_E_CLASSNOTREG);
    }
}

TEST_F(PalmControls, AReplacedMakerIsUsedUntilRestored)
{
    struct FailingManager : TConduitManager {
        using TConduitManager::TConduitManager;
        std::int32_t InstallConduit(std::int32_t, bool) override { return -1001; }
    };
    auto previous = setControlMaker(
        TConduitManager::classId, [](const hotsync::HostRoot &root) { return std::make_unique<FailingManager>(root); });
    EXPECT_FALSE(previous);
    EXPECT_EQ(createControl<TConduitManager>()->InstallConduit(klxc, true), -1001);
    setControlMaker(TConduitManager::classId, {});
    EXPECT_EQ(createControl<TConduitManager>()->InstallConduit(klxc, true), 0);
}

TEST_F(PalmControls, CreatorTextsConvertToTheirNumberOrRaise)
{
    auto manager = createControl<TConduitManager>();
    EXPECT_EQ(manager->CreatorFromText("KLXC"), 0x4B4C5843);
    for (const char *bad : {"", "KLX", "KLXCX", "KL\tC"})
        EXPECT_THROW(manager->CreatorFromText(bad), com::ComError) << bad;
}

TEST_F(PalmControls, InstallConduitRegistersOnceAndLeavesAKnownCreatorAlone)
{
    auto manager = createControl<TConduitManager>();
    ASSERT_EQ(manager->InstallConduit(klxc, true), 0);
    hotsync::ConduitStore store(root());
    store.update(hotsync::CreatorId::fromText("KLXC"), [](auto &c) { c.title = "Kept"; });

    EXPECT_EQ(manager->InstallConduit(klxc, true), condmgr::creatorInUse);
    EXPECT_EQ(store.find(hotsync::CreatorId::fromText("KLXC"))->title, "Kept");
    EXPECT_EQ(manager->InstallConduit(0x01020304, true), condmgr::invalidCreatorId);
    EXPECT_EQ(store.list().size(), 1u);
}

TEST_F(PalmControls, InstallConduitReportsAnUnreadableStore)
{
    auto manager = createControl<TConduitManager>();
    gvtest::writeFileText(root().conduitsFile(), "garbage\n");
    EXPECT_EQ(manager->InstallConduit(klxc, true), condmgr::storeAccess);
}

TEST_F(PalmControls, AssignCreatorNeedsARegisteredCreator)
{
    auto data = createControl<TConduitData>();
    EXPECT_EQ(data->AssignCreator(klxc), condmgr::noConduit);
    EXPECT_THROW(data->Set_Title("Gearvane"), com::ComError);
    EXPECT_EQ(data->AssignCreator(0x7F000000), condmgr::invalidCreatorId);
    EXPECT_FALSE(fs::exists(root().conduitsFile()));
}

TEST_F(PalmControls, PropertyWritesAreStoredAtOnce)
{
    ASSERT_EQ(createControl<TConduitManager>()->InstallConduit(klxc, true), 0);
    auto data = createControl<TConduitData>();
    ASSERT_EQ(data->AssignCreator(klxc), 0);
    hotsync::ConduitStore store(root());
    auto stored = [&] { return *store.find(hotsync::CreatorId::fromText("KLXC")); };

    data->Set_ConduitName("ComConduit.dll");
    EXPECT_EQ(stored().conduitName, "ComConduit.dll");
    data->Set_Priority(4);
    EXPECT_EQ(stored().priority, 4);
    data->Set_RemoteDb("MainDB-KLXC");
    data->Set_Directory("gearvane");
    data->Set_fileName("MainDB-KLXC.PDB");
    data->Set_Title("Gearvane");
    data->Set_CreatorValue("COMClient", "", "First.Notify");
    data->Set_CreatorValue("comclient", "", "Tarnlink.KLXGVClientNotify");
    data->Set_CreatorValue("COMClient", "other", "Second");

    const auto c = stored();
    EXPECT_EQ(c.remoteDb, "MainDB-KLXC");
    EXPECT_EQ(c.directory, "gearvane");
    EXPECT_EQ(c.fileName, "MainDB-KLXC.PDB");
    EXPECT_EQ(c.title, "Gearvane");
    EXPECT_EQ(c.creatorValue("COMClient"), "Tarnlink.KLXGVClientNotify");
    EXPECT_EQ(c.creatorValue("COMClient", "other"), "Second");
    EXPECT_EQ(c.creatorValues.size(), 2u);
    EXPECT_TRUE(c.isComConduit());
}

TEST_F(PalmControls, UsersAreListedInTheOrderTheyWereAdded)
{
    hotsync::UserStore store(root());
    const auto bob = store.add("bob");
    store.add("Alice");
    store.remove(bob.id);
    const auto carol = store.add("Carol", dir / "carol-data");

    auto manager = createControl<TUserManager>();
    ASSERT_EQ(manager->UserCount(), 2);
    EXPECT_EQ(manager->UserIdAt(1), carol.id);
    EXPECT_THROW(manager->UserIdAt(2), std::exception);
    EXPECT_THROW(manager->UserIdAt(-1), std::exception);

    auto data = createControl<TUserData>();
    EXPECT_EQ(data->SelectUser(carol.id), 0);
    EXPECT_EQ(data->Username(), "Carol");
    EXPECT_EQ(data->Directory(), (dir / "carol-data").string());
    EXPECT_EQ(data->SelectUser(bob.id), userdata::unknownUser);
    EXPECT_EQ(data->Username(), "");
    EXPECT_EQ(data->Directory(), "");
}

TEST_F(PalmControls, QueueInstallQueuesForTheSelectedUserOnly)
{
    hotsync::UserStore store(root());
    const auto first = store.add("Same");
    const auto second = store.add("Same");
    auto data = createControl<TUserData>();
    EXPECT_EQ(data->QueueInstall("/apps/Gearvane.prc"), userdata::noUserSelected);

    ASSERT_EQ(data->SelectUser(second.id), 0);
    EXPECT_EQ(data->QueueInstall("/apps/Gearvane.prc"), 0);
    hotsync::InstallQueue queue(root());
    EXPECT_TRUE(queue.list(first.id).empty());
    EXPECT_EQ(queue.list(second.id), std::vector<fs::path>{"/apps/Gearvane.prc"});

    store.remove(second.id);
    EXPECT_EQ(data->QueueInstall("/apps/Other.prc"), userdata::queueFailed);
}

TEST_F(PalmControls, HotSyncNotifyAdvancesTheConfigurationStamp)
{
    auto api = createControl<THotSyncApi>();
    EXPECT_FALSE(ConfigurationStamp::read(root()));
    EXPECT_EQ(api->HotSyncNotify(0), 0);
    EXPECT_EQ(api->HotSyncNotify(7), 0);
    const auto stamp = ConfigurationStamp::read(root());
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->serial, 2);
    EXPECT_EQ(stamp->argument, 7);

    gvtest::writeFileText(ConfigurationStamp::file(root()), "GVNOTIFY 1\nchanged\tx\t0\n");
    EXPECT_EQ(api->HotSyncNotify(0), -1);
}
