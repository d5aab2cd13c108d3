// What the language server reads from disk besides the editor's buffers:
// the settings in use and the project of each module's folder. Each is read
// once and again only when one of the files it came from changes (their
// size or time, looked up with a stat per request rather than a read), so
// that a code action does not read the settings or list a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lsp/CommentRunner.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbsource/VbpProject.h"

namespace tolvan::lsp {

// The files something was read from, as they were then: a change to any of
// them (or one coming or going) makes it stale.
class FileStamps {
 public:
  void Watch(FileSystem& fs, const std::string& path);
  bool Changed(FileSystem& fs) const;
  bool empty() const { return stamps_.empty(); }

 private:
  struct Stamp {
    std::string path;
    std::optional<std::pair<uint64_t, int64_t>> size_and_time;  // none: missing
  };
  static std::optional<std::pair<uint64_t, int64_t>> Look(FileSystem& fs, const std::string& path);
  std::vector<Stamp> stamps_;
};

class Workspace {
 public:
  // `log` receives what was passed over (a .vbp that cannot be read).
  Workspace(FileSystem& fs, std::function<void(const std::string&)> log)
      : fs_(fs), log_(std::move(log)), source_(std::string(), fs) {}

  // The settings: this machine's, or the settings file given (absolute).
  void UseSettingsFile(std::string ini) {
    source_ = SettingsSource(std::move(ini), fs_);
    Forget();
  }
  const SettingsSource& source() const { return source_; }

  // The settings record as loaded now; an error (a given settings file that
  // does not exist) until that is mended. `generation` grows at each load.
  const Result<SettingsRecord>& Settings();
  long generation() const { return generation_; }

  // The project whose .vbp in the module's folder lists the module.
  const host::ProjectInfo& ProjectOf(const std::filesystem::path& module);

 private:
  struct Project {
    FileStamps stamps;
    host::ProjectInfo info;
  };
  void Forget() { settings_.reset(); }

  FileSystem& fs_;
  std::function<void(const std::string&)> log_;
  SettingsSource source_;
  std::optional<Result<SettingsRecord>> settings_;
  FileStamps settings_stamps_;
  long generation_ = 0;
  std::map<std::filesystem::path, Project> projects_;
};

}  // namespace tolvan::lsp
