#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace tolvan::cli {

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Tolvan writes header comments and change markers into Visual Basic code.",
               "tolvan"};
  app.set_version_flag("--version", TOLVAN_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  return 0;
}

}  // namespace tolvan::cli
