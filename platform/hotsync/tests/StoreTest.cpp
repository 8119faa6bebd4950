#include "hotsync/ActionStore.h"
#include "hotsync/ComClassResolver.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/HostError.h"
#include "hotsync/HotSyncLog.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/UserStore.h"

#include "TempDir.h"

#include <gmock/gmock.h>

#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace hotsync;
using testing::ElementsAre;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class StoreTest : public testing::Test {
protected:
    gvtest::TempDir dir;
    HostRoot root{dir.path()};
    UserStore users{root};
    CreatorId klxc = CreatorId::fromText("KLXC");
};

TEST_F(StoreTest, UserIdsAreNeverReusedAndNamesMayRepeat)
{
    User a = users.add("Anna");
    User b = users.add("Anna");
    EXPECT_NE(a.id, b.id);
    EXPECT_TRUE(users.remove(b.id));
    User c = users.add("Carl");
    EXPECT_GT(c.id, b.id) << "the id of a removed user is not handed out again";
    EXPECT_TRUE(users.remove(c.id));
    EXPECT_GT(UserStore(root).add("Dora").id, c.id) << "also not when the highest user was removed";

    users.add("Anna");
    try {
        users.requireByName("Anna");
        FAIL() << "an ambiguous name was accepted";
    } catch (const HostError &e) {
        EXPECT_THAT(e.what(), HasSubstr(std::to_string(a.id)));
    }
    EXPECT_THROW(users.requireByName("Nobody"), HostError);
    EXPECT_THROW(users.add(""), HostError);
}

TEST_F(StoreTest, UsersGetTheirFoldersAndSurviveAReload)
{
    User plain = users.add("Anna Berg");
    User odd = users.add("../a/b\x01");
    User custom = users.add("Carl", dir / "elsewhere" / "carl");

    EXPECT_EQ(plain.directory, root.path() / "users" / (std::to_string(plain.id) + "-Anna Berg"));
    EXPECT_EQ(odd.directory.parent_path(), root.path() / "users") << odd.directory;
    EXPECT_EQ(odd.directory.filename(), std::to_string(odd.id) + "-_._a_b_");
    EXPECT_EQ(custom.directory, dir / "elsewhere" / "carl");
    for (const auto &u : {plain, odd, custom})
        EXPECT_TRUE(fs::is_directory(u.directory)) << u.directory;

    auto listed = UserStore(root).list();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].name, "../a/b\x01");
    EXPECT_EQ(listed[2].directory, custom.directory);
}

TEST_F(StoreTest, AUserFolderThatCannotBeCreatedIsReportedAndNoUserAdded)
{
    gvtest::writeFileText(dir / "file", "x");
    EXPECT_THROW(users.add("Anna", dir / "file"), HostError);
    EXPECT_TRUE(users.list().empty());
}

TEST_F(StoreTest, ConcurrentProcessesAddingUsersGetDistinctIds)
{
    constexpr int processes = 4;
    constexpr int usersEach = 10;
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                UserStore store{HostRoot(dir.path())};
                for (int i = 0; i < usersEach; ++i)
                    store.add("P" + std::to_string(p));
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<std::int32_t> ids;
    for (const auto &u : users.list())
        ids.insert(u.id);
    EXPECT_EQ(ids.size(), std::size_t(processes * usersEach));
}

TEST_F(StoreTest, AMalformedStoreFileIsRefusedWithFileAndLine)
{
    gvtest::writeFileText(root.usersFile(), "GVUSERS\t1\nnext\t3\nuser\tx\tAnna\t/a\n");
    try {
        users.list();
        FAIL() << "accepted";
    } catch (const HostError &e) {
        EXPECT_THAT(e.what(), HasSubstr(root.usersFile().string() + ", line 3"));
    }
    EXPECT_THROW(users.add("Carl"), HostError) << "a damaged store is not overwritten";
}

TEST_F(StoreTest, InstallingAKnownCreatorReportsItAndKeepsItsSettings)
{
    ConduitStore conduits(root);
    EXPECT_EQ(conduits.install(klxc), 0);
    conduits.update(klxc, [](ConduitRegistration &c) {
        c.conduitName = "ComConduit.dll";
        c.priority = 2;
        c.remoteDb = "MainDB-KLXC";
        c.directory = "gearvane";
        c.fileName = "MainDB-KLXC.PDB";
        c.title = "Gearvane";
        c.setCreatorValue("COMClient", "", "Tarnlink.KLXGVClientNotify");
    });
    EXPECT_EQ(conduits.install(klxc), ConduitStore::alreadyRegistered);

    auto c = ConduitStore(root).find(klxc);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->isComConduit());
    EXPECT_EQ(c->priority, 2);
    EXPECT_EQ(c->remoteDb, "MainDB-KLXC");
    EXPECT_EQ(c->directory, "gearvane");
    EXPECT_EQ(c->fileName, "MainDB-KLXC.PDB");
    EXPECT_EQ(c->title, "Gearvane");
    EXPECT_EQ(c->creatorValue("comclient"), "Tarnlink.KLXGVClientNotify");
    EXPECT_EQ(c->creatorValue("COMClient", "other"), std::nullopt);
}

