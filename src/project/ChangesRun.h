// Change markers over module files: the marked blocks of each file listed,
// or accepted or reverted in place. A file whose markers do not pair up is
// reported and never rewritten; a block that cannot be reverted is reported
// and left as it is, the others are still done.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeMarkers.h"
#include "project/ProjectRun.h"

namespace tolvan::project {

struct ChangeFilter {
  std::optional<CalendarDate> since;  // blocks without a date pass no date filter
  std::optional<CalendarDate> until;
  std::optional<ChangeKind> kind;
  std::u16string grep;  // in the marker or a field, any letter case

  bool Keeps(const ChangeBlock& block) const;
};

enum class ChangeAction { kList, kAccept, kRevert };

struct ChangesOptions {
  // Opens a module (checked and locked when it is to be written); the
  // application layer gives it.
  ModuleOpener open_module;
  ChangeFilter filter;
  ChangeAction action = ChangeAction::kList;
  bool dry_run = false;  // accept or revert into `diff`, the file untouched
};

struct ChangesOutcome {
  std::string file;                 // as shown (DisplayName)
  std::string error;                // the file failed: "FILE: why"
  std::vector<ChangeBlock> blocks;  // those the filter keeps, in file lines
  // Markers that do not pair up, blocks that could not be reverted; lines of
  // the file.
  std::vector<MarkerProblem> problems;
  std::vector<MarkerProblem> notes;  // told, but no failure
  std::string diff;                  // dry run: the unified diff
  int rewritten = 0;                 // blocks accepted or reverted
};

ChangesOutcome RunChanges(const std::filesystem::path& file, const ChangeMarkers& markers,
                          const ChangesOptions& options);

// The same over many files, several at once (`jobs` 0: one per core); one
// outcome per file, in the order given. `markers[i]` reads `files[i]`.
std::vector<ChangesOutcome> RunChanges(const std::vector<std::filesystem::path>& files,
                                       const std::vector<const ChangeMarkers*>& markers,
                                       const ChangesOptions& options, int jobs);

}  // namespace tolvan::project
