#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/mman.h>
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
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    bytes.reserve(static_cast<size_t>(st.st_size));
    AdviseLargePages(bytes.data(), bytes.capacity());
  }
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
  if (fd < 0) return Status::Error("cannot write " + Describe(target, errno));
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
