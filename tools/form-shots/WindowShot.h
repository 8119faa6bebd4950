#pragma once

#include <QString>

class QWidget;

// Shows the window, lets it draw, and saves a picture of it as
// FOLDER/NAME; prints the file name. False when the file cannot be written.
bool SaveWindowShot(QWidget &window, const QString &folder, const char *name);
