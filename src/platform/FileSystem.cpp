#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

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

// Pieces shorter than this are gathered into one write: a module written
// back with many new lines would otherwise cost a system call per line.
constexpr size_t kWriteBlock = size_t{64} << 10;

// Writes `content` in full to a new temporary file beside `target`; removes
// it again on failure.
Result<std::string> WriteTemporary(FileSystem& fs, const std::string& target,
                                   const FileContent& content, const NewFileMode& mode) {
  Result<std::unique_ptr<WritableFile>> file = fs.CreateTemporary(target, mode);
  if (!file) return file.status();
  const std::string temp = (*file)->path();
  Status s;
  std::string block;
  auto append = [&](std::string_view bytes) {
    if (s) s = (*file)->Append(bytes);
  };
  content([&](std::string_view piece) {
    if (!s) return;  // the first failure is the one reported
    if (block.size() + piece.size() > kWriteBlock) {
      append(block);
      block.clear();
    }
    if (piece.size() >= kWriteBlock) {
      append(piece);
    } else {
      if (block.capacity() < kWriteBlock) block.reserve(kWriteBlock);
      block.append(piece);
    }
  });
  if (!block.empty()) append(block);
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

Status FileSystem::ReadPieces(const std::string& path, size_t limit,
                              const std::function<bool(std::string_view)>& piece) {
  Result<std::string> bytes = ReadFile(path, limit);
  if (!bytes) return bytes.status();
  piece(*bytes);
  return Status::Ok();
}

Result<bool> FileHolds(FileSystem& fs, const std::string& path, std::string_view bytes) {
  return FileHolds(fs, path, std::vector<std::string_view>{bytes});
}

Result<bool> FileHolds(FileSystem& fs, const std::string& path,
                       const std::vector<std::string_view>& pieces) {
  size_t total = 0;
  for (std::string_view piece : pieces) total += piece.size();
  Result<FileInfo> info = fs.Stat(path);
  if (!info) return info.status();
  if (info->kind == FileKind::kRegular && info->size != total) return false;
  // Where the comparison stands: in pieces[next], `at` bytes in.
  size_t next = 0;
  size_t at = 0;
  bool same = true;
  // One byte more than expected is allowed, so that a file that grew since
  // it was asked about reads as different rather than as too large.
  Status s = fs.ReadPieces(path, total + 1, [&](std::string_view block) {
    while (!block.empty()) {
      while (next < pieces.size() && at == pieces[next].size()) {
        ++next;
        at = 0;
      }
      if (next == pieces.size()) return same = false;
      const size_t n = std::min(block.size(), pieces[next].size() - at);
      if (block.substr(0, n) != pieces[next].substr(at, n)) return same = false;
      block.remove_prefix(n);
      at += n;
    }
    return true;
  });
  if (!s) return s;
  while (next < pieces.size() && at == pieces[next].size()) {
    ++next;
    at = 0;
  }
  return same && next == pieces.size();
}

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
  return ReplaceFile(fs, path,
                     [bytes](const std::function<void(std::string_view)>& put) { put(bytes); });
}

Status ReplaceFile(FileSystem& fs, const std::string& path, const FileContent& content) {
  Result<std::string> real = fs.ResolveLinks(path);
  if (!real) return real.status();
  Result<NewFileMode> mode = ModeForReplacing(fs, *real, path);
  if (!mode) return mode.status();
  RemoveStaleTemporaries(fs, *real);
  Result<std::string> temp = WriteTemporary(fs, *real, content, *mode);
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
    Result<std::string> temp = WriteTemporary(
        fs, *real, [&file](const std::function<void(std::string_view)>& put) { put(file.bytes); },
        *mode);
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

}  // namespace tolvan
