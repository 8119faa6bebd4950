// Selbow, the conduit registration program: registers the Gearvane HotSync
// conduit and queues the handheld application for the HotSync users.
#include "selbow/SelbowProgram.h"

#include "hotsync/Display.h"

#include "utils/Utils.h"
#include "utils/VersionNote.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

GV_VERSION_INFO(1, 0, 0, 0, 1, 0, 0, 0, "Palm Conduit Registration", "Brenholt", "Gearvane");

int main(int argc, char **argv)
{
    // Without a display Qt cannot start its usual platform; Selbow then
    // runs on the offscreen one, needs no window when there is at most one
    // HotSync user, and writes what it has to say to standard error.
    const bool hasDisplay = hotsync::hasDisplay();
    if (!hasDisplay)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    try {
        auto utils = std::make_unique<TclsUtils>();
        QApplication application(argc, argv);
        const int status =
            selbow::RunSelbow(*utils, QCoreApplication::applicationFilePath().toStdString(), hasDisplay);
        // No window is left open: the message loop only has pending events to handle.
        QCoreApplication::processEvents();
        utils.reset();
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Selbow: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Selbow: unknown error\n");
    }
    return 1;
}
