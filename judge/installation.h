#pragma once

// Where an installed Orvimet keeps its reference programs. Both executables find the folder from
// their own location, never from a path fixed at build time, so that an installed tree moved
// elsewhere as a whole (unpacked into a scratch root, installed under another prefix) still works.

#include <QString>
#include <string>
#include <vector>

// The reference programs' folder of an installation whose executables stand in
// `executable_folder`; it need not exist.
QString installed_reference_folder(const QString &executable_folder);

// The reference program the window runs for an exercise (0 stack, 1 queue, 2 queue simulated by
// stacks). ./resource/ of the working directory comes first, as it always has; when it lacks the
// program, the installed folder of the window in `executable_folder` serves, so that an installed
// window started in any folder still judges. A build tree has no installed folder: its window
// never takes the resource/ beside itself unasked.
struct WindowReference
{
    std::string prefix;              // command-line prefix ending in one blank; empty: none found
    std::vector<std::string> looked; // every program path tried, in order, for the message
};
WindowReference window_reference(int flag_stack, const QString &executable_folder);
