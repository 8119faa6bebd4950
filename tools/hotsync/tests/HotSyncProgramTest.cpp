#include "fileio/FileLock.h"
#include "hotsync/ActionStore.h"
#include "hotsync/HostRoot.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/PalmDatabase.h"
#include "registry/Registry.h"

#include "ProgramRunner.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace hotsync;
using namespace hotsynctest;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

namespace {

class HotSyncProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root);
        fs::create_directories(handheld);
        fs::create_directories(scratch);
    }

    RunResult hotsync(std::vector<std::string> args, const std::vector<std::string> &env = {})
    {
        args.insert(args.begin(), {"--root", root.string()});
        return runProgram(scratch, args, env);
    }

    // Registers the fake conduit from a folder whose path holds blanks, and
    // adds it for creator TEST with the conduit folder "fake dir".
    void setUpConduit()
    {
        fs::path libraryFolder = dir / "my conduits";
        fs::create_directories(libraryFolder);
        library = libraryFolder / "Fake Conduit.so";
        fs::copy_file(gvtest::binaryDir() / "FakeConduit.so", library);
        auto r = hotsync({"register", library.string()});
        ASSERT_EQ(r.status, 0) << describe(r);
        r = hotsync({"conduit", "add", "--creator", "TEST", "--conduit", "ComConduit.dll", "--com-client",
                     "GvTest.FakeClientNotify", "--directory", "fake dir", "--title", "Fake", "--priority", "1"});
        ASSERT_EQ(r.status, 0) << describe(r);
    }

    std::int32_t addUser(const std::string &name)
    {
        auto r = hotsync({"users", "add", name});
        EXPECT_EQ(r.status, 0) << describe(r);
        return std::stoi(r.out);
    }

    void createHandheldDatabase()
    {
        palmsync::HandheldFolder(handheld).createRecordDatabase("FakeDB-TEST", "TEST", "DATA");
    }

    std::vector<std::string> handheldRecords()
    {
        std::vector<std::string> texts;
        for (const auto &r : palmsync::PalmDatabase::load(handheld / "FakeDB-TEST.pdb").records)
            texts.emplace_back(r.data.begin(), r.data.end());
        return texts;
    }

    gvtest::TempDir dir;
    fs::path root = dir / "host root";
    fs::path handheld = dir / "handheld";
    fs::path scratch = dir / "scratch";
    fs::path library;
};

struct UsageCase {
    const char *name;
    std::vector<std::string> args;
    const char *message;
};

void PrintTo(const UsageCase &c, std::ostream *os)
{
    *os << c.name;
}

