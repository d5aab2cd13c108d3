// What main() needs from the system before the command line runs: the
// arguments as UTF-8, and a standard output that passes bytes through as
// they are.
#pragma once

#include <string>
#include <vector>

namespace tolvan::cli {

// The program's arguments in UTF-8, the first being the program's name. On
// Windows, main()'s own `argv` is in the ANSI code page, which loses every
// character of a file name it cannot hold, so they come from the UTF-16
// command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Puts the standard output in binary mode where the system has a text mode
// (Windows): `comment --stdout` prints the module's bytes, whose CR LF line
// ends would otherwise come out as CR CR LF.
void UseBinaryStandardOutput();

}  // namespace tolvan::cli
