// Pictures of Fennick's three windows with typical content.
//
//   gearvane-shots-fennick FOLDER
#include "WindowShot.h"
#include "fennick/HTTPCheckVersion.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "fennick/HTTPTransferUpdate.h"
#include "updater/IniFile.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gearvane-shots-fennick FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;

    TclsUtils utils;
    const TUpdateServer server{QStringLiteral("www.brenholt.example"), QStringLiteral("brenholt.example")};
    bool ok = true;
    {
        TfrmCheckInternet form(utils, server);
        ok = SaveWindowShot(form, folder, "fennick-check.png") && ok;
    }
    {
        const std::string ini = (scratch.path() + QStringLiteral("/version.ini")).toStdString();
        std::ofstream(ini) << "[GEARVANE]\r\nAppName=Gearvane\r\nVersion=2.5.0.0\r\nFileName=gvpatch.exe\r\n"
                              "FullFileName=gvfull.exe\r\nInfo00=Service reminders by mileage and by date.\r\n"
                              "Info01=#PARA#\r\nInfo02=Faster HotSync of large service logs.\r\n";
        TfrmNewVersionAvailable dialog(utils, server);
        dialog.LoadVersionInfo(updater::TIniFile(ini), "2.4.0.0", "GEARVANE");
        ok = SaveWindowShot(dialog, folder, "fennick-new-version.png") && ok;
    }
    {
        TfrmTransferUpdate dialog(utils, server);
        // A picture of the progress only: the transfer itself never starts.
        dialog.tmrTransfer->blockSignals(true);
        dialog.lblTopStatus->setText(QStringLiteral("Retrieving update..."));
        dialog.lblTransferStatus->setText(QStringLiteral("1,250,000 of 2,500,000 bytes retrieved"));
        dialog.Gauge1->setValue(50);
        ok = SaveWindowShot(dialog, folder, "fennick-transfer.png") && ok;
    }
    return ok ? 0 : 1;
}
