// `tolvan changes`: the change markers of the modules named, listed (text,
// JSON or CSV), accepted (the code to deliver) or reverted (the code as it
// was), with filters by date, kind and text.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "platform/FileSystem.h"

namespace tolvan::cli {

struct ChangesCommand;

// Adds `changes` to the app; its options live in the object returned.
std::shared_ptr<ChangesCommand> AddChangesCommand(CLI::App& app);
// The exit status of `changes` when it was parsed, else -1. 0: done, nothing
// wrong; 1: a file failed, markers do not pair up, or a block could not be
// reverted; 2: the options are wrong.
int RunChangesCommand(const ChangesCommand& command, FileSystem& fs, std::ostream& out,
                      std::ostream& err);

}  // namespace tolvan::cli
