#pragma once

#include "Command.h"

#include <optional>
#include <string>
#include <vector>

namespace hotsynctool {

// The options every command takes besides its own.
std::vector<OptionEntry> commonOptions();

// Parses the arguments that follow a command's name with getopt_long:
// options may stand before, between and after the words, "--name=value"
// and "--name value" are the same, an unambiguous abbreviation stands for
// the whole name, and "--" ends the options. Raises a UsageError for an
// unknown option, a missing or surplus value, an option given twice that
// may be given once, or a wrong number of words.
Arguments parseArguments(const CommandEntry &command, const std::vector<std::string> &args);

// The options before the command: --root DIR, --help (-h), --version (-V).
struct GlobalOptions {
    std::optional<std::string> root;
    bool help = false;
    bool version = false;
    std::vector<std::string> rest; // the command and its arguments
};
GlobalOptions parseGlobalOptions(const std::vector<std::string> &args);

// Whether the arguments ask for help (--help or -h before any "--").
bool asksForHelp(const std::vector<std::string> &args);

} // namespace hotsynctool
