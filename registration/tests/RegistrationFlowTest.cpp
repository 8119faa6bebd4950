#include "GetUsersForm.h"
#include "PalmInstallUtils.h"
#include "SelbowFixture.h"
#include "SelbowProgram.h"

#include "hotsync/ConduitStore.h"
#include "hotsync/InstallQueue.h"
#include "palmcontrols/ConfigurationStamp.h"
#include "palmcontrols/ControlFactory.h"
#include "palmcontrols/TConduitData.h"
#include "palmcontrols/TConduitManager.h"
#include "palmcontrols/TUserData.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <memory>

using namespace palmcontrols;
namespace fs = std::filesystem;

namespace {

const std::string program = "/opt/gearvane/bin/Selbow";
const fs::path application = "/opt/gearvane/bin/Gearvane.prc";
const hotsync::CreatorId klxc = hotsync::CreatorId::fromText("KLXC");

// A conduit manager whose InstallConduit returns a chosen result.
struct ScriptedManager : TConduitManager {
    ScriptedManager(const hotsync::HostRoot &root, std::int32_t result) : TConduitManager(root), result(result) {}
    std::int32_t InstallConduit(std::int32_t creator, bool flag) override
    {
        const std::int32_t real = TConduitManager::InstallConduit(creator, flag);
        return result == 0 ? real : result;
    }
    std::int32_t result;
};

// A conduit data control that counts AssignCreator calls and can fail them.
struct ScriptedData : TConduitData {
    ScriptedData(const hotsync::HostRoot &root, int &calls, std::int32_t result)
        : TConduitData(root), calls(calls), result(result)
    {
    }
    std::int32_t AssignCreator(std::int32_t creator) override
    {
        ++calls;
        return result == 0 ? TConduitData::AssignCreator(creator) : result;
    }
    int &calls;
    std::int32_t result;
};

class RegistrationFlow : public SelbowTest {
protected:
    void script(std::int32_t installResult, std::int32_t assignResult)
    {
        setControlMaker(TConduitManager::classId, [installResult](const hotsync::HostRoot &root) {
            return std::make_unique<ScriptedManager>(root, installResult);
        });
        setControlMaker(TConduitData::classId, [this, assignResult](const hotsync::HostRoot &root) {
            return std::make_unique<ScriptedData>(root, assignCalls, assignResult);
        });
    }

    std::optional<hotsync::ConduitRegistration> registration() const
    {
        return hotsync::ConduitStore(root()).find(klxc);
    }
    std::int64_t notifications() const
    {
        auto stamp = ConfigurationStamp::read(root());
        return stamp ? stamp->serial : 0;
    }
    std::vector<fs::path> queued(std::int32_t userId) const { return hotsync::InstallQueue(root()).list(userId); }

    int assignCalls = 0;
};

} // namespace

