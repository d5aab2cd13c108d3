// The one way the system touches files. Everything outside platform/ reads,
// writes, lists, locks and asks about files through FileSystem, so that tests
// can run on files held in memory and can make any single step fail (a full
// disk, a folder that cannot be written, a rename refused) without touching
// the real disk. LocalFileSystem is the real one; the tests have one that
// holds files in a map and one that wraps another and fails the n-th call of
// a chosen operation (tests/support).
//
// Paths are UTF-8. Failures carry a code (Status.h): kNotFound when the file
// or a folder on its path does not exist, kIoError for everything the
// operating system refuses, kInvalidArgument for a file that is not one we
// may use (a folder, a device, too large).
//
// Writing is always atomic: new contents are written in full to a temporary
// file beside the target (".<name>.tolvan-<pid>-<random>"), flushed, and
// renamed over it, so a failure at any step leaves the old file as it was.
// ReplaceFile and ReplaceFiles are the only writers; see their notes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

// Read limits. A module is source code a person wrote; settings, data files
// and the registry store are small. Anything larger is a mistake (a device,
// a log file) and is refused rather than read until memory runs out.
inline constexpr size_t kModuleSizeLimit = size_t{256} << 20;
inline constexpr size_t kSettingsSizeLimit = size_t{8} << 20;

enum class FileKind { kRegular, kFolder, kOther };

struct FileInfo {
  FileKind kind = FileKind::kRegular;
  uint64_t size = 0;
  uint32_t mode = 0644;  // permission bits (07777)
  uint32_t owner = 0;
  uint32_t group = 0;
  int64_t modified_ns = 0;  // since the epoch
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t links = 1;
};

// A temporary file being written. Close() before renaming it into place; a
// file destroyed unclosed is closed without a word (the caller is already
// reporting a failure).
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Append(std::string_view bytes) = 0;
  virtual Status Sync() = 0;
  virtual Status Close() = 0;
  virtual const std::string& path() const = 0;
};

