#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileIO.h"

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

std::string SysError(const std::string& what, const std::string& path, int err) {
  return "cannot " + what + " " + path + ": " + std::strerror(err);
}

}  // namespace

Status ReplaceFiles(FileSystem& fs, const std::vector<FileReplacement>& files) {
  std::vector<std::string> temps;
  auto remove_temps = [&](size_t from) {
    for (size_t i = from; i < temps.size(); ++i) fs.Remove(temps[i]);
  };
  for (const FileReplacement& file : files) {
    auto temp = fs.WriteTemporary(file.path, file.bytes);
    if (!temp) {
      remove_temps(0);
      return temp.status();
    }
    temps.push_back(*temp);
  }

  // Each target that exists is first moved aside, so that it can be put
  // back if a later step fails.
  struct Swapped {
    std::string target;
    std::optional<std::string> backup;
  };
  std::vector<Swapped> done;
  auto roll_back = [&] {
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      if (it->backup) {
        fs.Rename(*it->backup, it->target);
      } else {
        fs.Remove(it->target);
      }
    }
  };
  for (size_t i = 0; i < files.size(); ++i) {
    Swapped swap{files[i].path, std::nullopt};
    if (fs.Exists(swap.target)) {
      std::string backup = swap.target + ".tolvan-old";
      if (Status s = fs.Rename(swap.target, backup); !s) {
        roll_back();
        remove_temps(i);
        return s;
      }
      swap.backup = backup;
    }
    if (Status s = fs.Rename(temps[i], swap.target); !s) {
      if (swap.backup) fs.Rename(*swap.backup, swap.target);
      roll_back();
      remove_temps(i);
      return s;
    }
    done.push_back(swap);
  }
  for (const Swapped& swap : done) {
    if (swap.backup) fs.Remove(*swap.backup);
  }
  return Status::Ok();
}

Result<std::optional<std::string>> LocalFileSystem::ReadFile(const std::string& path) {
  Result<std::string> bytes = ReadFileBytes(path);
  if (bytes) return std::optional<std::string>(std::move(*bytes));
  // A missing file reads as nothing, as a missing profile file does.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    return std::optional<std::string>();
  }
  return bytes.status();
}

Result<std::string> LocalFileSystem::WriteTemporary(const std::string& target,
                                                    std::string_view bytes) {
  return WriteTemporaryFile(target, bytes);
}

Status LocalFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Status::Error(SysError("write", to, errno));
  return Status::Ok();
}

Status LocalFileSystem::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    return Status::Error(SysError("remove", path, errno));
  }
  return Status::Ok();
}

bool LocalFileSystem::Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool MemoryFileSystem::IsReadOnly(const std::string& path) const {
  return read_only_.count(Folder(path)) > 0;
}

Result<std::optional<std::string>> MemoryFileSystem::ReadFile(const std::string& path) {
  auto it = files_.find(path);
  if (it == files_.end()) return std::optional<std::string>();
  return std::optional<std::string>(it->second);
}

Result<std::string> MemoryFileSystem::WriteTemporary(const std::string& target,
                                                     std::string_view bytes) {
  if (IsReadOnly(target)) return Status::Error(SysError("write", target, EACCES));
  if (space_left_) {
    if (bytes.size() > *space_left_) {
      *space_left_ = 0;
      return Status::Error(SysError("write", target, ENOSPC));
    }
    *space_left_ -= bytes.size();
  }
  std::string temp =
      Folder(target) + "/." + FileName(target) + ".tolvan-" + std::to_string(++temp_counter_);
  files_[temp] = std::string(bytes);
  return temp;
}

Status MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (fail_rename_in_ > 0 && --fail_rename_in_ == 0) {
    return Status::Error(SysError("write", to, EIO));
  }
  if (IsReadOnly(from) || IsReadOnly(to)) return Status::Error(SysError("write", to, EACCES));
  auto it = files_.find(from);
  if (it == files_.end()) return Status::Error(SysError("write", to, ENOENT));
  std::string bytes = std::move(it->second);
  files_.erase(it);
  files_[to] = std::move(bytes);
  return Status::Ok();
}

Status MemoryFileSystem::Remove(const std::string& path) {
  if (IsReadOnly(path)) return Status::Error(SysError("remove", path, EACCES));
  files_.erase(path);
  return Status::Ok();
}

bool MemoryFileSystem::Exists(const std::string& path) { return files_.count(path) > 0; }

}  // namespace tolvan
