// The `tolvan` command line. RunCli is main() without the process: tests call
// it with their own streams and file system.
#pragma once

#include <iosfwd>

#include "platform/FileSystem.h"

namespace tolvan::cli {

// `fs` is the one file system every command reads and writes through.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, FileSystem& fs);

}  // namespace tolvan::cli