// Held while locked; the lock goes with it. Locks are advisory: they keep
// two runs of ours apart, not other programs.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// What a new file gets: the permission bits, and the owner and group when
// they are to be kept from the file it replaces.
struct NewFileMode {
  uint32_t mode = 0666;
  std::optional<uint32_t> owner;
  std::optional<uint32_t> group;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole regular file, at most `limit` bytes. Anything else (a folder,
  // a device, a FIFO) is refused without being opened in a way that could
  // block; a larger file is refused with a message that says so.
  virtual Result<std::string> ReadFile(const std::string& path, size_t limit) = 0;
  // The same file handed to `piece` a block at a time, in order, so that
  // no copy of the whole file is made; reading stops, with no failure, when
  // `piece` returns false. Refused as ReadFile refuses. The default reads
  // the file whole through ReadFile and hands it over in one piece.
  virtual Status ReadPieces(const std::string& path, size_t limit,
                            const std::function<bool(std::string_view)>& piece);
  // What `path` is, following symbolic links.
  virtual Result<FileInfo> Stat(const std::string& path) = 0;
  // The path with every symbolic link resolved, so that a write goes to the
  // file a link points at and the link stays; `path` as it is when it does
  // not exist.
  virtual Result<std::string> ResolveLinks(const std::string& path) = 0;
  // Whether we may write the existing file `path`, as an editor asks.
  virtual Status CheckWritable(const std::string& path) = 0;
  // A new, empty temporary file in the folder of `target`, with `mode`.
  virtual Result<std::unique_ptr<WritableFile>> CreateTemporary(const std::string& target,
                                                                const NewFileMode& mode) = 0;
  // Renames `from` to `to`, replacing `to`.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file; a file that is not there is no failure.
  virtual Status Remove(const std::string& path) = 0;
  // The names in a folder, sorted, without "." and "..".
  virtual Result<std::vector<std::string>> ListFolder(const std::string& path) = 0;
  // Creates a folder and the folders above it that are missing.
  virtual Status CreateFolder(const std::string& path) = 0;
  // Waits for and takes the exclusive lock of an existing file or folder;
  // with `create`, a missing file is created (empty) to be locked. A file
  // replaced by rename while we waited is locked under its new content.
  virtual Result<std::unique_ptr<FileLock>> Lock(const std::string& path, bool create) = 0;
  // The permission bits a new file gets (0666 less the process umask).
  virtual uint32_t NewFileBits() = 0;

  // Conveniences over the above.
  bool Exists(const std::string& path);
  // The whole file; nullopt when it or its folder does not exist or when it
  // is a folder (as a profile file is read on Windows). Settings-sized.
  Result<std::optional<std::string>> ReadFile(const std::string& path) {
    return ReadIfPresent(path, kSettingsSizeLimit);
  }
  Result<std::optional<std::string>> ReadIfPresent(const std::string& path, size_t limit);
  // The regular files in `folder` and every folder below it, by path
  // ("folder/sub/name"), sorted. What cannot be listed or asked about below
  // `folder` is passed over, with its message in `passed_over` when given;
  // so is a folder reached again through a link (a loop), silently.
  Result<std::vector<std::string>> ListTree(const std::string& folder,
                                            std::vector<std::string>* passed_over = nullptr);
};

// The real file system of this process, for callers that are not given one.
FileSystem& DefaultFileSystem();

// Whether the regular file `path` holds exactly `bytes` (or the pieces
// one after another), read a block at a time; a file that cannot be read is
// a failure.
Result<bool> FileHolds(FileSystem& fs, const std::string& path, std::string_view bytes);
Result<bool> FileHolds(FileSystem& fs, const std::string& path,
                       const std::vector<std::string_view>& pieces);

// The content of a file to be written, given piece by piece: the function
// calls `put` for each piece in order.
using FileContent = std::function<void(const std::function<void(std::string_view)>& put)>;

// Replaces (or creates) `path` with `bytes` by one rename. A symbolic link
// is written through to its target and stays a link. The file being
// replaced must be a regular file we may write, with one name only (a
// second hard link would silently keep the old content); it keeps its
// permission bits, owner and group. Temporary files that a killed run of
// ours left beside the target are removed first.
Status ReplaceFile(FileSystem& fs, const std::string& path, std::string_view bytes);
// The same with the content given piece by piece: the pieces go to the
// temporary file as they come (small ones gathered into larger writes), so
// that a large file is written without a copy of it in memory.
Status ReplaceFile(FileSystem& fs, const std::string& path, const FileContent& content);

struct FileReplacement {
  std::string path;
  std::string bytes;
};

// Puts new contents into several files so that either all of them change or
// none does: each new content is first written in full to a temporary file
// beside its target; only then are the targets swapped in by renames (which
// need no space), each existing target first moved aside to
// "<name>.tolvan-old", and a failed rename puts back every target already
// swapped. When even putting back fails, the message says where the old
// content now is. One file is replaced as ReplaceFile does.
Status ReplaceFiles(FileSystem& fs, const std::vector<FileReplacement>& files);

// Whole-file reading and writing on the real file system, for tools and
// tests: ReadFileBytes reads up to kModuleSizeLimit.
Result<std::string> ReadFileBytes(const std::string& path);
Status WriteFileAtomically(const std::string& path, std::string_view bytes);

// The real file system.
class LocalFileSystem : public FileSystem {
 public:
  using FileSystem::ReadFile;
  Result<std::string> ReadFile(const std::string& path, size_t limit) override;
  Status ReadPieces(const std::string& path, size_t limit,
                    const std::function<bool(std::string_view)>& piece) override;
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
  uint32_t NewFileBits() override;
};

// The process umask, read without changing it (changing it would race with
// other threads creating files); from /proc/self/status where there is one.
uint32_t ProcessUmask();

}  // namespace tolvan
