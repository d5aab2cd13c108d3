// Runs the command line in-process, as a shell would run `tolvan ARGS...`.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "SystemSupport.h"
#include "cli/Cli.h"

namespace tolvan::testing {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

inline RunResult Tolvan(std::vector<std::string> args, FileSystem& fs) {
  args.insert(args.begin(), "tolvan");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  int status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err, fs);
  return {status, out.str(), err.str()};
}

// On the real disk.
inline RunResult Tolvan(std::vector<std::string> args) {
  LocalFileSystem disk;
  return Tolvan(std::move(args), disk);
}

}  // namespace tolvan::testing
