// The files the settings class reads and writes (the profile file and its
// data file) go through this small seam, so that tests can run on files held
// in memory and can make a write fail part-way (a full disk, a folder that
// cannot be written) without touching the real disk.
//
// Paths are UTF-8. ReplaceFiles puts new contents into several files so that
// either all of them change or none does: each new content is first written
// in full to a temporary file beside its target; only then are the targets
// swapped in by renames (which need no space), and a failed rename puts back
// every target already swapped.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file; nullopt when it (or its folder) does not exist.
  virtual Result<std::optional<std::string>> ReadFile(const std::string& path) = 0;
  // Writes `bytes` in full, flushed, to a new file in the folder of `target`
  // (with the permission bits of `target` when it exists) and returns its
  // path. On failure nothing is left behind.
  virtual Result<std::string> WriteTemporary(const std::string& target, std::string_view bytes) = 0;
  // Renames `from` to `to`, replacing `to`.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  virtual Status Remove(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
};

struct FileReplacement {
  std::string path;
  std::string bytes;
};

// All or nothing; see the note at the top.
Status ReplaceFiles(FileSystem& fs, const std::vector<FileReplacement>& files);

// The real file system.
class LocalFileSystem : public FileSystem {
 public:
  Result<std::optional<std::string>> ReadFile(const std::string& path) override;
  Result<std::string> WriteTemporary(const std::string& target, std::string_view bytes) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  bool Exists(const std::string& path) override;
};

// Files in memory. Folders exist implicitly, except those marked read-only;
// `SetSpaceLeft` makes writes fail with "No space left on device" once the
// bytes written in temporary files pass the given count, and
// `FailRenameNumber` makes the n-th rename from now fail (1 for the next).
class MemoryFileSystem : public FileSystem {
 public:
  Result<std::optional<std::string>> ReadFile(const std::string& path) override;
  Result<std::string> WriteTemporary(const std::string& target, std::string_view bytes) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  bool Exists(const std::string& path) override;

  void SetSpaceLeft(size_t bytes) { space_left_ = bytes; }
  void SetReadOnlyFolder(const std::string& folder) { read_only_.insert(folder); }
  void FailRenameNumber(int n) { fail_rename_in_ = n; }

  std::map<std::string, std::string>& files() { return files_; }

 private:
  bool IsReadOnly(const std::string& path) const;

  std::map<std::string, std::string> files_;
  std::set<std::string> read_only_;
  std::optional<size_t> space_left_;
  int fail_rename_in_ = 0;
  int temp_counter_ = 0;
};

}  // namespace tolvan
