// Fennick, the update checker: checks the update server for a newer release
// of Gearvane and downloads and starts it on request.
#include "fennick/HTTPCheckVersion.h"
#include "fennick/SingleInstance.h"
#include "utils/Utils.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    try {
        QApplication application(argc, argv);
        const QString title = QStringLiteral("Check For New Version");
        // A running instance shows its window again; this start creates
        // nothing. One without a window gives way to this start.
        if (TSingleInstance::RestoreRunning(title) == TSingleInstance::rrShown)
            return 0;
        TSingleInstance instance(title);
        // Another copy may take the name in between, or give it up.
        for (int attempt = 0; !instance.Listen() && attempt < 3; ++attempt)
            if (TSingleInstance::RestoreRunning(title) == TSingleInstance::rrShown)
                return 0;

        TclsUtils utils;
        int result = 0;
        {
            TfrmCheckInternet form(utils);
            instance.OnRestore = [&form] { return form.RestoreWindow(); };
            instance.OnGiveWay = [] { QCoreApplication::exit(0); };
            result = form.RunProgram();
            instance.OnRestore = nullptr;
            instance.OnGiveWay = nullptr;
        }
        return result;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Fennick: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Fennick: unknown error\n");
    }
    return 1;
}
