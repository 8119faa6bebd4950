// hotsync register | unregister | conduit add | remove | list | configure |
// action set

#include "CommandTable.h"

#include "com/ComError.h"
#include "com/InprocServer.h"
#include "hotsync/ActionStore.h"
#include "hotsync/ComConduit.h"
#include "hotsync/ConduitConfiguration.h"
#include "hotsync/ConduitStore.h"
#include "hotsync/Display.h"

#include <ostream>

namespace hotsynctool {

using namespace hotsync;
namespace fs = std::filesystem;

namespace {

int registerLibrary(Invocation &inv, bool doRegister)
{
    std::string path = inv.args.words[0];
    if (fs::exists(path))
        path = fs::absolute(path).string();
    com::InprocServer server(path);
    com::SetErrorInfo({});
    com::HRESULT hr = doRegister ? server.registerServer() : server.unregisterServer();
    const char *entry = doRegister ? "DllRegisterServer" : "DllUnregisterServer";
    if (com::FAILED(hr))
        throw CommandFailure(std::string(entry) + " of " + path + " failed: " + failureText(hr));
    inv.out << entry << " of " << path << " succeeded\n";
    return exitSuccess;
}

int conduitAdd(Invocation &inv)
{
    const auto &args = inv.args;
    CreatorId creator = parseCreator(args.required("creator"));
    std::string module = args.required("conduit");
    std::string progId = args.required("com-client");
    std::optional<std::int32_t> priority;
    if (auto p = args.value("priority"))
        priority = parseInt(*p, "--priority");
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto &v : args.all("value")) {
        auto eq = v.find('=');
        if (eq == std::string::npos || eq == 0)
            throw UsageError("--value needs NAME=VALUE");
        values.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    }
    ConduitStore store(inv.hostRoot());
    std::int32_t r = store.install(creator);
    if (r == ConduitStore::alreadyRegistered)
        throw CommandFailure("A conduit is registered already for creator " + creator.text() + " (" +
                             std::to_string(r) + ")");
    store.update(creator, [&](ConduitRegistration &c) {
        c.conduitName = module;
        if (priority)
            c.priority = *priority;
        c.directory = args.value("directory").value_or("");
        c.remoteDb = args.value("remote-db").value_or("");
        c.fileName = args.value("file-name").value_or("");
        c.title = args.value("title").value_or("");
        c.setCreatorValue(comClientValue, "", progId);
        for (const auto &[name, value] : values)
            c.setCreatorValue(name, "", value);
    });
    inv.out << "Conduit " << creator.text() << " registered\n";
    return exitSuccess;
}

int conduitRemove(Invocation &inv)
{
    CreatorId creator = parseCreator(inv.args.required("creator"));
    if (!ConduitStore(inv.hostRoot()).remove(creator))
        throw CommandFailure("No conduit is registered for creator " + creator.text());
    inv.out << "Conduit " << creator.text() << " removed\n";
    return exitSuccess;
}

int conduitList(Invocation &inv)
{
    for (const auto &c : ConduitStore(inv.hostRoot()).list()) {
        inv.out << c.creator.text() << "\tpriority=" << c.priority << "\tconduit=" << c.conduitName
                << "\tdirectory=" << c.directory << "\tremoteDb=" << c.remoteDb << "\tfileName=" << c.fileName
                << "\ttitle=" << c.title;
        for (const auto &v : c.creatorValues)
            inv.out << "\t" << v.name << (v.index.empty() ? "" : "[" + v.index + "]") << "=" << v.value;
        inv.out << "\n";
    }
    return exitSuccess;
}

void printOutcome(std::ostream &out, std::int32_t preference, const ConduitActions &actions)
{
    if (preference == 1)
        out << "Permanent action: " << actionName(actions.permanent) << "\n";
    else if (preference == 2)
        out << "Next HotSync only: " << actionName(actions.temporary) << "\n";
    else
        out << "Unchanged\n";
}

std::string userArgument(const Arguments &args)
{
    if (auto id = args.value("user-id"))
        return "--user-id " + *id;
    return "--user \"" + args.value("user").value_or("NAME") + "\"";
}

int configure(Invocation &inv)
{
    const HostRoot &root = inv.hostRoot();
    CreatorId creator = parseCreator(inv.args.required("creator"));
    User user = selectUser(root, inv.args);
    if (!ConduitStore(root).find(creator))
        throw CommandFailure("No conduit is registered for creator " + creator.text());
    // A conduit's dialog needs a windowing system; without one the toolkit
    // would end the program.
    if (!hotsync::hasDisplay())
        throw CommandFailure("configure shows the conduit's settings dialog and needs a display (DISPLAY or "
                             "WAYLAND_DISPLAY is not set). Without one, set the action with: hotsync action set " +
                             userArgument(inv.args) + " --creator " + creator.text() + " ACTION (" + actionWords + ")");
    auto outcome = configureConduit(root, user, creator);
    printOutcome(inv.out, outcome.preference, outcome.actions);
    return exitSuccess;
}

int actionSet(Invocation &inv)
{
    const HostRoot &root = inv.hostRoot();
    CreatorId creator = parseCreator(inv.args.required("creator"));
    std::int32_t action = parseAction(inv.args.words[0]);
    User user = selectUser(root, inv.args);
    if (!ConduitStore(root).find(creator))
        throw CommandFailure("No conduit is registered for creator " + creator.text());
    ActionStore store(root);
    ConduitActions actions = store.get(user.id, creator);
    // The same choices as the conduit's dialog: a permanent action also
    // replaces one chosen for the next HotSync only.
    const bool nextOnly = inv.args.flag("next-only");
    if (nextOnly)
        actions.temporary = action;
    else
        actions = {action, action};
    store.set(user.id, creator, actions);
    printOutcome(inv.out, nextOnly ? 2 : 1, actions);
    return exitSuccess;
}

} // namespace

