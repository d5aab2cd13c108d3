#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace tolvan {
namespace {

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string FileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// "cannot <what> <path>: <the system's words>", coded by the error.
Status SysError(const std::string& what, const std::string& path, int err) {
  std::string message = "cannot " + what + " " + path + ": " + std::strerror(err);
  if (err == ENOENT || err == ENOTDIR) return Status::NotFound(std::move(message));
  return Status::IoError(std::move(message));
}

std::string DescribeSize(size_t bytes) {
  if (bytes % (size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
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

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
              : S_ISDIR(st.st_mode) ? FileKind::kFolder
                                    : FileKind::kOther;
  info.size = static_cast<uint64_t>(st.st_size);
  info.mode = st.st_mode & 07777;
  info.owner = st.st_uid;
  info.group = st.st_gid;
  info.modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.links = st.st_nlink;
  return info;
}

// The prefix of our temporary files beside `target`, up to the PID.
std::string TemporaryPrefix(const std::string& target) {
  return "." + FileName(target) + ".tolvan-";
}

std::string TemporaryName(const std::string& target) {
  return TemporaryPrefix(target) + std::to_string(::getpid()) + "-";
}

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
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
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
// LocalFileSystem

namespace {

// Asks the kernel to back the whole 2 MiB stretches of a large buffer with
// large pages: each small page of a fresh buffer costs a fault when first
// written, which on a 40 MB module is most of the time spent reading it.
// Only advice: nothing changes when it is not taken.
void AdviseLargePages(char* data, size_t size) {
  constexpr uintptr_t kLarge = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLarge - 1);
#ifdef MADV_HUGEPAGE
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

class LocalWritableFile : public WritableFile {
 public:
  LocalWritableFile(int fd, std::string path, std::string target)
      : fd_(fd), path_(std::move(path)), target_(std::move(target)) {}
  ~LocalWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Status Append(std::string_view bytes) override {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return SysError("write", target_, errno);
      }
      done += static_cast<size_t>(n);
    }
    return Status::Ok();
  }
  Status Sync() override {
    if (::fsync(fd_) != 0) return SysError("write", target_, errno);
    return Status::Ok();
  }
  Status Close() override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return SysError("write", target_, errno);
    return Status::Ok();
  }
  const std::string& path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
  std::string target_;
};

class LocalFileLock : public FileLock {
 public:
  explicit LocalFileLock(int fd) : fd_(fd) {}
  // Closing the descriptor releases the lock.
  ~LocalFileLock() override { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

Result<std::string> LocalFileSystem::ReadFile(const std::string& path, size_t limit) {
  // Asked first, so that a FIFO or a device is never opened: opening a FIFO
  // waits for a writer, and reading /dev/zero never ends.
  Result<FileInfo> info = Stat(path);
  if (!info) return info.status();
  if (info->kind != FileKind::kRegular) return NotARegularFile("read", path, info->kind);
  if (info->size > limit) return TooLarge(path, limit);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return SysError("read", path, errno);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return SysError("read", path, errno);
  // The name may have been pointed elsewhere since it was asked about.
  if (!S_ISREG(st.st_mode)) return NotARegularFile("read", path, InfoOf(st).kind);
  std::string bytes;
  // Grown once rather than by doubling: a large module would otherwise be
  // copied and faulted in several times over.
  if (st.st_size > 0) {
    bytes.reserve(std::min(static_cast<size_t>(st.st_size), limit) + 1);
    AdviseLargePages(bytes.data(), bytes.capacity());
  }
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SysError("read", path, errno);
    }
    if (n == 0) break;
    // A file that grows while being read (or reports no size, as files of
    // /proc do) is bounded here.
    if (bytes.size() + static_cast<size_t>(n) > limit) return TooLarge(path, limit);
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

Result<FileInfo> LocalFileSystem::Stat(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return SysError("read", path, errno);
  return InfoOf(st);
}

Result<std::string> LocalFileSystem::ResolveLinks(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) != nullptr) return std::string(buffer);
  if (errno == ENOENT) {
    struct stat st {};
    // A link that points nowhere would be replaced by the file itself.
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      return Status::InvalidArgument("cannot write " + path +
                                     ": it is a symbolic link to a file that does not exist");
    }
    return path;
  }
  return SysError("write", path, errno);
}

