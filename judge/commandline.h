#pragma once

// Turning a command line into the program to start and its arguments, as the window starts it.

#include <QString>
#include <QStringList>

// Splits `command` as the one-string QProcess::start splits it (whitespace separates, double
// quotes keep blanks inside one argument, three quotes in a row give a literal quote) and
// resolves the first part Windows-style with resolve_program. The result holds the program
// first, then its arguments; it is empty for a command of blanks only.
QStringList program_and_arguments(const QString &command);

// Whether the splitter above would cut `text` apart or take quotes out of it: it holds a blank
// of any kind (full-width ones included) or a double quote.
bool splits_on_command_line(const QString &text);
