#pragma once

// What Windows does when it opens a file or starts a program, done here on other platforms, so
// that a command line typed for the lab behaves the same everywhere.

#include <QString>
#include <string>

// The path that opening `path` actually names: Windows ignores trailing blanks, so the reference
// prefix "./resource/a.exe " names ./resource/a.exe.
std::string file_path(const std::string &path);

// The program that starting `program` actually runs. A name without an extension runs
// "<name>.exe" when that file exists; a name without any "/" is looked for in the working
// directory first, then on the search path. Anything else is returned unchanged.
QString resolve_program(const QString &program);

// resolve_program for a path holding a "/", on its bytes, which need not be UTF-8.
std::string resolve_program_path(const std::string &path);
