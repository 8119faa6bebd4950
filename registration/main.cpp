// Selbow, the conduit registration program: registers the Gearvane HotSync
// conduit and queues the handheld application for the HotSync users.
#include "selbow/SelbowProgram.h"

#include "utils/Utils.h"
#include "utils/VersionNote.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <memory>

GV_VERSION_INFO(1, 0, 0, 0, 1, 0, 0, 0, "Palm Conduit Registration", "Brenholt", "Gearvane");

int main(int argc, char **argv)
{
    try {
        auto utils = std::make_unique<TclsUtils>();
        QApplication application(argc, argv);
        const int status = selbow::RunSelbow(*utils, QCoreApplication::applicationFilePath().toStdString());
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