class UsageErrorTest : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWithStatus2AndSaysWhy)
{
    gvtest::TempDir dir;
    auto args = GetParam().args;
    args.insert(args.begin(), {"--root", dir.str()});
    auto r = runProgram(dir.path(), args);
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_THAT(r.err, HasSubstr(GetParam().message)) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("Usage: hotsync"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrorTest,
    testing::Values(
        UsageCase{"NoCommand", {}, "no command given"},
        UsageCase{"UnknownCommand", {"frobnicate"}, "unknown command \"frobnicate\""},
        UsageCase{"UnknownOption", {"users", "list", "--colour", "red"}, "unknown option --colour"},
        UsageCase{"MissingValue", {"sync", "--user"}, "option --user needs a value"},
        UsageCase{"MissingCreator",
                  {"conduit", "add", "--conduit", "X.dll", "--com-client", "A.B"},
                  "option --creator is required"},
        UsageCase{"BadCreator", {"conduit", "remove", "--creator", "TOOLONG"}, "Invalid creator ID"},
        UsageCase{"BadPriority",
                  {"conduit", "add", "--creator", "KLXC", "--conduit", "X", "--com-client", "P", "--priority", "high"},
                  "--priority must be a whole number"},
        UsageCase{
            "BadAction", {"sync", "--user", "A", "--handheld", "/x", "--action", "merge"}, "unknown action \"merge\""},
        UsageCase{"UsersAddWithoutName", {"users", "add"}, "users add takes one NAME"},
        UsageCase{"TwoUserSelectors", {"sync", "--user", "A", "--user-id", "1", "--handheld", "/x"}, "not both"},
        UsageCase{"OptionTwice", {"sync", "--user", "A", "--user=B", "--handheld", "/x"}, "option --user given twice"},
        UsageCase{"FlagWithValue", {"trace", "x.net.json", "--check=yes"}, "option --check takes no value"},
        UsageCase{"GroupWithoutCommand", {"queue", "--user", "A"}, "queue needs list, remove or clear"},
        UsageCase{"CsvOfEveryTable", {"export", "--user", "A", "--format", "csv"}, "give --table"}),
    [](const testing::TestParamInfo<UsageCase> &info) { return std::string(info.param.name); });

// Every command of the overview has its help, the same through "help
// COMMAND" and "COMMAND --help", with its options and an example.
TEST(HotSyncHelpTest, TheOverviewNamesTheRootAndEveryCommandHasHelp)
{
    gvtest::TempDir dir;
    const std::string root = (dir / "my root").string();
    auto r = runProgram(dir.path(), {"--help"}, {"HOTSYNC_ROOT=" + root});
    ASSERT_EQ(r.status, 0) << describe(r);
    std::string flat = r.out;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    EXPECT_THAT(flat, HasSubstr("$HOTSYNC_ROOT, else $XDG_DATA_HOME/hotsync, else ~/.local/share/hotsync"));
    EXPECT_THAT(flat, HasSubstr("Here it is " + root + " (from $HOTSYNC_ROOT), which does not exist yet."));

    std::vector<std::string> commands;
    bool inList = false;
    for (const auto &line : lines(r.out)) {
        if (line == "Commands:")
            inList = true;
        else if (line.empty())
            inList = false;
        else if (inList)
            commands.push_back(line.substr(2, line.find("  ", 2) - 2));
    }
    EXPECT_GE(commands.size(), 20u);
    for (const auto &command : commands) {
        SCOPED_TRACE(command);
        std::vector<std::string> words;
        std::istringstream in(command);
        for (std::string w; in >> w;)
            words.push_back(w);
        std::vector<std::string> helpArgs{"help"};
        helpArgs.insert(helpArgs.end(), words.begin(), words.end());
        auto help = runProgram(dir.path(), helpArgs);
        words.push_back("--help");
        auto dashHelp = runProgram(dir.path(), words);
        EXPECT_EQ(help.status, 0) << describe(help);
        EXPECT_EQ(help.out, dashHelp.out);
        EXPECT_THAT(help.out, HasSubstr("\nUsage: hotsync " + command));
        EXPECT_THAT(help.out, HasSubstr("\nOptions:\n  "));
        EXPECT_THAT(help.out, HasSubstr("\nExample:\n  hotsync " + command));
    }

    r = runProgram(dir.path(), {"--version"});
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, testing::MatchesRegex("hotsync \\(Gearvane companion suite\\) [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

TEST(HotSyncRootTest, ARootThatDoesNotExistIsNamedUnlessTheCommandCreatesIt)
{
    gvtest::TempDir dir;
    const std::string root = (dir / "no root").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string missing = "There is no HotSync root at " + root + " (from --root)";
    for (const auto &c : std::vector<Case>{{{"users", "list"}, 1, missing},
                                           {{"sync", "--user", "A", "--handheld", dir.str()}, 1, missing},
                                           {{"queue", "list", "--user", "A"}, 1, missing},
                                           {{"users", "add", "Anna"}, 0, ""},
                                           {{"users", "list"}, 0, ""}}) {
        auto args = c.args;
        args.insert(args.begin(), {"--root", root});
        auto r = runProgram(dir.path(), args);
        EXPECT_EQ(r.status, c.status) << describe(r);
        EXPECT_THAT(r.err, HasSubstr(c.err)) << describe(r);
    }
}

TEST_F(HotSyncProgramTest, UsersAreAddedAndListedAndTheRootComesFromTheEnvironmentToo)
{
    auto anna = addUser("Anna Berg");
    auto r = runProgram(scratch, {"users", "add", "Ben", "--directory", (dir / "ben").string()},
                        {"HOTSYNC_ROOT=" + root.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    auto ben = std::stoi(r.out);
    EXPECT_NE(anna, ben);

    r = hotsync({"users", "list"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(lines(r.out),
                testing::ElementsAre(std::to_string(anna) + "\tAnna Berg\t" +
                                         (root / "users" / (std::to_string(anna) + "-Anna Berg")).string(),
                                     std::to_string(ben) + "\tBen\t" + (dir / "ben").string()));

    r = hotsync({"users", "add", "Anna Berg"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("A HotSync user named \"Anna Berg\" exists already (id " + std::to_string(anna)));
    // A root written before names had to differ may still hold two.
    UserStore(HostRoot(root)).add("Anna Berg");
    r = hotsync({"sync", "--user", "Anna Berg", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("Several HotSync users are named \"Anna Berg\""));
}

TEST_F(HotSyncProgramTest, SyncInstallsQueuedFilesRunsTheConduitAndLogs)
{
    setUpConduit();
    auto anna = addUser("Anna");
    createHandheldDatabase();
    fs::path app = dir / "apps folder" / "Gearvane app.prc";
    fs::create_directories(app.parent_path());
    auto prc = palmsync::PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 0);
    prc.resources.push_back({"code", 1, {0x4E, 0x75}});
    prc.save(app);
    auto r = hotsync({"install", "--user", "Anna", (dir / "no such app.prc").string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("no such file"));
    r = hotsync({"install", "--user", "Anna", app.string()});
    ASSERT_EQ(r.status, 0) << describe(r);

    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    fs::path conduitFolder = root / "users" / (std::to_string(anna) + "-Anna") / "fake dir";
    EXPECT_THAT(lines(r.out),
                testing::ElementsAre("HotSync started for Anna", "Backup 1 saved",
                                     "Installed Gearvane app.prc as Gearvane.prc",
                                     "OK Fake type=0 user=Anna path=" + conduitFolder.string(), "HotSync completed"));
    EXPECT_TRUE(fs::is_directory(conduitFolder));
    EXPECT_EQ(palmsync::PalmDatabase::load(handheld / "Gearvane.prc").resources, prc.resources);
    EXPECT_TRUE(InstallQueue(HostRoot(root)).list(anna).empty());
    EXPECT_THAT(handheldRecords(), testing::ElementsAre("Anna|0"));

    auto log = lines(gvtest::readFileText(HostRoot(root).logFile(anna)));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_THAT(log[3], testing::MatchesRegex("[0-9-]{10} [0-9:]{8} OK Fake type=0 user=Anna path=.*"));
}

// Removing a user forgets its queue and actions, keeps its data folder,
// log and backups and says so; not while a HotSync of it runs.
TEST_F(HotSyncProgramTest, ARemovedUserLeavesItsDataLogAndBackupsAndSaysWhere)
{
    setUpConduit();
    auto anna = addUser("Anna");
    createHandheldDatabase();
    ASSERT_EQ(hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()}).status, 0);
    gvtest::writeFileText(dir / "app.prc", "queued");
    ASSERT_EQ(hotsync({"install", "--user", "Anna", (dir / "app.prc").string()}).status, 0);
    ASSERT_EQ(hotsync({"action", "set", "--user", "Anna", "--creator", "TEST", "nothing"}).status, 0);
    const HostRoot host(root);
    const fs::path folder = root / "users" / (std::to_string(anna) + "-Anna");

    {
        fileio::FileLock running(host.userLockFile(anna));
        auto r = hotsync({"users", "remove", "--user", "Anna"});
        EXPECT_EQ(r.status, 75) << describe(r);
        EXPECT_THAT(r.err, HasSubstr("nothing was removed"));
    }
    auto r = hotsync({"users", "remove", "--user", "Anna"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(lines(r.out),
                testing::ElementsAre("Removed the HotSync user Anna (id " + std::to_string(anna) + ")",
                                     "No longer queued for its handheld (the files themselves stay):",
                                     "  " + (dir / "app.prc").string(), "Its conduit actions are forgotten",
                                     "Kept: its data folder " + folder.string() + " (the conduits' desktop tables)",
                                     "Kept: its HotSync log " + host.logFile(anna).string(),
                                     "Kept: its 1 backup in " + (host.userDataFolder(anna) / "backups").string(),
                                     testing::StartsWith("Delete what is kept by hand")));
    EXPECT_TRUE(fs::is_directory(folder / "fake dir"));
    EXPECT_TRUE(fs::exists(host.logFile(anna)));
    EXPECT_TRUE(fs::exists(dir / "app.prc"));
    EXPECT_TRUE(hotsync({"users", "list"}).out.empty());
    r = hotsync({"users", "remove", "--user", "Anna"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("No HotSync user named \"Anna\""));
}

// One file the handheld refuses fails every HotSync until it leaves the
// queue; the queue commands show and edit it without editing files.
TEST_F(HotSyncProgramTest, ABadQueueEntryIsTakenOutWithTheQueueCommands)
{
    addUser("Anna");
    gvtest::writeFileText(dir / "broken.pdb", "not a database");
    gvtest::writeFileText(dir / "other.pdb", "not one either");
    ASSERT_EQ(
        hotsync({"install", "--user", "Anna", (dir / "broken.pdb").string(), (dir / "other.pdb").string()}).status, 0);
    auto r = hotsync({"queue", "list", "--user", "Anna"});
    EXPECT_THAT(lines(r.out), testing::ElementsAre((dir / "broken.pdb").string(), (dir / "other.pdb").string()));
    ASSERT_EQ(hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()}).status, 1);

    r = hotsync({"queue", "remove", "--user", "Anna", "broken.pdb", "missing.pdb"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_EQ(r.out, "Removed " + (dir / "broken.pdb").string() + " from the install queue of Anna\n");
    EXPECT_EQ(r.err, "hotsync: missing.pdb is not queued for Anna\n");
    r = hotsync({"queue", "clear", "--user", "Anna"});
    EXPECT_EQ(r.out, "Removed 1 file from the install queue of Anna\n");
    EXPECT_TRUE(hotsync({"queue", "list", "--user", "Anna"}).out.empty());
    EXPECT_EQ(hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()}).status, 0);
    EXPECT_TRUE(fs::exists(dir / "broken.pdb"));
}

TEST_F(HotSyncProgramTest, TheTemporaryActionHoldsForOneHotSyncAndAnExplicitActionWins)
{
    setUpConduit();
    auto anna = addUser("Anna");
    createHandheldDatabase();
    ActionStore(HostRoot(root)).set(anna, CreatorId::fromText("TEST"), {3, 2});

    std::vector<std::string> seen;
    for (const auto &extra : std::vector<std::vector<std::string>>{{}, {"--action", "handheld-overwrites"}, {}}) {
        std::vector<std::string> args{"sync", "--user-id", std::to_string(anna), "--handheld", handheld.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto r = hotsync(args);
        ASSERT_EQ(r.status, 0) << describe(r);
    }
    auto r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string(), "--action", "nothing"});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("OK Fake nothing"));

    EXPECT_THAT(handheldRecords(), testing::ElementsAre("Anna|2", "Anna|2", "Anna|3"));
    EXPECT_EQ(ActionStore(HostRoot(root)).get(anna, CreatorId::fromText("TEST")), (ConduitActions{3, std::nullopt}));
}

TEST_F(HotSyncProgramTest, ConduitFailuresMakeTheHotSyncFailButTheOthersStillRun)
{
    setUpConduit();
    auto anna = addUser("Anna");
    // The handheld lacks FakeDB-TEST: the conduit logs an error line.
    auto r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Fake): Database FakeDB-TEST not found on the handheld"));
    EXPECT_THAT(r.out, HasSubstr("HotSync completed with errors"));
    EXPECT_EQ(r.err, "hotsync: ERROR (Fake): Database FakeDB-TEST not found on the handheld\n");

    // A conduit whose class is not registered fails; the fake one still runs.
    r = hotsync({"conduit", "add", "--creator", "GONE", "--conduit", "ComConduit.dll", "--com-client", "No.Such",
                 "--priority", "0", "--title", "Gone"});
    ASSERT_EQ(r.status, 0) << describe(r);
    createHandheldDatabase();
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Gone): Class No.Such is not registered"));
    EXPECT_THAT(r.out, HasSubstr("OK Fake type=0"));
    ASSERT_EQ(hotsync({"conduit", "remove", "--creator", "GONE"}).status, 0);

    // A failing status from BeginProcess fails the HotSync even without an error line.
    gvtest::writeFileText(root / "users" / (std::to_string(anna) + "-Anna") / "fake dir" / "fail-status", "");
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Fake): BeginProcess failed: fake failure requested"));
}

TEST_F(HotSyncProgramTest, AConduitLibraryWithLiveObjectsStaysLoadedAndIsReported)
{
    setUpConduit();
    auto anna = addUser("Anna");
    createHandheldDatabase();
    fs::path conduitFolder = root / "users" / (std::to_string(anna) + "-Anna") / "fake dir";
    fs::create_directories(conduitFolder);
    gvtest::writeFileText(conduitFolder / "keep-alive", "");
    auto r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("WARNING (Fake): " + library.string() + " still has live objects and stays loaded"));
    EXPECT_THAT(r.out, HasSubstr("OK Fake type=0"));
}

TEST_F(HotSyncProgramTest, AConduitFolderOutsideTheUserFolderIsRefused)
{
    setUpConduit();
    addUser("Anna");
    createHandheldDatabase();
    ASSERT_EQ(hotsync({"conduit", "remove", "--creator", "TEST"}).status, 0);
    auto r = hotsync({"conduit", "add", "--creator", "TEST", "--conduit", "ComConduit.dll", "--com-client",
                      "GvTest.FakeClientNotify", "--directory", "../../escape", "--title", "Fake"});
    ASSERT_EQ(r.status, 0) << describe(r);
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Fake): The conduit folder \"../../escape\" must be a folder name"));
    EXPECT_FALSE(fs::exists(root / "escape"));
    EXPECT_THAT(handheldRecords(), testing::IsEmpty());
}