TEST_F(RegistrationFlow, RegistersTheConduitWithItsFixedValuesWhenThereIsNoUser)
{
    EXPECT_EQ(RunSelbow(utils, program), 0);
    EXPECT_TRUE(errors.empty());
    const auto c = registration();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->conduitName, "ComConduit.dll");
    EXPECT_EQ(c->priority, 2);
    EXPECT_EQ(c->remoteDb, "MainDB-KLXC");
    EXPECT_EQ(c->directory, "gearvane");
    EXPECT_EQ(c->fileName, "MainDB-KLXC.PDB");
    EXPECT_EQ(c->title, "Gearvane");
    EXPECT_EQ(c->creatorValue("COMClient", ""), "Tarnlink.KLXGVClientNotify");
    EXPECT_EQ(c->creatorValues.size(), 1u);
    EXPECT_EQ(notifications(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(RegistrationFlow, QueuesTheApplicationForTheOnlyUserWithoutAsking)
{
    const auto user = addUser("Alice");
    EXPECT_EQ(RunSelbow(utils, program), 0);
    EXPECT_EQ(queued(user.id), std::vector<fs::path>{application});
    EXPECT_TRUE(errors.empty());
}

TEST_F(RegistrationFlow, AConduitRegisteredAlreadyKeepsItsSettingsButIsStillNotifiedAndQueued)
{
    const auto user = addUser("Alice");
    hotsync::ConduitStore store(root());
    ASSERT_EQ(store.install(klxc), 0);
    store.update(klxc, [](auto &c) {
        c.title = "Set by hand";
        c.priority = 5;
    });
    script(0, 0);

    EXPECT_EQ(RunSelbow(utils, program), 0);
    EXPECT_EQ(registration()->title, "Set by hand");
    EXPECT_EQ(registration()->priority, 5);
    EXPECT_FALSE(registration()->creatorValue("COMClient"));
    EXPECT_EQ(assignCalls, 0);
    EXPECT_EQ(notifications(), 1);
    EXPECT_EQ(queued(user.id), std::vector<fs::path>{application});
}

TEST_F(RegistrationFlow, FailuresAreShownAndStopTheRun)
{
    struct Case {
        const char *name;
        std::int32_t install, assign;
        const char *message;
        int assignCalls;
    } cases[] = {
        {"install -1", -1, 0, "InstallConduit Failed with Error -1", 0},
        {"install -1001", -1001, 0, "InstallConduit Failed with Error -1001", 0},
        {"install -1006", -1006, 0, "InstallConduit Failed with Error -1006", 0},
        {"assign -1001", 0, -1001, "AssignCreator Failed with Error -1001", 1},
        {"assign -1", 0, -1, "AssignCreator Failed with Error -1", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        gvtest::TempDir caseDir;
        ::setenv("HOTSYNC_ROOT", (caseDir.path() / "host").c_str(), 1);
        hotsync::HostRoot caseRoot(caseDir.path() / "host");
        const auto user = hotsync::UserStore(caseRoot).add("Alice");
        errors.clear();
        assignCalls = 0;
        script(c.install, c.assign);

        EXPECT_NE(RunSelbow(utils, program), 0);
        EXPECT_EQ(errors, std::vector<std::string>{c.message});
        EXPECT_EQ(assignCalls, c.assignCalls);
        EXPECT_FALSE(ConfigurationStamp::read(caseRoot));
        EXPECT_TRUE(hotsync::InstallQueue(caseRoot).list(user.id).empty());
        if (const auto reg = hotsync::ConduitStore(caseRoot).find(klxc)) {
            EXPECT_EQ(reg->conduitName, "");
        }
    }
}

TEST_F(RegistrationFlow, AControlThatCannotBeCreatedEndsTheRunWithThePlatformsError)
{
    gvtest::writeFileText(dir / "file", "");
    ::setenv("HOTSYNC_ROOT", (dir / "file" / "host").c_str(), 1);
    EXPECT_NE(RunSelbow(utils, program), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Class not registered", 0), 0u) << errors[0];
}

TEST_F(RegistrationFlow, CancellingThePickerQueuesNothingButLeavesTheConduitRegistered)
{
    const auto alice = addUser("Alice");
    const auto bob = addUser("bob");
    whenModal([](QWidget *dialog) {
        auto *form = qobject_cast<TfrmGetUsers *>(dialog);
        ASSERT_NE(form, nullptr);
        QTest::mouseClick(form->findChild<QPushButton *>("btnCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(RunSelbow(utils, program), 0);
    EXPECT_TRUE(registration());
    EXPECT_EQ(notifications(), 1);
    EXPECT_TRUE(queued(alice.id).empty());
    EXPECT_TRUE(queued(bob.id).empty());
}

TEST_F(RegistrationFlow, OnlyTheMarkedUsersAreQueuedAndUsersOfTheSameNameEachCount)
{
    const auto first = addUser("Sam");
    const auto other = addUser("alice");
    const auto second = addUser("Sam");
    whenModal([](QWidget *dialog) {
        auto *grid = dialog->findChild<QTableWidget *>("grdUsers");
        // Rows: alice, Sam, Sam; mark both Sams in the check column.
        for (int row : {1, 2})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualRect(grid->model()->index(row, 0)).center());
        QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    EXPECT_EQ(RunSelbow(utils, program), 0);
    EXPECT_EQ(queued(first.id), std::vector<fs::path>{application});
    EXPECT_EQ(queued(second.id), std::vector<fs::path>{application});
    EXPECT_TRUE(queued(other.id).empty());
}

TEST_F(RegistrationFlow, AFileThatCannotBeQueuedIsReportedNotPassedOver)
{
    const auto alice = addUser("Alice");
    addUser("bob");
    struct FullQueue : TUserData {
        using TUserData::TUserData;
        std::int32_t QueueInstall(const std::string &fileName) override
        {
            return Username() == "bob" ? palmcontrols::userdata::queueFailed : TUserData::QueueInstall(fileName);
        }
    };
    setControlMaker(TUserData::classId,
                    [](const hotsync::HostRoot &root) { return std::make_unique<FullQueue>(root); });
    whenModal([](QWidget *dialog) {
        auto *grid = dialog->findChild<QTableWidget *>("grdUsers");
        for (int row : {0, 1})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualRect(grid->model()->index(row, 0)).center());
        QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    EXPECT_NE(RunSelbow(utils, program), 0);
    setControlMaker(TUserData::classId, {});
    EXPECT_EQ(errors, std::vector<std::string>{"QueueInstall Failed with Error -3 for user bob"});
    EXPECT_EQ(queued(alice.id), std::vector<fs::path>{application});
    EXPECT_TRUE(registration());
}

TEST_F(RegistrationFlow, OneUsersFailureDoesNotSkipTheUsersAfterIt)
{
    const auto alice = addUser("Alice");
    const auto bob = addUser("bob");
    const auto carol = addUser("Carol");
    // Alice cannot be selected and bob's queue cannot be written; Carol,
    // sorted after both, still gets the file.
    struct FailingUsers : TUserData {
        using TUserData::TUserData;
        std::int32_t SelectUser(std::int32_t userId) override
        {
            const std::int32_t r = TUserData::SelectUser(userId);
            return Username() == "Alice" ? -7 : r;
        }
        std::int32_t QueueInstall(const std::string &fileName) override
        {
            return Username() == "bob" ? palmcontrols::userdata::queueFailed : TUserData::QueueInstall(fileName);
        }
    };
    setControlMaker(TUserData::classId,
                    [](const hotsync::HostRoot &root) { return std::make_unique<FailingUsers>(root); });
    whenModal([](QWidget *dialog) {
        auto *grid = dialog->findChild<QTableWidget *>("grdUsers");
        for (int row : {0, 1, 2})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualRect(grid->model()->index(row, 0)).center());
        QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    EXPECT_NE(RunSelbow(utils, program), 0);
    setControlMaker(TUserData::classId, {});
    EXPECT_EQ(errors, std::vector<std::string>{"SelectUser Failed with Error -7 for user Alice\r"
                                               "QueueInstall Failed with Error -3 for user bob"});
    EXPECT_TRUE(queued(alice.id).empty());
    EXPECT_TRUE(queued(bob.id).empty());
    EXPECT_EQ(queued(carol.id), std::vector<fs::path>{application});
}

TEST(ApplicationFile, LiesBesideTheProgramWithOneSeparator)
{
    TclsUtils utils;
    EXPECT_EQ(ApplicationFileName(utils, "/Selbow"), "/Gearvane.prc");
    EXPECT_EQ(ApplicationFileName(utils, "/opt/gv/bin/Selbow"), "/opt/gv/bin/Gearvane.prc");
    EXPECT_EQ(ApplicationFileName(utils, "Selbow"), "./Gearvane.prc");
}
