// The real file system on POSIX systems. Paths are passed to the system as
// they are (UTF-8).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/FileSystemDetail.h"
#include "platform/LargePages.h"

namespace tolvan {
namespace fs_detail {

long CurrentProcessId() { return static_cast<long>(::getpid()); }

bool ProcessIsGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace fs_detail

using namespace fs_detail;

namespace {

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

}  // namespace

namespace {

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

namespace {

// An open file descriptor, closed with it.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens a regular file for reading and says how large it is. Anything else
// is refused without being opened in a way that could block: opening a FIFO
// waits for a writer, and reading /dev/zero never ends.
Result<size_t> OpenRegular(LocalFileSystem& fs, const std::string& path, size_t limit,
                           Descriptor& file) {
  Result<FileInfo> info = fs.Stat(path);
  if (!info) return info.status();
  if (info->kind != FileKind::kRegular) return NotARegularFile("read", path, info->kind);
  if (info->size > limit) return TooLarge(path, limit);
  file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file.fd < 0) return SysError("read", path, errno);
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return SysError("read", path, errno);
  // The name may have been pointed elsewhere since it was asked about.
  if (!S_ISREG(st.st_mode)) return NotARegularFile("read", path, InfoOf(st).kind);
  return std::min(static_cast<size_t>(st.st_size), limit);
}

// Reads the open file to its end a block at a time, handing each to
// `block` until it returns false. A file that grows while being read (or
// reports no size, as files of /proc do) is bounded here.
Status ReadBlocks(const Descriptor& file, const std::string& path, size_t limit,
                  const std::function<bool(std::string_view)>& block) {
  char buffer[65536];
  size_t total = 0;
  while (true) {
    ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SysError("read", path, errno);
    }
    if (n == 0) return Status::Ok();
    total += static_cast<size_t>(n);
    if (total > limit) return TooLarge(path, limit);
    if (!block(std::string_view(buffer, static_cast<size_t>(n)))) return Status::Ok();
  }
}

}  // namespace

Result<std::string> LocalFileSystem::ReadFile(const std::string& path, size_t limit) {
  Descriptor file;
  Result<size_t> size = OpenRegular(*this, path, limit, file);
  if (!size) return size.status();
  // Read straight into the string, sized once from the file's size (one
  // byte more, to see the end without growing it): a large module is then
  // neither copied from a block buffer nor grown by doubling. A file that
  // grows while being read (or reports no size, as files of /proc do) grows
  // the string, bounded by `limit`.
  std::string bytes;
  // The memory is offered large pages before it is first touched (by the
  // program's allocator, which does it before the string writes its first
  // byte): mapping a few megabytes of fresh small pages costs more than
  // reading them.
  {
    LargePagesForNextBuffer large;
    bytes.reserve(std::max<size_t>(*size + 1, 4096));
  }
  PrefaultPages(bytes.data(), bytes.capacity());
  bytes.resize(bytes.capacity());
  size_t total = 0;
  while (true) {
    if (total == bytes.size()) {
      if (total > limit) return TooLarge(path, limit);
      bytes.resize(bytes.size() > limit / 2 ? limit + 1 : bytes.size() * 2);
    }
    const ssize_t n = ::read(file.fd, bytes.data() + total, bytes.size() - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SysError("read", path, errno);
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  if (total > limit) return TooLarge(path, limit);
  bytes.resize(total);
  return bytes;
}

Status LocalFileSystem::ReadPieces(const std::string& path, size_t limit,
                                   const std::function<bool(std::string_view)>& piece) {
  Descriptor file;
  Result<size_t> size = OpenRegular(*this, path, limit, file);
  if (!size) return size.status();
  return ReadBlocks(file, path, limit, piece);
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

}  // namespace tolvan
