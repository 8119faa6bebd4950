#pragma once

// Watches the system-call table of the suite's durable file steps: records
// every call with the file it concerns, fails chosen calls as a full disk
// or an I/O error would, and checks the order that makes a step durable.

#include "fileio/SystemCalls.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gvtest {

enum class Call { Write, Fsync, FsyncFolder, Rename };

struct TracedCall {
    Call kind;
    std::string path; // the file written or flushed, the folder flushed, or the rename's source
    std::string to;   // the rename's target
};

class SystemCallTrace {
public:
    SystemCallTrace();
    SystemCallTrace(const SystemCallTrace &) = delete;
    SystemCallTrace &operator=(const SystemCallTrace &) = delete;

    // The n-th call (1-based, counted from now) of that kind, and with
    // `sticky` every later one too, fails with err without reaching the
    // system. Writes and pwrites count together as Write.
    void failAt(Call kind, int n, int err, bool sticky = false);
    // Calls whose path contains `pathPart` fail from now on with err.
    void failPath(Call kind, const std::string &pathPart, int err);

    const std::vector<TracedCall> &calls() const { return calls_; }
    int count(Call kind) const;
    void clear() { calls_.clear(); }

    // Position of the first call of that kind whose path (or rename target)
    // ends with `suffix`, at or after `from`; nothing when there is none.
    std::optional<std::size_t> find(Call kind, const std::string &suffix, std::size_t from = 0) const;

    // Faults of durability in the calls so far: a file renamed without a
    // flush after its last write, or a rename whose target folder was not
    // flushed after it. Empty when every step was made durable.
    std::vector<std::string> durabilityFaults() const;

private:
    bool shouldFail(Call kind, const std::string &path, int &err);
    void record(Call kind, std::string path, std::string to = {});

    struct Rule {
        Call kind;
        int n;         // 0 for path rules
        std::string part;
        int err;
        bool sticky;
    };
    std::vector<Rule> rules_;
    int counts_[4] = {0, 0, 0, 0};
    std::vector<TracedCall> calls_;
    std::optional<fileio::ScopedSystemCalls> scope_;
};

// The path behind an open descriptor, as the system names it.
std::string pathOfDescriptor(int fd);

} // namespace gvtest
