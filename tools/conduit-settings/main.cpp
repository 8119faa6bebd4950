// gearvane-conduit-settings [--user NAME] [--root DIR]
//
// Opens the Gearvane conduit's settings dialog for a HotSync user and stores
// the action chosen there, as `hotsync configure --creator KLXC` does. Meant
// for a menu entry: without --user it takes the only HotSync user, or asks
// which one when there are several.
#include "hotsync/ConduitConfiguration.h"
#include "hotsync/CreatorId.h"
#include "hotsync/Display.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"
#include "registry/HostRootPath.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <optional>

namespace {

const QString title = QStringLiteral("Gearvane Conduit Settings");

// The user named on the command line, the only user, or the one picked from
// a list; none when the list was cancelled.
std::optional<hotsync::User> chooseUser(const hotsync::HostRoot &root, const QString &name)
{
    hotsync::UserStore store(root);
    if (!name.isEmpty())
        return store.requireByName(name.toStdString());
    const std::vector<hotsync::User> users = store.list();
    if (users.empty())
        throw std::runtime_error("There is no HotSync user yet. Add one with: hotsync users add NAME");
    if (users.size() == 1)
        return users.front();

    std::map<std::string, int> uses;
    for (const auto &u : users)
        ++uses[u.name];
    QStringList labels;
    for (const auto &u : users) {
        QString label = QString::fromStdString(u.name);
        if (uses[u.name] > 1)
            label += QStringLiteral(" (user %1)").arg(u.id);
        labels << label;
    }
    bool ok = false;
    const QString picked =
        QInputDialog::getItem(nullptr, title, QStringLiteral("HotSync user:"), labels, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return users.at(static_cast<std::size_t>(labels.indexOf(picked)));
}

} // namespace

int main(int argc, char **argv)
{
    // Without a display only --help and --version can be answered.
    const bool display = hotsync::hasDisplay();
    std::unique_ptr<QCoreApplication> application;
    if (display)
        application = std::make_unique<QApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gearvane-conduit-settings"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GV_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Opens the Gearvane conduit's settings for a HotSync user."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption userOption(QStringLiteral("user"), QStringLiteral("The HotSync user."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption rootOption(QStringLiteral("root"),
                                        QStringLiteral("The HotSync root folder (default: $HOTSYNC_ROOT)."),
                                        QStringLiteral("DIR"));
    parser.addOption(userOption);
    parser.addOption(rootOption);
    parser.process(*application);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "gearvane-conduit-settings: takes no arguments besides its options\n");
        return 2;
    }
    if (!display) {
        std::fprintf(stderr, "gearvane-conduit-settings: the settings dialog needs a display (DISPLAY or "
                             "WAYLAND_DISPLAY is not set)\n");
        return 1;
    }

    try {
        std::optional<std::filesystem::path> rootFolder;
        if (parser.isSet(rootOption))
            rootFolder = parser.value(rootOption).toStdString();
        const hotsync::HostRoot root = hotsync::HostRoot::resolve(rootFolder);
        // The conduit library reads its registry at the same root.
        ::setenv(registry::hostRootVariable, root.path().c_str(), 1);

        const std::optional<hotsync::User> user = chooseUser(root, parser.value(userOption));
        if (!user)
            return 0;
        const auto outcome = hotsync::configureConduit(root, *user, hotsync::CreatorId::fromText("KLXC"));
        std::printf("%s\n", outcome.preference == 1   ? "Permanent action set"
                            : outcome.preference == 2 ? "Action set for the next HotSync"
                                                      : "Unchanged");
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "gearvane-conduit-settings: %s\n", e.what());
        QMessageBox::critical(nullptr, title, QString::fromStdString(e.what()));
        return 1;
    }
}
