// Pictures of the conduit's settings dialog and of Selbow's user picker
// (with two HotSync users in a scratch host root).
//
//   gearvane-shots-selbow FOLDER
#include "ConfigureForm.h"
#include "GetUsersForm.h"
#include "WindowShot.h"
#include "hotsync/HostRoot.h"
#include "hotsync/UserStore.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gearvane-shots-selbow FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    qputenv("HOTSYNC_ROOT", scratch.path().toLocal8Bit());
    hotsync::UserStore users(hotsync::HostRoot(scratch.path().toStdString()));
    users.add("Pat Driver");
    users.add("Sam Mechanic");

    TclsUtils utils;
    bool ok = true;
    {
        conduit::TfrmConfigure dialog;
        ok = SaveWindowShot(dialog, folder, "tarnlink-configure.png") && ok;
    }
    {
        TfrmGetUsers picker(utils);
        ok = SaveWindowShot(picker, folder, "selbow-users.png") && ok;
    }
    return ok ? 0 : 1;
}
