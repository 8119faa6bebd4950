#include "WindowShot.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

bool SaveWindowShot(QWidget &window, const QString &folder, const char *name)
{
    QDir().mkpath(folder);
    window.show();
    window.raise();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
    const QString file = folder + QLatin1Char('/') + QString::fromLatin1(name);
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    window.hide();
    return true;
}
