#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tolvan {
namespace {

std::string Describe(const std::filesystem::path& path, int err) {
  return path.string() + ": " + std::strerror(err);
}

}  // namespace

Result<std::string> ReadFileBytes(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::Error("cannot read " + Describe(path, errno));
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Status::Error("cannot read " + path.string() + ": it is a folder");
  }
  std::string bytes;
  // Grown once rather than by doubling: a large module would otherwise be
  // copied and faulted in several times over.
  if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return Status::Error("cannot read " + Describe(path, err));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

Result<std::string> WriteTemporaryFile(const std::filesystem::path& target,
                                       std::string_view bytes) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string temp = (dir / ("." + target.filename().string() + ".tolvan-XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    const int err = errno;
    // The file is replaced by a new one made beside it, so it is the folder
    // that must be writable, whatever the file's own mode.
    if (err == EACCES || err == EROFS) {
      return Status::Error("cannot write " + target.string() + ": the folder " + dir.string() +
                           (err == EROFS ? " is on a read-only file system" : " is not writable"));
    }
    return Status::Error("cannot write " + Describe(target, err));
  }
  auto fail = [&](int err) {
    ::close(fd);
    ::unlink(temp.c_str());
    return Status::Error("cannot write " + Describe(target, err));
  };
  mode_t mode = 0666;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  if (::fchmod(fd, mode) != 0) return fail(errno);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(errno);
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Status::Error("cannot write " + Describe(target, err));
  }
  return temp;
}

Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  auto temp = WriteTemporaryFile(path, bytes);
  if (!temp) return temp.status();
  if (::rename(temp->c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp->c_str());
    return Status::Error("cannot write " + Describe(path, err));
  }
  return Status::Ok();
}

}  // namespace tolvan
