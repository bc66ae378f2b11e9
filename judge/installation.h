#pragma once

// Where an installed Orvimet keeps its reference programs. Both executables find the folder from
// their own location, never from a path fixed at build time, so that an installed tree moved
// elsewhere as a whole (unpacked into a scratch root, installed under another prefix) still works.

#include <QString>

// The reference programs' folder of an installation whose executables stand in
// `executable_folder`; it need not exist.
QString installed_reference_folder(const QString &executable_folder);
