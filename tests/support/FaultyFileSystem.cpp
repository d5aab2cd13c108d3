#include "support/FaultyFileSystem.h"

#include "platform/FileSystemDetail.h"

namespace tolvan {

using namespace fs_detail;

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
