#pragma once

// What the window's process sets up around the window: Qt's own texts (the file dialog's buttons
// and labels) in the window's language, the window's icon, and the id by which desktops match the
// running window with its menu entry.

#include <QIcon>
#include <QString>

class QApplication;

// Loads Qt's Chinese translations from Qt's own translations folder; false when they are not
// installed, and then Qt's texts stay in English.
bool load_qt_translations(QApplication &app);

// The icon installed with the window whose executable stands in `executable_folder`, at every
// size the installation holds; null when there is no installation there (a build tree).
QIcon installed_icon(const QString &executable_folder);

// Everything above, and the desktop file name; the icon from the theme when not installed beside.
void set_up_application(QApplication &app);