std::vector<CommandEntry> conduitCommands()
{
    auto userAndCreator = userOptions();
    userAndCreator.push_back({"creator", "CRID", "the conduit's creator ID, four characters (Gearvane: KLXC)"});
    auto actionOptions = userAndCreator;
    actionOptions.push_back({"next-only", nullptr, "for the next HotSync only, then the permanent action again"});

    return {
        {"register",
         "Register a conduit library's COM classes",
         "register LIBRARY",
         "Loads a conduit library and calls its DllRegisterServer, which writes its COM classes into the host's "
         "registry under the HotSync root. Creates the HotSync root when it does not exist yet. A conduit also "
         "needs \"hotsync conduit add\" to take part in HotSyncs.",
         {},
         {1, 1, "one LIBRARY"},
         "hotsync register /usr/lib/x86_64-linux-gnu/gearvane/Tarnlink.so",
         RootUse::Creates,
         [](Invocation &inv) { return registerLibrary(inv, true); }},
        {"unregister",
         "Remove a conduit library's COM classes",
         "unregister LIBRARY",
         "Loads a conduit library and calls its DllUnregisterServer, which removes its COM classes from the "
         "host's registry.",
         {},
         {1, 1, "one LIBRARY"},
         "hotsync unregister /usr/lib/x86_64-linux-gnu/gearvane/Tarnlink.so",
         RootUse::Existing,
         [](Invocation &inv) { return registerLibrary(inv, false); }},
        {"conduit add",
         "Register a conduit for a creator ID",
         "conduit add --creator CRID --conduit MODULE --com-client PROGID [--priority N] [--directory NAME] "
         "[--remote-db NAME] [--file-name NAME] [--title TEXT] [--value NAME=VALUE]...",
         "Registers a conduit for the databases of one creator ID, so that every HotSync runs it. A COM conduit "
         "names the module ComConduit.dll and the ProgID of its sync object. Conduits run by priority, lower "
         "first. Creates the HotSync root when it does not exist yet.",
         {{"creator", "CRID", "the creator ID of the handheld databases, four characters"},
          {"conduit", "MODULE", "the conduit module (ComConduit.dll for a COM conduit)"},
          {"com-client", "PROGID", "the ProgID of the conduit's sync object"},
          {"priority", "N", "the order among conduits, lower first (default 2)"},
          {"directory", "NAME", "the conduit's folder inside each user's data folder"},
          {"remote-db", "NAME", "the conduit's handheld database"},
          {"file-name", "NAME", "the conduit's desktop file"},
          {"title", "TEXT", "the name the log gives the conduit"},
          {"value", "NAME=VALUE", "a further named value of the registration (repeatable)", true}},
         {},
         "hotsync conduit add --creator KLXC --conduit ComConduit.dll --com-client Tarnlink.KLXGVClientNotify "
         "--directory gearvane --title Gearvane",
         RootUse::Creates,
         conduitAdd},
        {"conduit remove",
         "Remove a conduit's registration",
         "conduit remove --creator CRID",
         "Removes the registration of the conduit for a creator ID; HotSyncs no longer run it. The users' "
         "conduit folders stay.",
         {{"creator", "CRID", "the conduit's creator ID"}},
         {},
         "hotsync conduit remove --creator KLXC",
         RootUse::Existing,
         conduitRemove},
        {"conduit list",
         "List the registered conduits",
         "conduit list",
         "Prints one line per registered conduit, in the order HotSyncs run them: its creator ID, then its "
         "settings as NAME=VALUE, separated by tabs.",
         {},
         {},
         "hotsync conduit list",
         RootUse::Existing,
         conduitList},
        {"configure",
         "Choose a conduit's action in its settings dialog",
         "configure (--user NAME | --user-id ID) --creator CRID",
         "Opens the conduit's settings dialog, in which the user chooses what the conduit does at HotSyncs: "
         "synchronize, handheld overwrites desktop, desktop overwrites handheld, or nothing, for good or for the "
         "next HotSync only. Prints the choice. The dialog needs a display; without one, use \"hotsync action "
         "set\".",
         userAndCreator,
         {},
         "hotsync configure --user \"Pat Driver\" --creator KLXC",
         RootUse::Existing,
         configure},
        {"action set",
         "Set a conduit's action without its dialog",
         "action set (--user NAME | --user-id ID) --creator CRID [--next-only] ACTION",
         "Sets what the conduit does at the user's HotSyncs, as its settings dialog would: ACTION is synchronize, "
         "handheld-overwrites, desktop-overwrites or nothing. Without --next-only it is the permanent action; "
         "with it, the action holds for the next HotSync only. \"hotsync sync --action\" overrides both for one "
         "HotSync.",
         actionOptions,
         {1, 1, "one ACTION"},
         "hotsync action set --user \"Pat Driver\" --creator KLXC desktop-overwrites --next-only",
         RootUse::Existing,
         actionSet},
    };
}

} // namespace hotsynctool
