#include "support/MemoryFileSystem.h"

#include <cerrno>

#include "platform/FileSystemDetail.h"

namespace tolvan {

using namespace fs_detail;

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

SettingsContext InMemorySettingsContext(std::string module_dir) {
  return SettingsContext(std::make_unique<MemoryRegistryStore>(),
                         std::make_unique<MemoryFileSystem>(), std::move(module_dir));
}

}  // namespace tolvan