TEST_F(StoreTest, ConduitsListInPriorityOrder)
{
    ConduitStore conduits(root);
    for (auto [creator, priority] : {std::pair{"ZZZZ", 1}, {"BBBB", 3}, {"AAAA", 3}, {"MMMM", 0}}) {
        conduits.install(CreatorId::fromText(creator));
        conduits.update(CreatorId::fromText(creator), [p = priority](ConduitRegistration &c) { c.priority = p; });
    }
    std::vector<std::string> order;
    for (const auto &c : conduits.list())
        order.push_back(c.creator.text());
    EXPECT_THAT(order, ElementsAre("MMMM", "ZZZZ", "AAAA", "BBBB"));

    EXPECT_TRUE(conduits.remove(CreatorId::fromText("ZZZZ")));
    EXPECT_FALSE(conduits.remove(CreatorId::fromText("ZZZZ")));
    EXPECT_THROW(conduits.update(CreatorId::fromText("ZZZZ"), [](ConduitRegistration &) {}), HostError);
    EXPECT_EQ(conduits.list().size(), 3u);
}

TEST(CreatorIdTest, AcceptsExactlyFourPrintableCharacters)
{
    EXPECT_EQ(CreatorId::fromText("KLXC").number(), 0x4B4C5843u);
    EXPECT_EQ(CreatorId::fromNumber(0x4B4C5843u).text(), "KLXC");
    for (const char *bad : {"", "KLX", "KLXCX", "KL\tC",
                            "KL\x80"
                            "C"})
        EXPECT_THROW(CreatorId::fromText(bad), HostError) << bad;
}

struct ActionCase {
    const char *name;
    ConduitActions stored;
    std::optional<std::int32_t> first;
    std::optional<std::int32_t> second;
};

void PrintTo(const ActionCase &c, std::ostream *os)
{
    *os << c.name;
}

class NextActionTest : public testing::TestWithParam<ActionCase> {};

TEST_P(NextActionTest, TemporaryHoldsOnceThenThePermanentOne)
{
    gvtest::TempDir dir;
    HostRoot root(dir.path());
    auto user = UserStore(root).add("Anna");
    ActionStore actions(root);
    auto creator = CreatorId::fromText("KLXC");
    actions.set(user.id, creator, GetParam().stored);
    EXPECT_EQ(actions.takeNextAction(user.id, creator), GetParam().first);
    EXPECT_EQ(ActionStore(root).takeNextAction(user.id, creator), GetParam().second);
    EXPECT_EQ(actions.get(user.id, creator).permanent, GetParam().stored.permanent);
    EXPECT_EQ(actions.takeNextAction(user.id, CreatorId::fromText("OTHR")), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Cases, NextActionTest,
                         testing::Values(ActionCase{"Nothing", {}, std::nullopt, std::nullopt},
                                         ActionCase{"PermanentOnly", {3, std::nullopt}, 3, 3},
                                         ActionCase{"TemporaryOnly", {std::nullopt, 6}, 6, std::nullopt},
                                         ActionCase{"Both", {2, 6}, 6, 2},
                                         ActionCase{"TemporarySynchronize", {3, 0}, 0, 3}),
                         [](const testing::TestParamInfo<ActionCase> &info) { return std::string(info.param.name); });

TEST_F(StoreTest, InstallQueuesAreKeptPerUserWithAbsolutePathsOnce)
{
    User anna = users.add("Anna");
    User carl = users.add("Carl");
    fs::create_directories(dir / "apps");
    for (const auto &file : {dir / "apps" / "Gearvane.prc", dir / "x y.pdb", dir / "c.pdb"})
        gvtest::writeFileText(file, "");
    InstallQueue queue(root);
    queue.enqueue(anna.id, dir / "apps" / "Gearvane.prc");
    queue.enqueue(anna.id, dir / "apps" / ".." / "apps" / "Gearvane.prc");
    queue.enqueue(anna.id, dir / "x y.pdb");
    queue.enqueue(carl.id, dir / "c.pdb");

    EXPECT_THAT(queue.list(anna.id), ElementsAre(dir / "apps" / "Gearvane.prc", dir / "x y.pdb"));
    EXPECT_TRUE(queue.remove(anna.id, dir / "apps" / "Gearvane.prc"));
    EXPECT_THAT(InstallQueue(root).list(anna.id), ElementsAre(dir / "x y.pdb"));
    queue.clear(anna.id);
    EXPECT_TRUE(queue.list(anna.id).empty());
    EXPECT_THAT(queue.list(carl.id), ElementsAre(dir / "c.pdb"));
    EXPECT_THROW(queue.enqueue(9999, dir / "c.pdb"), HostError);
    // A file may be queued before it is there; the HotSync reports it then.
    queue.enqueue(carl.id, dir / "later.prc");
    EXPECT_THAT(queue.list(carl.id), ElementsAre(dir / "c.pdb", dir / "later.prc"));

    users.remove(carl.id);
    EXPECT_TRUE(queue.list(carl.id).empty()) << "a removed user's queue goes with it";
}

TEST_F(StoreTest, LogLinesAreAppendedWithTheirTimeOneLineEach)
{
    User anna = users.add("Anna");
    HotSyncLog log(root, anna.id);
    log.append({"OK Gearvane"}, std::chrono::system_clock::time_point{});
    log.append({"ERROR (X): two\nlines", "third"}, std::chrono::system_clock::time_point{});

    auto text = gvtest::readFileText(log.path());
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << text;
    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} ";
    EXPECT_THAT(lines[0], testing::MatchesRegex(stamp + "OK Gearvane"));
    EXPECT_THAT(lines[1], testing::MatchesRegex(stamp + "ERROR \\(X\\): two lines"));
    EXPECT_THAT(lines[2], testing::MatchesRegex(stamp + "third"));
}

