// What main() needs from the system before the command line runs: the
// arguments as UTF-8, and standard streams that pass the program's bytes
// through as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::cli {

// The program's arguments in UTF-8, the first being the program's name. On
// Windows, main()'s own `argv` is in the ANSI code page, which loses every
// character of a file name it cannot hold, so they come from the UTF-16
// command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Sets up std::cout and std::cerr where the system needs it (Windows):
// - the standard output is put in binary mode: `comment --stdout` prints the
//   module's bytes, whose CR LF line ends text mode would turn into CR CR LF;
// - a stream that is a console window is written as UTF-16, which the
//   console shows as it is; UTF-8 bytes it would show in its own code page.
//   Files and pipes get the UTF-8 bytes.
void PrepareStandardStreams();

// Before a whole module is printed (comment --stdout): a standard output
// that is a pipe is asked for a larger buffer than its first 64 KiB, so that
// the printing runs ahead of the reader instead of waiting for it every
// 64 KiB. Nothing on Windows.
void WidenOutputPipe();

// The encoding a terminal of the user's shows text in: on POSIX systems the
// character set of the user's locale (LC_ALL, LC_CTYPE, LANG), asked of it
// without making it the program's; "ANSI_X3.4-1968" (ASCII) under the C
// locale. UTF-8 on Windows, whose console gets the program's UTF-8 as
// UTF-16 (PrepareStandardStreams).
std::string TerminalEncoding();

// The length of the longest start of `bytes` that does not end inside a
// UTF-8 sequence: what can be shown now, the rest waiting for more bytes.
size_t CompleteUtf8Length(std::string_view bytes);

}  // namespace tolvan::cli
