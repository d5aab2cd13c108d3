// Header comments over whole projects: the module files named by paths
// (files, folders searched recursively, .vbp projects), each checked or
// documented on its own, several at once. A file that fails is reported
// with its message and leaves its bytes as they were; the others are done.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeMarkers.h"
#include "engine/HeaderRecognition.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "standin/FileHost.h"
#include "vbide/VBE.h"

namespace tolvan::project {

// The module files `paths` stand for, in a stable order, each once; paths
// that name nothing usable go to `errors` as "PATH: message". A .vbp is read
// in its own encoding (UTF-8 when valid, else CP932).
struct ModuleList {
  std::vector<std::filesystem::path> files;
  std::vector<std::string> errors;
};
ModuleList CollectModules(FileSystem& fs, const std::vector<std::string>& paths);

// The factory defaults, which headers are also recognised by.
SettingsRecord FactoryDefaults();

// A module file opened for a run: its lock (held until it is saved, when
// it is to be changed) and the module.
struct OpenedModule {
  std::unique_ptr<FileLock> lock;
  std::shared_ptr<host::FileVBE> vbe;
};
// Opens a module file, checked and locked when `for_writing`.
using ModuleOpener =
    std::function<Result<OpenedModule>(const std::filesystem::path& file, bool for_writing)>;

// What the headers of the module `vbe` shows are checked against and
// expanded with: the templates in use, the factory defaults, the project's
// description and name, the module's name and the date of `now`. Nullopt
// when the environment shows no module.
std::optional<HeaderContext> HeaderContextFor(const host::VBE& vbe, const SettingsRecord& settings,
                                              const SettingsRecord& defaults,
                                              const LocalDateTime& now);

struct Problem {
  long line = 0;                   // the declaration's line in the file
  bool missing = false;            // else stale, or foreign
  bool foreign = false;            // a comment the user wrote stands in the header's place
  std::string procedure;           // "Function CalcPay", "module modCalc"
  std::string details;             // "parameters: +curBonus -lngOld; return type: Long -> Currency"
  bool unbalanced_marker = false;  // a change marker without its end (details says so)
};

struct FileOutcome {
  std::string file;   // as shown: relative to the current folder when inside it
  std::string error;  // the file failed: "FILE: why"
  std::vector<Problem> problems;
  // Dry run: the unified diff, its lines in the file's bytes (and so in
  // `encoding`), its two header lines naming the file in UTF-8.
  std::string diff;
  std::string encoding;  // the file's, as it was read ("CP932", "UTF-8")
  int inserted = 0;
  int updated = 0;
  std::vector<std::string> notes;  // parameter notes dropped with their parameters
  // "LINE: stale header left as it is: ...", for headers an update would
  // have lost the user's text of.
  std::vector<std::string> left_as_is;
};

struct RunOptions {
  const SettingsRecord* settings = nullptr;
  const SettingsRecord* defaults = nullptr;
  ModuleOpener open_module;
  LocalDateTime now;
  bool document = false;  // else review only
  bool update = false;
  bool adopt = false;  // replace the user's own comments by the template's headers
  bool dry_run = false;
  int jobs = 0;  // 0: one per core
  // Called from the worker threads, one call at a time.
  std::function<void(size_t done, size_t total)> progress;
  // Review: the change-marker reader of a module, for markers that do not
  // pair up (read from the same text as the headers); unset: not checked.
  // Called from the worker threads.
  std::function<Result<const ChangeMarkers*>(const std::filesystem::path&)> markers;
};

// One outcome per file, in the order given.
std::vector<FileOutcome> Run(const std::vector<std::filesystem::path>& files,
                             const RunOptions& options);

// The name a file is shown by.
std::string DisplayName(const std::filesystem::path& file);

}  // namespace tolvan::project
