#pragma once

// Cutting the widget texts into the values of a case. All positions are byte positions in the
// UTF-8 text; a blank is the byte 0x20 alone and only "/" separates directories.

#include <string>
#include <utility>
#include <vector>

// Splits `text` at `delimiter` and appends the parts to `parts`, which is not emptied first;
// empty parts are skipped when `drop_empty` is set. A delimiter at the very end yields no empty
// part after it. Returns `parts`.
std::vector<std::string> &split_string(const std::string &text, char delimiter,
                                       std::vector<std::string> &parts, bool drop_empty);

// The location up to and including its last "/"; empty without one.
std::string program_directory(const std::string &location);

// The typed command without its leading blanks, cut at its first blank into the program name
// and the options; the options keep that blank and every one after it.
std::pair<std::string, std::string> split_command(const std::string &typed);

// The program name of the automatic suite: the last part of the location split at "/" with empty
// parts dropped; empty when the location holds nothing but "/".
std::string suite_program_name(const std::string &location);
