#pragma once

#include "hotsync/CreatorId.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hotsynctool {

// Exit statuses of the program.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;
// A HotSync or restore that gave up because another one held the user or
// the handheld (EX_TEMPFAIL: try again later).
inline constexpr int exitBusy = 75;

// A command line the program cannot make sense of; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure of the command itself (not of its usage); exit status 1.
class CommandFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Another HotSync or restore kept the user or the handheld; exitBusy.
class BusyFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One option of a command: "--name VALUE", or "--name" alone when `value`
// is null.
struct OptionEntry {
    const char *name;
    const char *value; // placeholder shown in the help ("NAME"), or nullptr for a flag
    const char *help;  // one line
    bool repeatable = false;
};

// The words a command takes besides its options.
struct WordCount {
    int min = 0;
    int max = 0;                // -1: no limit
    const char *text = nullptr; // what the usage error says it takes ("one NAME")
};

// Where a command stands with the HotSync root.
enum class RootUse {
    None,     // works without one (dump, trace)
    Existing, // the root must exist
    Creates,  // creates the root when it is missing (users add, register, conduit add)
};

// The options and words of one command line, as the parser found them.
class Arguments {
public:
    std::vector<std::string> words;

    std::optional<std::string> value(const std::string &name) const;
    // Raises a UsageError when the option is missing.
    std::string required(const std::string &name) const;
    std::vector<std::string> all(const std::string &name) const;
    bool flag(const std::string &name) const { return values_.count(name) != 0; }

    void add(const std::string &name, std::string value) { values_.emplace(name, std::move(value)); }
    std::size_t count(const std::string &name) const { return values_.count(name); }

private:
    std::multimap<std::string, std::string> values_;
};

// What a command runs with.
struct Invocation {
    const Arguments &args;
    std::ostream &out;
    std::ostream &err;
    // The resolved root (also for RootUse::None, when it can be found).
    std::optional<hotsync::HostRoot> root;
    // Standard output is a terminal: progress may be drawn there.
    bool outIsTerminal = false;
    // Standard error is another file than standard output, so that lines
    // written to both are not seen twice.
    bool errIsSeparate = true;

    const hotsync::HostRoot &hostRoot() const;
};

// One command of the program: everything its help shows, and what runs it.
// The texts are plain and free of terminal formatting, so that the manual
// page can be written from them ("hotsync help --all" prints them all).
struct CommandEntry {
    std::string name;        // "sync", or "users add" for a command of a group
    const char *summary;     // one line, for the command list
    const char *synopsis;    // after "hotsync ", without the common options
    const char *description; // what the command does; paragraphs separated by blank lines
    std::vector<OptionEntry> options;
    WordCount words;
    const char *example;
    RootUse root = RootUse::Existing;
    std::function<int(Invocation &)> run;
};

// The options that select a HotSync user, in the order the help lists them.
std::vector<OptionEntry> userOptions();
// The user that --user or --user-id names; raises a UsageError when neither
// or both are given, a HostError when there is no such user.
hotsync::User selectUser(const hotsync::HostRoot &root, const Arguments &args);

std::int32_t parseInt(const std::string &text, const std::string &what);
hotsync::CreatorId parseCreator(const std::string &text);
// The sync type code of an action name (synchronize, handheld-overwrites,
// desktop-overwrites, nothing); raises a UsageError for another word.
std::int32_t parseAction(const std::string &text);
std::string actionName(std::optional<std::int32_t> code);
inline constexpr const char *actionWords = "synchronize, handheld-overwrites, desktop-overwrites or nothing";

} // namespace hotsynctool
