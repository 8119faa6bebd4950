#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hotsynctool {

// A command line the program cannot make sense of; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words and options of one command line. Options are "--name value" or
// "--name=value"; every other word is positional. Each command states the
// options it takes; an option it does not take is a usage error.
class CommandLine {
public:
    // `repeatable` options may appear several times; others only once.
    CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &valueOptions,
                const std::vector<std::string> &repeatable = {});

    const std::vector<std::string> &words() const { return words_; }
    std::optional<std::string> option(const std::string &name) const;
    std::string required(const std::string &name) const;
    std::vector<std::string> all(const std::string &name) const;

private:
    std::vector<std::string> words_;
    std::multimap<std::string, std::string> options_;
};

// Takes the global "--root DIR" (or "--root=DIR") out of the arguments,
// wherever it stands.
std::optional<std::string> takeRootOption(std::vector<std::string> &args);

} // namespace hotsynctool
