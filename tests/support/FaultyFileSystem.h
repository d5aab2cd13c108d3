// A file system for tests that fails a chosen call of another one, worded
// as the real file system words its failures, and counts the calls made.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace tolvan {

// The operations FaultyFileSystem can make fail. The steps of writing a
// temporary file (create, append, sync, close) are each their own.
enum class FileOp {
  kReadFile,
  kStat,
  kResolveLinks,
  kCheckWritable,
  kCreateTemporary,
  kAppend,
  kSync,
  kClose,
  kRename,
  kRemove,
  kListFolder,
  kCreateFolder,
  kLock,
};

// Another file system with injected failures, in the manner of leveldb's
// fault-injecting Env: `FailNth(op, n, err)` makes the n-th call of `op`
// from now (1 for the next) fail with the operating system's error `err`,
// worded as the real file system words it. Calls are counted per operation.
class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& base) : base_(base) {}
  void FailNth(FileOp op, int n, int err);
  // How often `op` was called since construction.
  int Calls(FileOp op) const;

  using FileSystem::ReadFile;
  Result<std::string> ReadFile(const std::string& path, size_t limit) override;
  Result<FileInfo> Stat(const std::string& path) override;
  Result<std::string> ResolveLinks(const std::string& path) override;
  Status CheckWritable(const std::string& path) override;
  Result<std::unique_ptr<WritableFile>> CreateTemporary(const std::string& target,
                                                        const NewFileMode& mode) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Result<std::vector<std::string>> ListFolder(const std::string& path) override;
  Status CreateFolder(const std::string& path) override;
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path, bool create) override;
  uint32_t NewFileBits() override { return base_.NewFileBits(); }

  // nullopt, or the failure of this call of `op` (naming `path`).
  std::optional<Status> Injected(FileOp op, const std::string& path);

 private:
  struct Fault {
    int countdown = 0;
    int err = 0;
  };
  FileSystem& base_;
  std::map<FileOp, Fault> faults_;
  std::map<FileOp, int> calls_;
};

}  // namespace tolvan
