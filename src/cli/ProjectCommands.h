// The commands over whole projects: `tolvan document` writes the missing
// (and, with --update, the stale) header comments of every module named,
// `tolvan review` lists them; and the --update option of `tolvan comment`.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <string>

namespace tolvan::cli {

struct ProjectCommands;

// Adds `document` and `review` to the app; the options live in the object
// returned, which RunProjectCommand reads after parsing.
std::shared_ptr<ProjectCommands> AddProjectCommands(CLI::App& app);
// The exit status of the project command that was parsed; -1 when none was.
int RunProjectCommand(const ProjectCommands& commands, std::ostream& out, std::ostream& err);

// `tolvan comment FILE --line N --update`: the header of the procedure (or
// module) at the cursor regenerated for its declaration, or inserted when
// there is none. `cursor_line` and `cursor_column` are file positions.
struct UpdateOptions {
  std::string file;
  long line = 1;
  long column = 1;
  std::string now;
  std::string encoding;
  std::string settings_file;
  bool to_stdout = false;
  // --adopt: the user's own comment there becomes the template's header,
  // every word kept (else as --update).
  bool adopt = false;
};
int RunCommentUpdate(const UpdateOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tolvan::cli
