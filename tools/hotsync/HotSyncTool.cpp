#include "HotSyncTool.h"

#include "CommandLine.h"
#include "DatabaseDump.h"
#include "ListenCommand.h"
#include "TraceCommand.h"

#include "com/ComError.h"
#include "com/InprocServer.h"
#include "hotsync/ActionStore.h"
#include "hotsync/BackupStore.h"
#include "hotsync/ComConduit.h"
#include "hotsync/ConduitConfiguration.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/HostError.h"
#include "hotsync/InstallQueue.h"
#include "hotsync/SyncLock.h"
#include "hotsync/SyncRunner.h"
#include "hotsync/UserStore.h"
#include "registry/HostRootPath.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ostream>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

constexpr const char *usageText =
    "Usage: hotsync [--root DIR] COMMAND ...\n"
    "  users add NAME [--directory DIR]\n"
    "  users list\n"
    "  register LIBRARY | unregister LIBRARY\n"
    "  conduit add --creator CRID --conduit MODULE --com-client PROGID [--priority N]\n"
    "              [--directory NAME] [--remote-db NAME] [--file-name NAME] [--title TEXT]\n"
    "              [--value NAME=VALUE]...\n"
    "  conduit remove --creator CRID\n"
    "  conduit list\n"
    "  install (--user NAME | --user-id ID) FILE...\n"
    "  configure (--user NAME | --user-id ID) --creator CRID\n"
    "  sync (--user NAME | --user-id ID) --handheld DIR\n"
    "       [--action synchronize|handheld-overwrites|desktop-overwrites|nothing] [--wait SECONDS]\n"
    "  listen (--net | --serial-net | --serial DEVICE | --usb) [--port N] [--address ADDR]\n"
    "         [--once] [--create-user] [--trace FILE] [--timeout SECONDS]\n"
    "  backups (--user NAME | --user-id ID)\n"
    "  restore (--user NAME | --user-id ID) [--backup N] [--handheld DIR | --to DIR]\n"
    "  dump FILE\n"
    "  trace FILE [--check]\n";

// Exit status of a HotSync that gave up because another one was running
// (EX_TEMPFAIL: try again later).
constexpr int exitBusy = 75;

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

std::int32_t parseInt(const std::string &text, const std::string &what)
{
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw UsageError(what + " must be a whole number, not \"" + text + "\"");
    return v;
}

CreatorId parseCreator(const std::string &text)
{
    try {
        return CreatorId::fromText(text);
    } catch (const HostError &e) {
        throw UsageError(e.what());
    }
}

std::int32_t parseAction(const std::string &text)
{
    if (text == "synchronize")
        return syncaction::synchronize;
    if (text == "handheld-overwrites")
        return syncaction::handheldOverwrites;
    if (text == "desktop-overwrites")
        return syncaction::desktopOverwrites;
    if (text == "nothing")
        return syncaction::doNothing;
    throw UsageError("unknown action \"" + text + "\"");
}

std::string actionName(std::optional<std::int32_t> code)
{
    if (!code)
        return "none";
    switch (*code) {
    case 0:
    case 1:
        return "synchronize";
    case 2:
        return "handheld-overwrites";
    case 3:
        return "desktop-overwrites";
    case 6:
        return "nothing";
    default:
        return "code " + std::to_string(*code);
    }
}

void expectWords(const CommandLine &cmd, std::size_t count, const char *what)
{
    if (cmd.words().size() != count)
        throw UsageError(what);
}

User selectUser(const HostRoot &root, const CommandLine &cmd)
{
    auto name = cmd.option("user");
    auto id = cmd.option("user-id");
    if (name && id)
        throw UsageError("give --user or --user-id, not both");
    if (!name && !id)
        throw UsageError("option --user is required");
    UserStore users(root);
    return id ? users.require(parseInt(*id, "--user-id")) : users.requireByName(*name);
}

class Commands {
public:
    Commands(HostRoot root, std::ostream &out) : root_(std::move(root)), out_(out) {}

