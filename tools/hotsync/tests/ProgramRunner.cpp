#include "ProgramRunner.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace hotsynctest {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

namespace {

struct Spawn {
    std::vector<std::string> argStore, envStore;
    std::vector<char *> argv, envp;

    Spawn(const std::string &program, const std::vector<std::string> &args, const std::vector<std::string> &env)
    {
        argStore.push_back((gvtest::binaryDir() / program).string());
        argStore.insert(argStore.end(), args.begin(), args.end());
        for (auto &a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (char **e = environ; *e; ++e) {
            std::string entry = *e;
            std::string name = entry.substr(0, entry.find('='));
            bool overridden = std::any_of(env.begin(), env.end(),
                                          [&](const std::string &o) { return o.substr(0, o.find('=')) == name; });
            if (!overridden)
                envStore.push_back(entry);
        }
        for (const auto &o : env) {
            if (o.back() != '=')
                envStore.push_back(o);
        }
        for (auto &e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }
};

int waitForExit(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

RunResult runBuiltProgram(const std::string &program, const fs::path &scratch, const std::vector<std::string> &args,
                          const std::vector<std::string> &env)
{
    Spawn spawn(program, args, env);
    fs::path outFile = scratch / "stdout.txt";
    fs::path errFile = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, spawn.argv[0], &actions, nullptr, spawn.argv.data(), spawn.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    RunResult r;
    if (rc != 0) {
        r.err = "cannot start " + spawn.argStore[0];
        return r;
    }
    r.status = waitForExit(pid);
    r.out = gvtest::readFileText(outFile);
    r.err = gvtest::readFileText(errFile);
    return r;
}

RunResult runOnTerminal(const std::vector<std::string> &args, const std::vector<std::string> &env)
{
    RunResult r;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        r.err = "no pseudo-terminal";
        return r;
    }
    // The slave side stays open here too, so that the terminal is there
    // before the program opens it and until all it wrote has been read.
    int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    Spawn spawn("hotsync", args, env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, 1);
    posix_spawn_file_actions_adddup2(&actions, slave, 2);
    pid_t pid = 0;
    int rc = slave < 0 ? -1 : posix_spawn(&pid, spawn.argv[0], &actions, nullptr, spawn.argv.data(), spawn.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ::close(master);
        if (slave >= 0)
            ::close(slave);
        r.err = "cannot start " + spawn.argStore[0];
        return r;
    }
    char buffer[4096];
    auto readSome = [&] {
        ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            r.out.append(buffer, static_cast<std::size_t>(n));
        return n > 0 || (n < 0 && errno == EINTR);
    };
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 100) > 0) {
            readSome();
            continue;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
    }
    // With the program gone and the slave closed, a read ends at the end
    // of what it wrote.
    ::close(slave);
    while (readSome()) {
    }
    ::close(master);
    return r;
}

RunResult runProgram(const fs::path &scratch, const std::vector<std::string> &args, const std::vector<std::string> &env)
{
    return runBuiltProgram("hotsync", scratch, args, env);
}

void runAndKill(const std::vector<std::string> &args, std::chrono::microseconds after)
{
    std::vector<std::string> argStore{(gvtest::binaryDir() / "hotsync").string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

std::vector<std::string> pluginSanitizerEnvironment(const fs::path &scratch)
{
    const fs::path suppressions = scratch / "lsan.supp";
    if (!fs::exists(suppressions))
        gvtest::writeFileText(suppressions, "leak:_dl_init\n");
    const char *asan = std::getenv("ASAN_OPTIONS");
    return {"ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":fast_unwind_on_malloc=0",
            "LSAN_OPTIONS=suppressions=" + suppressions.string()};
}

std::string describe(const RunResult &r)
{
    return "status " + std::to_string(r.status) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

} // namespace hotsynctest
