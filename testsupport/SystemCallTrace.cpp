#include "SystemCallTrace.h"

#include <cerrno>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace gvtest {

std::string pathOfDescriptor(int fd)
{
    std::error_code ec;
    auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : target.string();
}

SystemCallTrace::SystemCallTrace()
{
    const fileio::SystemCalls real = fileio::defaultSystemCalls();
    fileio::SystemCalls calls;
    calls.write = [this, real](int fd, const void *data, size_t size) -> ssize_t {
        std::string path = pathOfDescriptor(fd);
        record(Call::Write, path);
        int err = 0;
        if (shouldFail(Call::Write, path, err)) {
            errno = err;
            return -1;
        }
        return real.write(fd, data, size);
    };
    calls.pwrite = [this, real](int fd, const void *data, size_t size, off_t offset) -> ssize_t {
        std::string path = pathOfDescriptor(fd);
        record(Call::Write, path);
        int err = 0;
        if (shouldFail(Call::Write, path, err)) {
            errno = err;
            return -1;
        }
        return real.pwrite(fd, data, size, offset);
    };
    calls.fsync = [this, real](int fd) {
        std::string path = pathOfDescriptor(fd);
        record(Call::Fsync, path);
        int err = 0;
        if (shouldFail(Call::Fsync, path, err)) {
            errno = err;
            return -1;
        }
        return real.fsync(fd);
    };
    calls.fsyncFolder = [this, real](int fd) {
        std::string path = pathOfDescriptor(fd);
        record(Call::FsyncFolder, path);
        int err = 0;
        if (shouldFail(Call::FsyncFolder, path, err)) {
            errno = err;
            return -1;
        }
        return real.fsyncFolder(fd);
    };
    calls.rename = [this, real](const char *from, const char *to) {
        std::error_code ec;
        auto canonicalFolder = [&](const char *p) {
            std::filesystem::path path(p);
            auto folder = std::filesystem::weakly_canonical(path.parent_path().empty() ? "." : path.parent_path(), ec);
            return (folder / path.filename()).string();
        };
        std::string source = canonicalFolder(from), target = canonicalFolder(to);
        record(Call::Rename, source, target);
        int err = 0;
        if (shouldFail(Call::Rename, source, err)) {
            errno = err;
            return -1;
        }
        return real.rename(from, to);
    };
    scope_.emplace(std::move(calls));
}

void SystemCallTrace::record(Call kind, std::string path, std::string to)
{
    calls_.push_back({kind, std::move(path), std::move(to)});
}

bool SystemCallTrace::shouldFail(Call kind, const std::string &path, int &err)
{
    const int n = ++counts_[static_cast<int>(kind)];
    for (const Rule &rule : rules_) {
        if (rule.kind != kind)
            continue;
        const bool hit = rule.n > 0 ? (n == rule.n || (rule.sticky && n > rule.n))
                                    : path.find(rule.part) != std::string::npos;
        if (hit) {
            err = rule.err;
            return true;
        }
    }
    return false;
}

void SystemCallTrace::failAt(Call kind, int n, int err, bool sticky)
{
    rules_.push_back({kind, counts_[static_cast<int>(kind)] + n, {}, err, sticky});
}

void SystemCallTrace::failPath(Call kind, const std::string &pathPart, int err)
{
    rules_.push_back({kind, 0, pathPart, err, true});
}

int SystemCallTrace::count(Call kind) const
{
    int n = 0;
    for (const auto &c : calls_)
        n += c.kind == kind;
    return n;
}

std::optional<std::size_t> SystemCallTrace::find(Call kind, const std::string &suffix, std::size_t from) const
{
    auto endsWith = [&](const std::string &text) {
        return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    for (std::size_t i = from; i < calls_.size(); ++i) {
        if (calls_[i].kind == kind && (endsWith(calls_[i].path) || endsWith(calls_[i].to)))
            return i;
    }
    return std::nullopt;
}

std::vector<std::string> SystemCallTrace::durabilityFaults() const
{
    std::vector<std::string> faults;
    std::map<std::string, bool> unflushed;           // file -> written since its last flush
    std::map<std::string, std::size_t> pendingFolder; // folder -> rename waiting for its flush
    for (std::size_t i = 0; i < calls_.size(); ++i) {
        const TracedCall &c = calls_[i];
        switch (c.kind) {
        case Call::Write:
            unflushed[c.path] = true;
            break;
        case Call::Fsync:
            unflushed[c.path] = false;
            break;
        case Call::FsyncFolder:
            pendingFolder.erase(c.path);
            break;
        case Call::Rename: {
            if (unflushed[c.path])
                faults.push_back("renamed " + c.path + " over " + c.to + " without flushing it after its last write");
            unflushed.erase(c.path);
            std::string folder = std::filesystem::path(c.to).parent_path().string();
            pendingFolder.emplace(folder, i);
            break;
        }
        }
    }
    for (const auto &[folder, at] : pendingFolder)
        faults.push_back("the folder " + folder + " was not flushed after renaming " + calls_[at].path + " to " +
                         calls_[at].to);
    return faults;
}

} // namespace gvtest