    int run(const std::string &command, const std::vector<std::string> &args)
    {
        if (command == "users")
            return users(args);
        if (command == "register" || command == "unregister")
            return registerLibrary(command == "register", args);
        if (command == "conduit")
            return conduit(args);
        if (command == "install")
            return install(args);
        if (command == "configure")
            return configure(args);
        if (command == "sync")
            return sync(args);
        if (command == "listen")
            return listenCommand(root_, args, out_);
        if (command == "backups")
            return backups(args);
        if (command == "restore")
            return restore(args);
        throw UsageError("unknown command \"" + command + "\"");
    }

private:
    int users(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"directory"});
        const auto &w = cmd.words();
        if (!w.empty() && w[0] == "add") {
            expectWords(cmd, 2, "users add takes one NAME");
            std::optional<fs::path> dir;
            if (auto d = cmd.option("directory"))
                dir = *d;
            out_ << UserStore(root_).add(w[1], dir).id << "\n";
            return 0;
        }
        if (!w.empty() && w[0] == "list") {
            expectWords(cmd, 1, "users list takes no arguments");
            if (cmd.option("directory"))
                throw UsageError("users list takes no options");
            for (const auto &u : UserStore(root_).list())
                out_ << u.id << "\t" << u.name << "\t" << u.directory.string() << "\n";
            return 0;
        }
        throw UsageError("users needs add or list");
    }

    int registerLibrary(bool doRegister, const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {});
        expectWords(cmd, 1, "register and unregister take one LIBRARY");
        std::string path = cmd.words()[0];
        if (fs::exists(path))
            path = fs::absolute(path).string();
        com::InprocServer server(path);
        com::SetErrorInfo({});
        com::HRESULT hr = doRegister ? server.registerServer() : server.unregisterServer();
        const char *entry = doRegister ? "DllRegisterServer" : "DllUnregisterServer";
        if (com::FAILED(hr))
            throw CommandFailure(std::string(entry) + " of " + path + " failed: " + failureText(hr));
        out_ << entry << " of " << path << " succeeded\n";
        return 0;
    }

    int conduit(const std::vector<std::string> &args)
    {
        CommandLine cmd(
            args, {"creator", "conduit", "com-client", "priority", "directory", "remote-db", "file-name", "title"},
            {"value"});
        const auto &w = cmd.words();
        ConduitStore store(root_);
        if (w.size() == 1 && w[0] == "add") {
            CreatorId creator = parseCreator(cmd.required("creator"));
            std::string module = cmd.required("conduit");
            std::string progId = cmd.required("com-client");
            std::optional<std::int32_t> priority;
            if (auto p = cmd.option("priority"))
                priority = parseInt(*p, "--priority");
            std::vector<std::pair<std::string, std::string>> values;
            for (const auto &v : cmd.all("value")) {
                auto eq = v.find('=');
                if (eq == std::string::npos || eq == 0)
                    throw UsageError("--value needs NAME=VALUE");
                values.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            }
            std::int32_t r = store.install(creator);
            if (r == ConduitStore::alreadyRegistered)
                throw CommandFailure("A conduit is registered already for creator " + creator.text() + " (" +
                                     std::to_string(r) + ")");
            store.update(creator, [&](ConduitRegistration &c) {
                c.conduitName = module;
                if (priority)
                    c.priority = *priority;
                c.directory = cmd.option("directory").value_or("");
                c.remoteDb = cmd.option("remote-db").value_or("");
                c.fileName = cmd.option("file-name").value_or("");
                c.title = cmd.option("title").value_or("");
                c.setCreatorValue(comClientValue, "", progId);
                for (const auto &[name, value] : values)
                    c.setCreatorValue(name, "", value);
            });
            out_ << "Conduit " << creator.text() << " registered\n";
            return 0;
        }
        if (w.size() == 1 && w[0] == "remove") {
            CreatorId creator = parseCreator(cmd.required("creator"));
            if (!store.remove(creator))
                throw CommandFailure("No conduit is registered for creator " + creator.text());
            out_ << "Conduit " << creator.text() << " removed\n";
            return 0;
        }
        if (w.size() == 1 && w[0] == "list") {
            for (const auto &c : store.list()) {
                out_ << c.creator.text() << "\tpriority=" << c.priority << "\tconduit=" << c.conduitName
                     << "\tdirectory=" << c.directory << "\tremoteDb=" << c.remoteDb << "\tfileName=" << c.fileName
                     << "\ttitle=" << c.title;
                for (const auto &v : c.creatorValues)
                    out_ << "\t" << v.name << (v.index.empty() ? "" : "[" + v.index + "]") << "=" << v.value;
                out_ << "\n";
            }
            return 0;
        }
        throw UsageError("conduit needs add, remove or list");
    }

    int install(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"user", "user-id"});
        if (cmd.words().empty())
            throw UsageError("install needs at least one FILE");
        User user = selectUser(root_, cmd);
        InstallQueue queue(root_);
        for (const auto &file : cmd.words()) {
            std::error_code ec;
            if (!fs::is_regular_file(file, ec))
                throw HostError("Cannot queue " + fs::absolute(file).lexically_normal().string() + ": no such file");
            queue.enqueue(user.id, file);
            out_ << "Queued " << fs::absolute(file).lexically_normal().string() << " for " << user.name << "\n";
        }
        return 0;
    }

    int configure(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"user", "user-id", "creator"});
        expectWords(cmd, 0, "configure takes no arguments besides its options");
        CreatorId creator = parseCreator(cmd.required("creator"));
        User user = selectUser(root_, cmd);
        auto outcome = configureConduit(root_, user, creator);
        if (outcome.preference == 1)
            out_ << "Permanent action: " << actionName(outcome.actions.permanent) << "\n";
        else if (outcome.preference == 2)
            out_ << "Next HotSync only: " << actionName(outcome.actions.temporary) << "\n";
        else
            out_ << "Unchanged\n";
        return 0;
    }

    int sync(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"user", "user-id", "handheld", "action", "wait"});
        expectWords(cmd, 0, "sync takes no arguments besides its options");
        SyncOptions options;
        options.handheldFolder = cmd.required("handheld");
        if (auto a = cmd.option("action"))
            options.action = parseAction(*a);
        if (auto w = cmd.option("wait")) {
            std::int32_t seconds = parseInt(*w, "--wait");
            if (seconds < 0)
                throw UsageError("--wait must not be negative");
            options.lockWait = std::chrono::seconds(seconds);
        }
        options.userId = selectUser(root_, cmd).id;
        SyncReport report = SyncRunner(root_).run(options, [&](const std::string &line) { out_ << line << "\n"; });
        out_.flush();
        if (report.busy)
            return exitBusy;
        return report.success ? 0 : 1;
    }

    int backups(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"user", "user-id"});
        expectWords(cmd, 0, "backups takes no arguments besides its options");
        User user = selectUser(root_, cmd);
        for (const auto &b : BackupStore(root_, user.id).list()) {
            out_ << b.number << "\t" << localTime(b.created) << "\tbefore " << b.reason;
            if (b.outcome != BackupOutcome::Unknown)
                out_ << " (" << (b.outcome == BackupOutcome::Completed ? "completed" : "failed") << ")";
            out_ << "\t" << contents(b);
            if (!b.handheldFolder.empty())
                out_ << "\tfrom " << b.handheldFolder.string();
            out_ << "\n";
        }
        return 0;
    }

    int restore(const std::vector<std::string> &args)
    {
        CommandLine cmd(args, {"user", "user-id", "backup", "handheld", "to"});
        expectWords(cmd, 0, "restore takes no arguments besides its options");
        auto handheldOption = cmd.option("handheld");
        auto toOption = cmd.option("to");
        if (handheldOption && toOption)
            throw UsageError("give --handheld or --to, not both");
        std::optional<std::int32_t> number;
        if (auto n = cmd.option("backup"))
            number = parseInt(*n, "--backup");
        User user = selectUser(root_, cmd);
        BackupStore store(root_, user.id);
        // The backup goes back where it came from, unless --to says where
        // else; --handheld names the same folder, as a check.
        fs::path handheld;
        if (toOption)
            handheld = *toOption;
        else if (handheldOption)
            handheld = *handheldOption;
        else if (auto from = store.find(number).handheldFolder; !from.empty())
            handheld = from;
        else
            throw UsageError("this backup does not say which handheld folder it came from: give --handheld DIR");
        if (!fs::is_directory(handheld))
            throw CommandFailure("The handheld folder " + handheld.string() + " does not exist");
        std::string holder;
        auto lock = SyncLock::take(
            root_, user, handheld, std::chrono::seconds(10), "restore", [&](const std::string &line) { out_ << line << "\n"; },
            holder);
        if (!lock)
            throw BusyFailure("Another HotSync or restore is running" + (holder.empty() ? "" : " (" + holder + ")") +
                              "; nothing was restored");
        auto scope = BackupScope::of(user, handheld, ConduitStore(root_).list());
        auto report = store.restore(number, scope, std::chrono::system_clock::now(), toOption.has_value());
        out_ << "Backup " << report.before.number << " saved: the state before this restore\n"
             << "Restored backup " << report.restored.number << " of " << localTime(report.restored.created) << ": "
             << contents(report.restored) << "\n";
        for (const auto &file : report.removedFiles)
            out_ << "Removed " << file.string() << ": it was not in backup " << report.restored.number
                 << " (backup " << report.before.number << " keeps it)\n";
        for (const auto &warning : report.warnings)
            out_ << "WARNING (Backup): " << warning << "\n";
        return 0;
    }

    static std::string localTime(std::chrono::system_clock::time_point when)
    {
        std::time_t t = std::chrono::system_clock::to_time_t(when);
        std::tm local{};
        localtime_r(&t, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        return text;
    }

    static std::string contents(const Backup &b)
    {
        std::string text = std::to_string(b.handheld.size()) + " handheld databases";
        for (const auto &c : b.conduits)
            text += ", " + c.creator.text() + " " + std::to_string(c.files.size()) + " files";
        return text;
    }

    HostRoot root_;
    std::ostream &out_;
};

} // namespace

