#include "SystemCallTrace.h"
#include "registry/HostRootPath.h"
#include "registry/Registry.h"
#include "registry/RegistryError.h"

#include "TempDir.h"

#include <gmock/gmock.h>

#include <cerrno>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace registry;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> filesIn(const fs::path &folder)
{
    std::vector<fs::path> files;
    for (const auto &e : fs::directory_iterator(folder))
        files.push_back(e.path().filename());
    return files;
}

// A write that fails at any step (or a crash that left a temporary file)
// leaves the previous content readable, and later writes work.
TEST(RegistryFileTest, AnInterruptedWriteKeepsThePreviousContent)
{
    struct Case {
        const char *name;
        gvtest::Call call;
        int err;
    };
    const Case cases[] = {{"write", gvtest::Call::Write, ENOSPC},
                          {"flush", gvtest::Call::Fsync, EIO},
                          {"rename", gvtest::Call::Rename, EXDEV}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        gvtest::TempDir dir;
        Registry reg(dir.path());
        reg.setString(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version", "1.0");
        {
            gvtest::SystemCallTrace trace;
            trace.failAt(c.call, 1, c.err);
            EXPECT_THROW(reg.setString(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version", "2.0"),
                         std::runtime_error);
        }
        EXPECT_EQ(reg.stringValue(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version"), "1.0");
        EXPECT_EQ(filesIn(dir.path() / "registry").size(), 2u) << "the .reg and .lock files only";

        // What a crash before the rename leaves behind disturbs nothing.
        gvtest::writeFileText(dir.path() / "registry" / ".HKEY_LOCAL_MACHINE.reg.tmp-crashed", "GVREG\t1\nK\tX\n");
        gvtest::SystemCallTrace trace;
        reg.setString(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version", "3.0");
        EXPECT_EQ(trace.durabilityFaults(), std::vector<std::string>{});
        EXPECT_EQ(Registry(dir.path()).stringValue(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version"),
                  "3.0");
    }
}

// A hive with keys nested far deeper than any real one is refused with a
// line, not read into a structure whose destruction exhausts the stack.
TEST(RegistryFileTest, KeysNestedTooDeepAreRefused)
{
    gvtest::TempDir dir;
    Registry reg(dir.path());
    fs::create_directories(reg.hiveFile(Hive::CurrentUser).parent_path());
    std::string line = "K";
    for (int i = 0; i < 200000; ++i)
        line += "\tk";
    gvtest::writeFileText(reg.hiveFile(Hive::CurrentUser), "GVREG\t1\n" + line + "\n");
    EXPECT_THAT([&] { reg.load(Hive::CurrentUser); },
                testing::ThrowsMessage<RegistryError>(testing::HasSubstr("deeper than 512 levels")));

    RegistryKey deep;
    RegistryKey *key = &deep;
    for (int i = 0; i < 200000; ++i)
        key = &key->createSubkey("k");
    // Destroying it must not recurse once per level.
}

TEST(RegistryFileTest, AWriteThatCannotCreateItsFolderIsReported)
{
    gvtest::TempDir dir;
    gvtest::writeFileText(dir / "notafolder", "x");
    Registry reg(dir / "notafolder");
    EXPECT_THROW(reg.setString(Hive::ClassesRoot, "K", "", "v"), RegistryError);
}

TEST(RegistryFileTest, ConcurrentWritersFromSeveralProcessesLoseNothing)
{
    gvtest::TempDir dir;
    constexpr int writers = 4;
    constexpr int valuesEach = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                Registry reg(dir.path());
                for (int i = 0; i < valuesEach; ++i)
                    reg.setDword(Hive::CurrentUser, "Shared\\Writer" + std::to_string(w % 2),
                                 "v" + std::to_string(w) + "_" + std::to_string(i), static_cast<std::uint32_t>(i));
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
    Registry reg(dir.path());
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < valuesEach; ++i) {
            EXPECT_EQ(reg.dwordValue(Hive::CurrentUser, "Shared\\Writer" + std::to_string(w % 2),
                                     "v" + std::to_string(w) + "_" + std::to_string(i)),
                      static_cast<std::uint32_t>(i));
        }
    }
}

struct MalformedCase {
    const char *name;
    std::string text;
    std::string fault;
};

void PrintTo(const MalformedCase &c, std::ostream *os)
{
    *os << c.name;
}

class MalformedHiveTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedHiveTest, IsRefusedWithTheFileAndLine)
{
    gvtest::TempDir dir;
    Registry reg(dir.path());
    fs::create_directories(reg.hiveFile(Hive::ClassesRoot).parent_path());
    gvtest::writeFileText(reg.hiveFile(Hive::ClassesRoot), GetParam().text);
    try {
        reg.load(Hive::ClassesRoot);
        FAIL() << "accepted";
    } catch (const RegistryError &e) {
        EXPECT_THAT(e.what(), testing::HasSubstr("HKEY_CLASSES_ROOT.reg"));
        EXPECT_THAT(e.what(), testing::HasSubstr(GetParam().fault));
    }
    EXPECT_THROW(reg.setString(Hive::ClassesRoot, "K", "", "v"), RegistryError) << "a damaged hive is not overwritten";
}

INSTANTIATE_TEST_SUITE_P(Faults, MalformedHiveTest,
                         testing::Values(MalformedCase{"WrongHeader", "REGEDIT4\n", "line 1"},
                                         MalformedCase{"ValueBeforeKey", "GVREG\t1\nS\tn\tv\n", "line 2"},
                                         MalformedCase{"UnknownRecord", "GVREG\t1\nK\tA\nX\tn\n", "line 3"},
                                         MalformedCase{"BadNumber", "GVREG\t1\nK\tA\nD\tn\t12x\n", "line 3"},
                                         MalformedCase{"NumberTooBig", "GVREG\t1\nK\tA\nD\tn\t4294967296\n", "line 3"},
                                         MalformedCase{"BadEscape", "GVREG\t1\nK\tA\\q\n", "line 2"},
                                         MalformedCase{"TruncatedHexEscape", "GVREG\t1\nK\tA\nS\tn\tv\\x4\n", "line 3"},
                                         MalformedCase{"MissingData", "GVREG\t1\nK\tA\nS\tn\n", "line 3"},
                                         MalformedCase{"EmptyKeyName", "GVREG\t1\nK\tA\t\n", "line 2"},
                                         MalformedCase{"CarriageReturn", "GVREG\t1\r\nK\n", "control character"}),
                         [](const testing::TestParamInfo<MalformedCase> &info) {
                             return std::string(info.param.name);
                         });

// Sets environment variables for one test and restores them afterwards.
class EnvGuard {
public:
    void set(const char *name, const char *value)
    {
        if (!saved_.count(name)) {
            const char *old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto &[name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

struct RootCase {
    const char *name;
    const char *explicitRoot;
    const char *hotsyncRoot;
    const char *xdgDataHome;
    const char *home;
    const char *expected; // nullptr: no root can be found
};

void PrintTo(const RootCase &c, std::ostream *os)
{
    *os << c.name;
}

class HostRootTest : public testing::TestWithParam<RootCase> {};

TEST_P(HostRootTest, ResolvesInOrderOfPrecedence)
{
    const auto &c = GetParam();
    EnvGuard env;
    env.set("HOTSYNC_ROOT", c.hotsyncRoot);
    env.set("XDG_DATA_HOME", c.xdgDataHome);
    env.set("HOME", c.home);
    std::optional<fs::path> explicitRoot;
    if (c.explicitRoot)
        explicitRoot = c.explicitRoot;
    if (c.expected)
        EXPECT_EQ(resolveHostRoot(explicitRoot), fs::path(c.expected));
    else
        EXPECT_THROW(resolveHostRoot(explicitRoot), RegistryError);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, HostRootTest,
    testing::Values(RootCase{"ExplicitWins", "/r/explicit", "/r/env", "/r/xdg", "/r/home", "/r/explicit"},
                    RootCase{"EnvironmentVariable", nullptr, "/r/env", "/r/xdg", "/r/home", "/r/env"},
                    RootCase{"XdgDataHome", nullptr, nullptr, "/r/xdg", "/r/home", "/r/xdg/hotsync"},
                    RootCase{"EmptyVariablesAreUnset", nullptr, "", "", "/r/home", "/r/home/.local/share/hotsync"},
                    RootCase{"Nothing", nullptr, nullptr, nullptr, nullptr, nullptr}),
    [](const testing::TestParamInfo<RootCase> &info) { return std::string(info.param.name); });

} // namespace
