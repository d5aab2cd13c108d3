// The commands over whole projects: `tolvan document` writes the missing
// (and, with --update, the stale) header comments of every module named,
// `tolvan review` lists them.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <string>

#include "platform/FileSystem.h"

namespace tolvan::cli {

struct ProjectCommands;

// Adds `document` and `review` to the app; the options live in the object
// returned, which RunProjectCommand reads after parsing.
std::shared_ptr<ProjectCommands> AddProjectCommands(CLI::App& app);
// The exit status of the project command that was parsed; -1 when none was.
int RunProjectCommand(const ProjectCommands& commands, FileSystem& fs, std::ostream& out,
                      std::ostream& err);

}  // namespace tolvan::cli