struct ResolveCase {
    const char *name;
    std::vector<std::tuple<std::string, std::string, std::string>> writes; // key, value name, data
    std::string expectedPathOrError;
    bool ok;
};

void PrintTo(const ResolveCase &c, std::ostream *os)
{
    *os << c.name;
}

class ResolveProgIdTest : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveProgIdTest, FollowsClsidToTheLibrary)
{
    gvtest::TempDir dir;
    registry::Registry reg(dir.path());
    for (const auto &[key, name, data] : GetParam().writes)
        reg.setString(registry::Hive::ClassesRoot, key, name, data);
    if (GetParam().ok) {
        auto location = resolveProgId(reg, "Tarnlink.KLXGVClientNotify");
        EXPECT_EQ(location.libraryPath, GetParam().expectedPathOrError);
        EXPECT_EQ(location.clsid.toString(), "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}");
    } else {
        try {
            resolveProgId(reg, "Tarnlink.KLXGVClientNotify");
            FAIL() << "resolved";
        } catch (const HostError &e) {
            EXPECT_THAT(e.what(), HasSubstr(GetParam().expectedPathOrError));
        }
    }
}

const std::string progIdKey = "Tarnlink.KLXGVClientNotify\\Clsid";
const std::string clsid = "{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}";
const std::string serverKey = "CLSID\\" + clsid + "\\InprocServer32";

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveProgIdTest,
    testing::Values(
        ResolveCase{"PathWithBlanks",
                    {{progIdKey, "", clsid}, {serverKey, "", "/opt/my libs/Tarnlink.so"}},
                    "/opt/my libs/Tarnlink.so",
                    true},
        ResolveCase{
            "QuotedPath", {{progIdKey, "", clsid}, {serverKey, "", "\"/opt/a b/T.so\""}}, "/opt/a b/T.so", true},
        ResolveCase{"LowerCaseClsid",
                    {{progIdKey, "", "{3f8e5b8f-e4a8-4db3-8954-efc40f888f1a}"}, {serverKey, "", "/l.so"}},
                    "/l.so",
                    true},
        ResolveCase{"NotRegistered", {}, "not registered", false},
        ResolveCase{"InvalidClsid", {{progIdKey, "", "nonsense"}}, "invalid CLSID", false},
        ResolveCase{"NoServer", {{progIdKey, "", clsid}, {"CLSID\\" + clsid, "", "desc"}}, "InprocServer32", false}),
    [](const testing::TestParamInfo<ResolveCase> &info) { return std::string(info.param.name); });

} // namespace

namespace {

struct FolderCase {
    const char *name;
    std::string directory;
    std::optional<std::string> expected; // relative to the user folder; nothing: refused
};

void PrintTo(const FolderCase &c, std::ostream *os)
{
    *os << c.name;
}

class ConduitFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(ConduitFolderTest, StaysInsideTheUserFolder)
{
    ConduitRegistration c;
    c.directory = GetParam().directory;
    const fs::path user = "/data/users/1-Anna";
    if (GetParam().expected)
        EXPECT_EQ(c.folderIn(user), GetParam().expected->empty() ? user : user / *GetParam().expected);
    else
        EXPECT_THROW(c.folderIn(user), HostError);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConduitFolderTest,
                         testing::Values(FolderCase{"None", "", ""}, FolderCase{"Name", "gearvane", "gearvane"},
                                         FolderCase{"Nested", "a b/c", "a b/c"},
                                         FolderCase{"Parent", "..", std::nullopt},
                                         FolderCase{"Climbing", "x/../../y", std::nullopt},
                                         FolderCase{"Absolute", "/etc", std::nullopt}),
                         [](const testing::TestParamInfo<FolderCase> &info) { return std::string(info.param.name); });

} // namespace
