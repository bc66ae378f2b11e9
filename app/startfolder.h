#pragma once

// The window's working directory. Started from a terminal, the window works in the folder it was
// started in, as it always has: ./resource/ and the students' answer files are there. Started
// from the desktop menu, that folder is whatever the desktop chose (often the home folder), so
// the window gets one of its own below the user's data folder, whose resource/ leads to the
// installed reference programs.

#include <QString>

// The desktop entry sets this variable to a non-empty value; a terminal never does. Start-up
// removes it again, so that the programs under test see the environment the window was given.
constexpr char menu_start_variable[] = "ORVIMET_FROM_MENU";

struct StartFolder
{
    QString folder;    // the working directory to take; empty: stay where started
    QString reference; // where its resource/ has to lead
};

// Where the window works: `data_folder` is the user's data folder (empty when there is none) and
// `executable_folder` the window's own.
StartFolder start_folder(bool from_menu, const QString &data_folder,
                         const QString &executable_folder);

// Creates `start.folder` and makes its resource/ a link to `start.reference`. A link is kept when
// it leads there and re-pointed when not (an installation moved or upgraded); anything else in
// its place was not made by the window, perhaps by a program under test, and is moved aside to
// resource.old, resource.old2, ... so that nothing is lost. Returns what failed, or an empty text.
QString prepare_start_folder(const StartFolder &start);

// The directory argument of the file dialog, `proposed` being the file name it proposes. Where
// the window works in a folder of its own (`own_folder`, as start_folder gives it), that folder
// is hidden and holds the reference programs: the dialog opens in the folder of the program in
// `location`, else in `home`. Anywhere else it opens in the working directory, as it always has.
QString dialog_directory(const QString &proposed, const QString &location,
                         const QString &working_folder, const QString &own_folder,
                         const QString &home);