Status LocalFileSystem::CheckWritable(const std::string& path) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return Status::Ok();
  if (errno == EACCES) {
    return Status::IoError("cannot write " + path + ": it is read-only (Permission denied)");
  }
  if (errno == EROFS) {
    return Status::IoError("cannot write " + path + ": the folder " + Folder(path) +
                           " is on a read-only file system");
  }
  return SysError("write", path, errno);
}

Result<std::unique_ptr<WritableFile>> LocalFileSystem::CreateTemporary(const std::string& target,
                                                                       const NewFileMode& mode) {
  std::string temp = Join(Folder(target), TemporaryName(target) + "XXXXXX");
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    // The file is replaced by a new one made beside it, so it is the folder
    // that must be writable, whatever the file's own mode.
    if (err == EACCES || err == EROFS) {
      return Status::IoError(
          "cannot write " + target + ": the folder " + Folder(target) +
          (err == EROFS ? " is on a read-only file system" : " is not writable"));
    }
    return SysError("write", target, err);
  }
  auto file = std::make_unique<LocalWritableFile>(fd, temp, target);
  auto fail = [&](const std::string& what, int err) -> Status {
    file.reset();
    ::unlink(temp.c_str());
    return SysError(what, target, err);
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) return fail("write", errno);
  const uid_t owner = mode.owner ? *mode.owner : st.st_uid;
  const gid_t group = mode.group ? *mode.group : st.st_gid;
  if ((owner != st.st_uid || group != st.st_gid) && ::fchown(fd, owner, group) != 0) {
    return fail("keep the owner and group of", errno);
  }
  // After fchown, which may clear the set-user-ID and set-group-ID bits.
  if (::fchmod(fd, mode.mode & 07777) != 0) return fail("write", errno);
  return std::unique_ptr<WritableFile>(std::move(file));
}

Status LocalFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return SysError("write", to, errno);
  return Status::Ok();
}

Status LocalFileSystem::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return SysError("remove", path, errno);
  return Status::Ok();
}

Result<std::vector<std::string>> LocalFileSystem::ListFolder(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return SysError("read the folder", path, errno);
  std::vector<std::string> names;
  errno = 0;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  int err = errno;
  ::closedir(dir);
  if (err != 0) return SysError("read the folder", path, err);
  std::sort(names.begin(), names.end());
  return names;
}

Status LocalFileSystem::CreateFolder(const std::string& path) {
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      return SysError("create the folder", part, errno);
    }
    if (end == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return SysError("create the folder", path, errno);
  if (!S_ISDIR(st.st_mode)) {
    return Status::InvalidArgument("cannot create the folder " + path +
                                   ": a file of that name is in the way");
  }
  return Status::Ok();
}

Result<std::unique_ptr<FileLock>> LocalFileSystem::Lock(const std::string& path, bool create) {
  while (true) {
    struct stat before {};
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (::stat(path.c_str(), &before) != 0) {
      if (errno != ENOENT || !create) return SysError("lock", path, errno);
      flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY;
    } else if (!S_ISREG(before.st_mode) && !S_ISDIR(before.st_mode)) {
      return NotARegularFile("lock", path, FileKind::kOther);
    }
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) return SysError("lock", path, errno);
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int err = errno;
        ::close(fd);
        return SysError("lock", path, err);
      }
    }
    // Another run may have replaced the file while we waited: its lock
    // then guards nothing, and the new file is the one to lock.
    struct stat held {};
    struct stat now {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino) {
      return std::unique_ptr<FileLock>(std::make_unique<LocalFileLock>(fd));
    }
    ::close(fd);
  }
}

uint32_t LocalFileSystem::NewFileBits() { return 0666 & ~ProcessUmask(); }

uint32_t ProcessUmask() {
  if (Result<std::string> status = ReadFileBytes("/proc/self/status")) {
    const std::string key = "\nUmask:";
    size_t at = status->find(key);
    if (at != std::string::npos) {
      return static_cast<uint32_t>(std::strtoul(status->c_str() + at + key.size(), nullptr, 8)) &
             0777;
    }
  }
  // Without /proc (or a kernel too old to show it), the only way to learn
  // the umask is to set it and put it back.
  mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
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