TEST_F(HotSyncProgramTest, AFileThatCannotBeInstalledStaysQueuedAndIsReported)
{
    auto anna = addUser("Anna");
    gvtest::writeFileText(dir / "broken.pdb", "not a database");
    ASSERT_EQ(hotsync({"install", "--user", "Anna", (dir / "broken.pdb").string()}).status, 0);
    auto r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Install): "));
    EXPECT_THAT(InstallQueue(HostRoot(root)).list(anna), testing::ElementsAre(dir / "broken.pdb"));
    EXPECT_TRUE(fs::is_empty(handheld));
}

// A second HotSync of the same user, or of the same handheld for another
// user, waits a bounded time saying whom it waits for, then gives up with
// its own exit status, having changed nothing (no backup, no log line, no
// record). Once the first has ended (here: its process died) the lock is
// free.
TEST_F(HotSyncProgramTest, ASecondHotSyncWaitsThenGivesUpChangingNothing)
{
    setUpConduit();
    const std::int32_t anna = addUser("Anna");
    addUser("Ben");
    createHandheldDatabase();
    for (const char *who : {"Anna", "Ben"}) {
        SCOPED_TRACE(who);
        // Another HotSync of Anna with this handheld holds the locks.
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t holder = ::fork();
        if (holder == 0) {
            fileio::FileLock user(HostRoot(root).userDataFolder(anna) / "hotsync.lock");
            user.describe("HotSync of Anna, process " + std::to_string(::getpid()));
            fileio::FileLock folder(handheld);
            (void)!::write(ready[1], "x", 1);
            for (;;)
                ::pause();
        }
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);

        auto r = hotsync({"sync", "--user", who, "--handheld", handheld.string(), "--wait", "1"});
        EXPECT_EQ(r.status, 75) << describe(r);
        EXPECT_THAT(r.out, HasSubstr("Waiting for the run that holds the "));
        if (std::string(who) == "Anna") {
            EXPECT_THAT(r.out, HasSubstr("(HotSync of Anna, process " + std::to_string(holder) + ")"));
        }
        EXPECT_THAT(r.out, HasSubstr("ERROR (HotSync): Another HotSync is running"));
        EXPECT_THAT(r.out, HasSubstr("changed nothing"));
        EXPECT_TRUE(handheldRecords().empty());
        EXPECT_FALSE(fs::exists(root / "userdata" / std::to_string(anna) / "backups"));

        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    }
    auto r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string(), "--wait", "1"});
    EXPECT_EQ(r.status, 0) << describe(r);
}