HotSyncTool::HotSyncTool(std::ostream &out, std::ostream &err) : out_(out), err_(err) {}

int HotSyncTool::run(std::vector<std::string> args)
{
    try {
        auto rootOption = takeRootOption(args);
        if (args.empty())
            throw UsageError("no command given");
        std::string command = args.front();
        args.erase(args.begin());
        if (command == "help" || command == "--help" || command == "-h") {
            out_ << usageText;
            return 0;
        }
        if (command == "dump") {
            CommandLine cmd(args, {});
            expectWords(cmd, 1, "dump takes one FILE");
            dumpDatabase(cmd.words()[0], out_);
            return 0;
        }
        if (command == "trace")
            return traceCommand(args, out_, err_);
        HostRoot root = HostRoot::resolve(rootOption ? std::optional<fs::path>(*rootOption) : std::nullopt);
        // Libraries this program loads find the same root.
        ::setenv(registry::hostRootVariable, root.path().c_str(), 1);
        return Commands(root, out_).run(command, args);
    } catch (const UsageError &e) {
        err_ << "hotsync: " << e.what() << "\n" << usageText;
        return 2;
    } catch (const BusyFailure &e) {
        out_.flush();
        err_ << "hotsync: " << e.what() << "\n";
        return exitBusy;
    } catch (const std::exception &e) {
        out_.flush();
        err_ << "hotsync: " << e.what() << "\n";
        return 1;
    } catch (...) {
        err_ << "hotsync: unknown error\n";
        return 1;
    }
}

} // namespace hotsynctool
