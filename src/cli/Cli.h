// The `tolvan` command line. RunCli is main() without the process: tests call
// it with their own streams.
#pragma once

#include <iosfwd>

namespace tolvan::cli {

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tolvan::cli