TEST_F(HotSyncProgramTest, RegistrationWritesTheClassKeysAndUnregistrationRemovesThem)
{
    setUpConduit();
    registry::Registry reg(root);
    auto clsid = reg.stringValue(registry::Hive::ClassesRoot, "GvTest.FakeClientNotify\\Clsid", "");
    ASSERT_TRUE(clsid);
    EXPECT_EQ(reg.stringValue(registry::Hive::ClassesRoot, "CLSID\\" + *clsid + "\\InprocServer32", ""),
              library.string());

    auto r = hotsync({"unregister", library.string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_FALSE(reg.keyExists(registry::Hive::ClassesRoot, "GvTest.FakeClientNotify"));
    EXPECT_FALSE(reg.keyExists(registry::Hive::ClassesRoot, "CLSID\\" + *clsid));

    addUser("Anna");
    createHandheldDatabase();
    r = hotsync({"sync", "--user", "Anna", "--handheld", handheld.string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("ERROR (Fake): Class GvTest.FakeClientNotify is not registered"));
}

TEST_F(HotSyncProgramTest, RegistrationFailuresAreReported)
{
    gvtest::writeFileText(dir / "a file", "x");
    auto r = runProgram(
        scratch, {"--root", (dir / "a file").string(), "register", (gvtest::binaryDir() / "FakeConduit.so").string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("DllRegisterServer of"));

    r = hotsync({"register", (dir / "missing.so").string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("missing.so"));

    r = hotsync({"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client", "A.B"});
    ASSERT_EQ(r.status, 0) << describe(r);
    r = hotsync({"conduit", "add", "--creator", "KLXC", "--conduit", "ComConduit.dll", "--com-client", "C.D"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("-1005"));
    r = hotsync({"conduit", "list"});
    EXPECT_THAT(r.out, HasSubstr("COMClient=A.B")) << "the first registration stays";
}

TEST_F(HotSyncProgramTest, ConfigureStoresWhatTheConduitHandsBack)
{
    setUpConduit();
    auto anna = addUser("Anna");
    const auto creator = CreatorId::fromText("TEST");
    fs::path record = scratch / "cfg.txt";
    auto configure = [&](const char *answer) {
        std::vector<std::string> env{"GVTEST_CFG_RECORD=" + record.string(),
                                     std::string("GVTEST_CFG_ANSWER=") + (answer ? answer : ""),
                                     "QT_QPA_PLATFORM=offscreen"};
        return hotsync({"configure", "--user", "Anna", "--creator", "TEST"}, env);
    };

    auto r = configure("1 3");
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, "Permanent action: desktop-overwrites\n");
    EXPECT_THAT(gvtest::readFileText(record), HasSubstr("|0 0")) << "first time: synchronise";
    EXPECT_EQ(ActionStore(HostRoot(root)).get(anna, creator), (ConduitActions{3, 3}));

    r = configure("2 6");
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, "Next HotSync only: nothing\n");
    EXPECT_THAT(gvtest::readFileText(record), HasSubstr("|3 3"));
    EXPECT_EQ(ActionStore(HostRoot(root)).get(anna, creator), (ConduitActions{3, 6}));

    r = configure(nullptr);
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_EQ(r.out, "Unchanged\n");
    EXPECT_THAT(gvtest::readFileText(record), HasSubstr("|3 6"));
    EXPECT_EQ(ActionStore(HostRoot(root)).get(anna, creator), (ConduitActions{3, 6}));

    r = hotsync({"configure", "--user", "Anna", "--creator", "NONE"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("No conduit is registered for creator NONE"));

    // Without a display the dialog is not even loaded; the message says
    // how to set the action without it.
    r = hotsync({"configure", "--user", "Anna", "--creator", "TEST"},
                {"GVTEST_CFG_RECORD=" + record.string(), "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("needs a display"));
    EXPECT_THAT(r.err, HasSubstr("hotsync action set --user \"Anna\" --creator TEST ACTION"));

    // What the dialog would do, without it.
    struct ActionCase {
        std::vector<std::string> args;
        const char *out;
        ConduitActions stored;
    };
    for (const auto &c : std::vector<ActionCase>{
             {{"handheld-overwrites"}, "Permanent action: handheld-overwrites\n", {2, 2}},
             {{"nothing", "--next-only"}, "Next HotSync only: nothing\n", {2, 6}},
         }) {
        std::vector<std::string> args{"action", "set", "--user", "Anna", "--creator", "TEST"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        r = hotsync(args);
        ASSERT_EQ(r.status, 0) << describe(r);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(ActionStore(HostRoot(root)).get(anna, creator), c.stored);
    }
    r = hotsync({"action", "set", "--user", "Anna", "--creator", "NONE", "nothing"});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("No conduit is registered for creator NONE"));
}

TEST_F(HotSyncProgramTest, DumpPrintsHeaderAndRecords)
{
    auto db = palmsync::PalmDatabase::createRecordDatabase("MainDB-KLXC", "DATA", "KLXC", 0);
    db.records.push_back({0x40, 3, 0x000102, {0x00, 0xAB, 0x10}});
    db.records.push_back({0x80, 0, 0x000103, {}});
    db.appInfo = std::vector<std::uint8_t>{1, 2};
    db.save(dir / "main.pdb");

    auto r = hotsync({"dump", (dir / "main.pdb").string()});
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_THAT(r.out, HasSubstr("Name: MainDB-KLXC\n"));
    EXPECT_THAT(r.out, HasSubstr("Type: DATA\nCreator: KLXC\n"));
    EXPECT_THAT(r.out, HasSubstr("App info: 2 bytes: 01 02\n"));
    EXPECT_THAT(r.out, HasSubstr("Records: 2\n  id=258 attributes=0x40 category=3 size=3 bytes=00 AB 10\n"
                                 "  id=259 attributes=0x80 category=0 size=0 bytes=\n"));

    gvtest::writeFileText(dir / "bad.pdb", std::string(50, 'x'));
    r = hotsync({"dump", (dir / "bad.pdb").string()});
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_THAT(r.err, HasSubstr("bad.pdb"));
}

} // namespace
