#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FileSystemDetail.h"

namespace tolvan {
namespace fs_detail {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

namespace {

size_t LastSeparator(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}

// The length of the root at the start of `path`: "/" (or "\\" on Windows),
// and on Windows a drive "C:" and its separator.
size_t RootLength(const std::string& path) {
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return path.size() > 2 && IsSeparator(path[2]) ? 3 : 2;
#endif
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

std::string DescribeSize(size_t bytes) {
  if (bytes % (size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string Folder(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) {
    const size_t root = RootLength(path);
    return root > 0 ? path.substr(0, root) : ".";
  }
  return path.substr(0, std::max(slash, RootLength(path)));
}

std::string FileName(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) return path.substr(RootLength(path));
  return path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

Status SysError(const std::string& what, const std::string& path, int err) {
  std::string message = "cannot " + what + " " + path + ": " + std::strerror(err);
  if (err == ENOENT || err == ENOTDIR) return Status::NotFound(std::move(message));
  return Status::IoError(std::move(message));
}

Status TooLarge(const std::string& path, size_t limit) {
  return Status::InvalidArgument("cannot read " + path + ": it is larger than " +
                                 DescribeSize(limit));
}

Status NotARegularFile(const std::string& what, const std::string& path, FileKind kind) {
  return Status::InvalidArgument("cannot " + what + " " + path + ": " +
                                 (kind == FileKind::kFolder
                                      ? "it is a folder"
                                      : "it is not a regular file (a device, FIFO or socket)"));
}

std::string TemporaryPrefix(const std::string& target) {
  return "." + FileName(target) + ".tolvan-";
}

std::string TemporaryName(const std::string& target) {
  return TemporaryPrefix(target) + std::to_string(CurrentProcessId()) + "-";
}

}  // namespace fs_detail

using namespace fs_detail;

namespace {
// A run that was killed while writing leaves its temporary file. Its name
// holds its PID; once no such process is left the file is nobody's.
void RemoveStaleTemporaries(FileSystem& fs, const std::string& target) {
  const std::string folder = Folder(target);
  Result<std::vector<std::string>> names = fs.ListFolder(folder);
  if (!names) return;  // nothing to clean, or nothing we could clean
  const std::string prefix = TemporaryPrefix(target);
  for (const std::string& name : *names) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9) continue;
    std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const long pid = std::stol(digits);
    if (pid <= 0 || pid == CurrentProcessId()) continue;
    if (ProcessIsGone(pid)) {
      // Left behind if it cannot be removed: it is only clutter.
      (void)fs.Remove(Join(folder, name));
    }
  }
}

// Checks that `real` (links resolved) may be replaced and says what the new
// file gets. `shown` is the path as the caller gave it, for messages.
Result<NewFileMode> ModeForReplacing(FileSystem& fs, const std::string& real,
                                     const std::string& shown) {
  NewFileMode mode{fs.NewFileBits(), std::nullopt, std::nullopt};
  Result<FileInfo> info = fs.Stat(real);
  if (!info) {
    if (info.status().IsNotFound()) return mode;
    return info.status();
  }
  if (info->kind != FileKind::kRegular) return NotARegularFile("write", shown, info->kind);
  if (info->links > 1) {
    return Status::InvalidArgument("cannot write " + shown + ": it has " +
                                   std::to_string(info->links) +
                                   " names (hard links), which replacing it would split");
  }
  if (Status s = fs.CheckWritable(real); !s) return s;
  mode.mode = info->mode;
  mode.owner = info->owner;
  mode.group = info->group;
  return mode;
}

// Writes `bytes` in full to a new temporary file beside `target`; removes
// it again on failure.
Result<std::string> WriteTemporary(FileSystem& fs, const std::string& target,
                                   std::string_view bytes, const NewFileMode& mode) {
  Result<std::unique_ptr<WritableFile>> file = fs.CreateTemporary(target, mode);
  if (!file) return file.status();
  const std::string temp = (*file)->path();
  Status s = (*file)->Append(bytes);
  if (s) s = (*file)->Sync();
  if (s) s = (*file)->Close();
  if (!s) {
    file->reset();
    // A temporary that cannot be removed is cleaned by a later run.
    (void)fs.Remove(temp);
    return s;
  }
  return temp;
}

}  // namespace

bool FileSystem::Exists(const std::string& path) { return Stat(path).ok(); }

Result<std::vector<std::string>> FileSystem::ListTree(const std::string& folder,
                                                      std::vector<std::string>* passed_over) {
  auto pass_over = [passed_over](const Status& why) {
    if (passed_over) passed_over->push_back(why.message());
  };
  Result<std::vector<std::string>> top = ListFolder(folder);
  if (!top) return top.status();
  std::vector<std::string> files;
  // Folders already listed, by device and file number where the file system
  // has them, so that a link back up does not loop.
  std::set<std::pair<uint64_t, uint64_t>> listed;
  if (Result<FileInfo> info = Stat(folder); info && info->inode != 0) {
    listed.insert({info->device, info->inode});
  }
  struct Pending {
    std::string folder;
    std::vector<std::string> names;
  };
  std::vector<Pending> pending{{folder, std::move(*top)}};
  while (!pending.empty()) {
    Pending here = std::move(pending.back());
    pending.pop_back();
    for (const std::string& name : here.names) {
      const std::string path = here.folder.empty() || here.folder.back() == '/'
                                   ? here.folder + name
                                   : here.folder + "/" + name;
      Result<FileInfo> info = Stat(path);
      if (!info) {
        // Gone meanwhile, or a link to nothing: nothing was there to pass over.
        if (info.code() != StatusCode::kNotFound) pass_over(info.status());
        continue;
      }
      if (info->kind == FileKind::kRegular) {
        files.push_back(path);
      } else if (info->kind == FileKind::kFolder) {
        if (info->inode != 0 && !listed.insert({info->device, info->inode}).second) continue;
        Result<std::vector<std::string>> names = ListFolder(path);
        if (names) {
          pending.push_back({path, std::move(*names)});
        } else {
          pass_over(names.status());
        }
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

Result<std::optional<std::string>> FileSystem::ReadIfPresent(const std::string& path,
                                                             size_t limit) {
  Result<std::string> bytes = ReadFile(path, limit);
  if (bytes) return std::optional<std::string>(std::move(*bytes));
  if (bytes.status().IsNotFound()) return std::optional<std::string>();
  Result<FileInfo> info = Stat(path);
  if (info && info->kind == FileKind::kFolder) return std::optional<std::string>();
  return bytes.status();
}

FileSystem& DefaultFileSystem() {
  static LocalFileSystem fs;
  return fs;
}

Status ReplaceFile(FileSystem& fs, const std::string& path, std::string_view bytes) {
  Result<std::string> real = fs.ResolveLinks(path);
  if (!real) return real.status();
  Result<NewFileMode> mode = ModeForReplacing(fs, *real, path);
  if (!mode) return mode.status();
  RemoveStaleTemporaries(fs, *real);
  Result<std::string> temp = WriteTemporary(fs, *real, bytes, *mode);
  if (!temp) return temp.status();
  if (Status s = fs.Rename(*temp, *real); !s) {
    (void)fs.Remove(*temp);  // cleaned by a later run if this fails too
    return s;
  }
  return Status::Ok();
}

Status ReplaceFiles(FileSystem& fs, const std::vector<FileReplacement>& files) {
  if (files.size() == 1) return ReplaceFile(fs, files[0].path, files[0].bytes);
  std::vector<std::string> targets;
  std::vector<std::string> temps;
  auto remove_temps = [&](size_t from) {
    for (size_t i = from; i < temps.size(); ++i) (void)fs.Remove(temps[i]);
  };
  for (const FileReplacement& file : files) {
    Result<std::string> real = fs.ResolveLinks(file.path);
    Result<NewFileMode> mode =
        real ? ModeForReplacing(fs, *real, file.path) : Result<NewFileMode>(real.status());
    if (!mode) {
      remove_temps(0);
      return mode.status();
    }
    RemoveStaleTemporaries(fs, *real);
    Result<std::string> temp = WriteTemporary(fs, *real, file.bytes, *mode);
    if (!temp) {
      remove_temps(0);
      return temp.status();
    }
    targets.push_back(*real);
    temps.push_back(*temp);
  }

  // Each target that exists is first moved aside, so that it can be put
  // back if a later step fails.
  struct Swapped {
    std::string target;
    std::optional<std::string> backup;
  };
  std::vector<Swapped> done;
  // Puts back what was swapped; the failure `s` gains a note for every old
  // content that could not be put back, so that the user can find it.
  auto roll_back = [&](Status s, const Swapped* half_done) {
    std::string lost;
    auto put_back = [&](const Swapped& swap) {
      Status back = swap.backup ? fs.Rename(*swap.backup, swap.target) : fs.Remove(swap.target);
      if (back) return;
      lost += swap.backup ? "; the old content of " + swap.target + " is now in " + *swap.backup +
                                " (" + back.message() + ")"
                          : "; " + swap.target + " should not exist but could not be removed (" +
                                back.message() + ")";
    };
    if (half_done && half_done->backup) put_back(*half_done);
    for (auto it = done.rbegin(); it != done.rend(); ++it) put_back(*it);
    if (lost.empty()) return s;
    return Status::IoError(s.message() + lost);
  };
  for (size_t i = 0; i < files.size(); ++i) {
    Swapped swap{targets[i], std::nullopt};
    if (fs.Exists(swap.target)) {
      std::string backup = swap.target + ".tolvan-old";
      if (Status s = fs.Rename(swap.target, backup); !s) {
        remove_temps(i);
        return roll_back(s, nullptr);
      }
      swap.backup = backup;
    }
    if (Status s = fs.Rename(temps[i], swap.target); !s) {
      remove_temps(i);
      return roll_back(s, &swap);
    }
    done.push_back(swap);
  }
  for (const Swapped& swap : done) {
    // The new contents are in place; a backup left over is only clutter.
    if (swap.backup) (void)fs.Remove(*swap.backup);
  }
  return Status::Ok();
}

Result<std::string> ReadFileBytes(const std::string& path) {
  return DefaultFileSystem().ReadFile(path, kModuleSizeLimit);
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceFile(DefaultFileSystem(), path, bytes);
}

// ---------------------------------------------------------------------------
// MemoryFileSystem

class MemoryWritableFile : public WritableFile {
 public:
  MemoryWritableFile(MemoryFileSystem& fs, std::string path, std::string target)
      : fs_(fs), path_(std::move(path)), target_(std::move(target)) {}
  Status Append(std::string_view bytes) override {
    if (fs_.space_left_) {
      if (bytes.size() > *fs_.space_left_) {
        *fs_.space_left_ = 0;
        return SysError("write", target_, ENOSPC);
      }
      *fs_.space_left_ -= bytes.size();
    }
    fs_.files_[path_].append(bytes);
    return Status::Ok();
  }
  Status Sync() override { return Status::Ok(); }
  Status Close() override { return Status::Ok(); }
  const std::string& path() const override { return path_; }

 private:
  MemoryFileSystem& fs_;
  std::string path_;
  std::string target_;
};

bool MemoryFileSystem::IsReadOnly(const std::string& path) const {
  return read_only_.count(Folder(path)) > 0;
}

Result<std::string> MemoryFileSystem::ReadFile(const std::string& path, size_t limit) {
  auto it = files_.find(path);
  if (it == files_.end()) {
    if (Result<FileInfo> info = Stat(path)) return NotARegularFile("read", path, info->kind);
    return SysError("read", path, ENOENT);
  }
  if (it->second.size() > limit) return TooLarge(path, limit);
  return it->second;
}

Result<FileInfo> MemoryFileSystem::Stat(const std::string& path) {
  FileInfo info;
  if (auto it = files_.find(path); it != files_.end()) {
    info.size = it->second.size();
    auto mode = modes_.find(path);
    info.mode = mode == modes_.end() ? 0644 : mode->second;
    return info;
  }
  const std::string prefix = path + "/";
  auto after = files_.lower_bound(prefix);
  if (folders_.count(path) > 0 ||
      (after != files_.end() && after->first.compare(0, prefix.size(), prefix) == 0)) {
    info.kind = FileKind::kFolder;
    info.mode = 0755;
    return info;
  }
  return SysError("read", path, ENOENT);
}

Status MemoryFileSystem::CheckWritable(const std::string& path) {
  auto mode = modes_.find(path);
  if (mode != modes_.end() && (mode->second & 0200) == 0) {
    return Status::IoError("cannot write " + path + ": it is read-only (Permission denied)");
  }
  return Status::Ok();
}

Result<std::unique_ptr<WritableFile>> MemoryFileSystem::CreateTemporary(const std::string& target,
                                                                        const NewFileMode& mode) {
  if (IsReadOnly(target)) return SysError("write", target, EACCES);
  std::string temp = Join(Folder(target), TemporaryName(target) + std::to_string(++temp_counter_));
  files_[temp];
  modes_[temp] = mode.mode;
  return std::unique_ptr<WritableFile>(std::make_unique<MemoryWritableFile>(*this, temp, target));
}

Status MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (fail_rename_in_ > 0 && --fail_rename_in_ == 0) return SysError("write", to, EIO);
  if (IsReadOnly(from) || IsReadOnly(to)) return SysError("write", to, EACCES);
  auto it = files_.find(from);
  if (it == files_.end()) return SysError("write", to, ENOENT);
  std::string bytes = std::move(it->second);
  files_.erase(it);
  files_[to] = std::move(bytes);
  modes_.erase(to);
  if (auto mode = modes_.find(from); mode != modes_.end()) {
    modes_[to] = mode->second;
    modes_.erase(mode);
  }
  return Status::Ok();
}

Status MemoryFileSystem::Remove(const std::string& path) {
  if (IsReadOnly(path)) return SysError("remove", path, EACCES);
  files_.erase(path);
  modes_.erase(path);
  return Status::Ok();
}

Result<std::vector<std::string>> MemoryFileSystem::ListFolder(const std::string& path) {
  Result<FileInfo> info = Stat(path);
  if (!info) return SysError("read the folder", path, ENOENT);
  if (info->kind != FileKind::kFolder) return SysError("read the folder", path, ENOTDIR);
  const std::string prefix = path == "/" ? path : path + "/";
  std::set<std::string> names;
  auto add = [&](const std::string& full) {
    if (full.compare(0, prefix.size(), prefix) != 0 || full.size() == prefix.size()) return;
    names.insert(full.substr(prefix.size(), full.find('/', prefix.size()) - prefix.size()));
  };
  for (const auto& [name, bytes] : files_) add(name);
  for (const std::string& folder : folders_) add(folder);
  return std::vector<std::string>(names.begin(), names.end());
}

Status MemoryFileSystem::CreateFolder(const std::string& path) {
  if (files_.count(path) > 0) {
    return Status::InvalidArgument("cannot create the folder " + path +
                                   ": a file of that name is in the way");
  }
  if (IsReadOnly(path)) return SysError("create the folder", path, EACCES);
  for (size_t end = path.find('/', 1); end != std::string::npos; end = path.find('/', end + 1)) {
    folders_.insert(path.substr(0, end));
  }
  folders_.insert(path);
  return Status::Ok();
}

Result<std::unique_ptr<FileLock>> MemoryFileSystem::Lock(const std::string& path, bool create) {
  if (!Exists(path)) {
    if (!create) return SysError("lock", path, ENOENT);
    files_[path];
  }
  return std::make_unique<FileLock>();
}

// ---------------------------------------------------------------------------
// FaultyFileSystem

namespace {

class FaultyWritableFile : public WritableFile {
 public:
  FaultyWritableFile(FaultyFileSystem& fs, std::unique_ptr<WritableFile> base, std::string target)
      : fs_(fs), base_(std::move(base)), target_(std::move(target)) {}
  Status Append(std::string_view bytes) override {
    if (auto s = fs_.Injected(FileOp::kAppend, target_)) return *s;
    return base_->Append(bytes);
  }
  Status Sync() override {
    if (auto s = fs_.Injected(FileOp::kSync, target_)) return *s;
    return base_->Sync();
  }
  Status Close() override {
    // A failed close still closes, as close(2) does.
    Status closed = base_->Close();
    if (auto s = fs_.Injected(FileOp::kClose, target_)) return *s;
    return closed;
  }
  const std::string& path() const override { return base_->path(); }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<WritableFile> base_;
  std::string target_;
};

}  // namespace

void FaultyFileSystem::FailNth(FileOp op, int n, int err) { faults_[op] = Fault{n, err}; }

int FaultyFileSystem::Calls(FileOp op) const {
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

std::optional<Status> FaultyFileSystem::Injected(FileOp op, const std::string& path) {
  ++calls_[op];
  auto it = faults_.find(op);
  if (it == faults_.end() || it->second.countdown <= 0 || --it->second.countdown > 0) {
    return std::nullopt;
  }
  switch (op) {
    case FileOp::kReadFile:
    case FileOp::kStat:
    case FileOp::kResolveLinks:
      return SysError("read", path, it->second.err);
    case FileOp::kListFolder:
      return SysError("read the folder", path, it->second.err);
    case FileOp::kCreateFolder:
      return SysError("create the folder", path, it->second.err);
    case FileOp::kLock:
      return SysError("lock", path, it->second.err);
    case FileOp::kRemove:
      return SysError("remove", path, it->second.err);
    default:
      return SysError("write", path, it->second.err);
  }
}

Result<std::string> FaultyFileSystem::ReadFile(const std::string& path, size_t limit) {
  if (auto s = Injected(FileOp::kReadFile, path)) return *s;
  return base_.ReadFile(path, limit);
}

Result<FileInfo> FaultyFileSystem::Stat(const std::string& path) {
  if (auto s = Injected(FileOp::kStat, path)) return *s;
  return base_.Stat(path);
}

Result<std::string> FaultyFileSystem::ResolveLinks(const std::string& path) {
  if (auto s = Injected(FileOp::kResolveLinks, path)) return *s;
  return base_.ResolveLinks(path);
}

Status FaultyFileSystem::CheckWritable(const std::string& path) {
  if (auto s = Injected(FileOp::kCheckWritable, path)) return *s;
  return base_.CheckWritable(path);
}

Result<std::unique_ptr<WritableFile>> FaultyFileSystem::CreateTemporary(const std::string& target,
                                                                        const NewFileMode& mode) {
  if (auto s = Injected(FileOp::kCreateTemporary, target)) return *s;
  Result<std::unique_ptr<WritableFile>> file = base_.CreateTemporary(target, mode);
  if (!file) return file;
  return std::unique_ptr<WritableFile>(
      std::make_unique<FaultyWritableFile>(*this, std::move(*file), target));
}

Status FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (auto s = Injected(FileOp::kRename, to)) return *s;
  return base_.Rename(from, to);
}

Status FaultyFileSystem::Remove(const std::string& path) {
  if (auto s = Injected(FileOp::kRemove, path)) return *s;
  return base_.Remove(path);
}

Result<std::vector<std::string>> FaultyFileSystem::ListFolder(const std::string& path) {
  if (auto s = Injected(FileOp::kListFolder, path)) return *s;
  return base_.ListFolder(path);
}

Status FaultyFileSystem::CreateFolder(const std::string& path) {
  if (auto s = Injected(FileOp::kCreateFolder, path)) return *s;
  return base_.CreateFolder(path);
}

Result<std::unique_ptr<FileLock>> FaultyFileSystem::Lock(const std::string& path, bool create) {
  if (auto s = Injected(FileOp::kLock, path)) return *s;
  return base_.Lock(path, create);
}

}  // namespace tolvan
