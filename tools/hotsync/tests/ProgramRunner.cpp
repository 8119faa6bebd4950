#include "ProgramRunner.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

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

RunResult runBuiltProgram(const std::string &program, const fs::path &scratch, const std::vector<std::string> &args,
                          const std::vector<std::string> &env)
{
    std::vector<std::string> argStore{(gvtest::binaryDir() / program).string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char **e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool overridden =
            std::any_of(env.begin(), env.end(), [&](const std::string &o) { return o.substr(0, o.find('=')) == name; });
        if (!overridden)
            envStore.push_back(entry);
    }
    for (const auto &o : env) {
        if (o.back() != '=')
            envStore.push_back(o);
    }
    std::vector<char *> envp;
    for (auto &e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    fs::path outFile = scratch / "stdout.txt";
    fs::path errFile = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    RunResult r;
    if (rc != 0) {
        r.err = "cannot start " + argStore[0];
        return r;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = gvtest::readFileText(outFile);
    r.err = gvtest::readFileText(errFile);
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

std::string describe(const RunResult &r)
{
    return "status " + std::to_string(r.status) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

} // namespace hotsynctest
