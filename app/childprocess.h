#pragma once

// The window's process object. A student program in an endless loop blocks the window until it
// ends; should the user then close or kill the window, the program must not run on unseen. Each
// child asks the kernel to be killed when the window's process ends, whatever the way it ends.

class QProcess;

// A QProcess whose children end with the process that created it.
QProcess *new_window_process();
