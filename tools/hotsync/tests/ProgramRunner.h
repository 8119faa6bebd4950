#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace hotsynctest {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> lines(const std::string &text);

// Runs the built hotsync program with `args` and extra environment
// variables (NAME=VALUE; a NAME= entry removes the variable); its output
// goes through files in `scratch`.
RunResult runProgram(const std::filesystem::path &scratch, const std::vector<std::string> &args,
                     const std::vector<std::string> &env = {});
// Runs another built program of the bin folder.
RunResult runBuiltProgram(const std::string &program, const std::filesystem::path &scratch,
                          const std::vector<std::string> &args, const std::vector<std::string> &env = {});

// Runs the built hotsync program with its standard output and error on a
// terminal (a pseudo-terminal); `out` holds what the terminal showed.
RunResult runOnTerminal(const std::vector<std::string> &args, const std::vector<std::string> &env = {});

// Starts the hotsync program, kills it with SIGKILL after `after` (or lets
// it end, when it ends sooner) and waits for it.
void runAndKill(const std::vector<std::string> &args, std::chrono::microseconds after);

std::string describe(const RunResult &r);

// The environment for a hotsync that loads the Tarnlink plug-in under the
// leak checker: the plug-in brings Qt, and through it libgomp, into a
// program that does not link them; when the plug-in is unloaded, libgomp
// goes too and the block its initialiser allocated shows up as a leak. Only
// allocations made by library initialisers are excused (a suppressions file
// written into `scratch`).
std::vector<std::string> pluginSanitizerEnvironment(const std::filesystem::path &scratch);

} // namespace hotsynctest
