#include "cli/ProgramStreams.h"

namespace tolvan::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {}

}  // namespace tolvan::cli
