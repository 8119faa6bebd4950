// Fennick, the update checker: checks the update server for a newer release
// of Gearvane and downloads and starts it on request.
#include "fennick/ApplicationEvents.h"
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
        // A running instance shows its window again; this start creates nothing.
        if (TSingleInstance::RestoreRunning(title))
            return 0;
        TSingleInstance instance(title);
        if (!instance.Listen() && TSingleInstance::RestoreRunning(title))
            return 0;

        TclsUtils utils;
        int result = 0;
        {
            TfrmCheckInternet form(utils);
            instance.OnRestore = [&form] {
                TApplicationEvents::Instance().Restore();
                QWidget *window = QApplication::activeModalWidget();
                if (window == nullptr)
                    window = &form;
                if (window->isVisible()) {
                    window->showNormal();
                    window->raise();
                    window->activateWindow();
                }
            };
            form.show();
            result = application.exec();
            instance.OnRestore = nullptr;
        }
        return result;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Fennick: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Fennick: unknown error\n");
    }
    return 1;
}
