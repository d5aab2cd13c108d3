// Files held in memory, for tests: a run on them touches no disk, and a
// test can make a write run out of space, a folder refuse writing or a
// rename fail, to try the callers' failure paths. Also a settings context
// over an empty in-memory registry and such files.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/FileSystem.h"
#include "settings/SettingsContext.h"

namespace tolvan {

// Files in memory. Folders exist implicitly, except those marked read-only;
// `SetSpaceLeft` makes writes fail with "No space left on device" once the
// bytes written in temporary files pass the given count, and
// `FailRenameNumber` makes the n-th rename from now fail (1 for the next).
// Locks always succeed at once.
class MemoryFileSystem : public FileSystem {
 public:
  using FileSystem::ReadFile;
  Result<std::string> ReadFile(const std::string& path, size_t limit) override;
  Result<FileInfo> Stat(const std::string& path) override;
  Result<std::string> ResolveLinks(const std::string& path) override { return path; }
  Status CheckWritable(const std::string& path) override;
  Result<std::unique_ptr<WritableFile>> CreateTemporary(const std::string& target,
                                                        const NewFileMode& mode) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Result<std::vector<std::string>> ListFolder(const std::string& path) override;
  Status CreateFolder(const std::string& path) override;
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path, bool create) override;
  uint32_t NewFileBits() override { return 0644; }

  void SetSpaceLeft(size_t bytes) { space_left_ = bytes; }
  void SetReadOnlyFolder(const std::string& folder) { read_only_.insert(folder); }
  void FailRenameNumber(int n) { fail_rename_in_ = n; }
  // Permission bits of a file; files without an entry are 0644.
  void SetMode(const std::string& path, uint32_t mode) { modes_[path] = mode; }

  std::map<std::string, std::string>& files() { return files_; }

 private:
  friend class MemoryWritableFile;
  bool IsReadOnly(const std::string& path) const;

  std::map<std::string, std::string> files_;
  std::map<std::string, uint32_t> modes_;
  std::set<std::string> folders_;
  std::set<std::string> read_only_;
  std::optional<size_t> space_left_;
  int fail_rename_in_ = 0;
  int temp_counter_ = 0;
};

// An empty in-memory registry and files in memory, with the add-in's module
// directory at `module_dir`: loading settings from it gives the defaults.
SettingsContext InMemorySettingsContext(std::string module_dir = "/addin");

}  // namespace tolvan
