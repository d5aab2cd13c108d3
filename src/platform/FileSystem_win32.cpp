// The real file system on Windows. Paths are UTF-8 inside and reach the
// system as UTF-16 through the *W functions; '/' and '\' both separate names.
//
// Replacing a file: the new content is written to a temporary file beside
// the target, made with the target's attributes and creation time, flushed,
// and put in place by one rename that another program never sees half done:
// with POSIX semantics where the system has them (Windows 10 on NTFS), which
// replace a file that others have open to read; else MoveFileExW with
// MOVEFILE_REPLACE_EXISTING, tried again for a moment while another program
// holds the old file. (ReplaceFileW would also carry
// the file's own access control list over, but takes the old file away
// before the new one arrives, so that a reader at that moment finds no file
// at all.) The new file has the access control list its folder passes on.
//
// Locks: a named mutex per file, named from the file's full path with its
// letters in one case (Windows paths ignore case). Byte-range locks would be
// mandatory here and would stop the locking run itself from reading the file
// through a second handle.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileSystemDetail.h"
#include "platform/Text.h"
#include "platform/WindowsError.h"

namespace tolvan {
namespace fs_detail {

long CurrentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

bool ProcessIsGone(long pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool gone = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  ::CloseHandle(process);
  return gone;
}

}  // namespace fs_detail

using namespace fs_detail;

namespace {

// Windows' wide characters are UTF-16 units.
std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* wide, size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide), length));
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

// "cannot <what> <path>: <the system's words>", coded by the error.
Status WinError(const std::string& what, const std::string& path, DWORD error) {
  std::string message = "cannot " + what + " " + path + ": " + DescribeWindowsError(error);
  if (IsMissing(error)) return Status::NotFound(std::move(message));
  return Status::IoError(std::move(message));
}

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  bool Close() {
    if (!valid()) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The absolute form of `path` (GetFullPathNameW: separators made '\\', "."
// and ".." resolved), or nothing.
std::optional<std::wstring> FullPath(const std::wstring& path) {
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return std::nullopt;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return std::nullopt;
  full.resize(written);
  return full;
}

// Whether `path` names a device rather than a file: CON, NUL, COM1 and the
// like name the device in every folder and with any extension ("C:\\x\\nul.bas"),
// and "\\\\.\\" paths name devices outright. Told from the name alone: opening
// the console or a serial port, even only to ask about it, can fail or wait.
bool NamesADevice(const std::wstring& path) {
  const std::optional<std::wstring> full = FullPath(path);
  return full && full->rfind(L"\\\\.\\", 0) == 0;
}

// The attributes a new file takes over from the file it replaces: those a
// user sets in the file's properties, less read-only (a read-only file is
// refused before it is replaced).
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Opens `path` only to ask about it: no access, folders too.
HANDLE OpenForQuery(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int64_t NanosecondsSinceEpoch(const FILETIME& time) {
  // FILETIME counts 100 ns steps since 1601-01-01.
  const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  constexpr uint64_t kEpochTicks = 116444736000000000ULL;
  return (static_cast<int64_t>(ticks) - static_cast<int64_t>(kEpochTicks)) * 100;
}

Result<FileInfo> InfoOf(HANDLE handle, const std::string& path) {
  FileInfo info;
  const DWORD type = ::GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    info.kind = FileKind::kOther;
    return info;
  }
  BY_HANDLE_FILE_INFORMATION data{};
  if (!::GetFileInformationByHandle(handle, &data)) {
    return WinError("read", path, ::GetLastError());
  }
  const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.kind = folder ? FileKind::kFolder : FileKind::kRegular;
  info.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info.mode = folder ? 0777 : read_only ? 0444 : 0666;
  info.modified_ns = NanosecondsSinceEpoch(data.ftLastWriteTime);
  info.device = data.dwVolumeSerialNumber;
  info.inode = (uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow;
  info.links = data.nNumberOfLinks;
  return info;
}

// Renames `from` to `to` as POSIX systems do, replacing `to` even while
// other programs have it open, as long as they let it be deleted (Windows 10
// and later, on NTFS). False where that cannot be done.
bool RenameReplacingOpenFiles(const std::wstring& from, const std::wstring& to) {
  Handle file(::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                            0, nullptr));
  const std::optional<std::wstring> target = FullPath(to);
  if (!file.valid() || !target) return false;
  // FILE_RENAME_INFO of Windows 10: the flags where older systems had a
  // BOOLEAN, then the root, the name's length in bytes and the name.
  struct RenameInfo {
    DWORD flags;
    HANDLE root;
    DWORD length;
    wchar_t name[1];
  };
  constexpr DWORD kReplaceIfExists = 0x1, kPosixSemantics = 0x2;
  constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  std::vector<unsigned char> buffer(sizeof(RenameInfo) + target->size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<RenameInfo*>(buffer.data());
  info->flags = kReplaceIfExists | kPosixSemantics;
  info->root = nullptr;
  info->length = static_cast<DWORD>(target->size() * sizeof(wchar_t));
  std::copy(target->begin(), target->end(), info->name);
  return ::SetFileInformationByHandle(file.get(), kFileRenameInfoEx, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

// Whether another program has `path` open in a way that keeps it from being
// replaced.
bool HeldOpen(const std::wstring& path) {
  Handle file(::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  return !file.valid() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

class WindowsWritableFile : public WritableFile {
 public:
  WindowsWritableFile(HANDLE handle, std::string path, std::string target)
      : handle_(handle), path_(std::move(path)), target_(std::move(target)) {}
  Status Append(std::string_view bytes) override {
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(handle_.get(), bytes.data() + done, chunk, &written, nullptr)) {
        return WinError("write", target_, ::GetLastError());
      }
      done += written;
    }
    return Status::Ok();
  }
  Status Sync() override {
    if (!::FlushFileBuffers(handle_.get())) return WinError("write", target_, ::GetLastError());
    return Status::Ok();
  }
  Status Close() override {
    if (!handle_.Close()) return WinError("write", target_, ::GetLastError());
    return Status::Ok();
  }
  const std::string& path() const override { return path_; }

 private:
  Handle handle_;
  std::string path_;
  std::string target_;
};

class MutexLock : public FileLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// The full path of `path` with letters in upper case, for naming its lock.
std::wstring LockKey(const std::wstring& path) {
  std::wstring full = FullPath(path).value_or(path);
  std::replace(full.begin(), full.end(), L'/', L'\\');
  if (!full.empty()) ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

// FNV-1a over the UTF-16 units: a mutex name may not hold '\' and is limited
// in length, so the path is named by its hash.
uint64_t Hash(const std::wstring& text) {
  uint64_t hash = 14695981039346656037ULL;
  for (wchar_t c : text) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace

namespace {

// Opens a regular file for reading and says how large it is; a device (CON,
// NUL, a pipe) is refused without being read.
Result<size_t> OpenRegular(LocalFileSystem& fs, const std::string& path, size_t limit,
                           Handle& file) {
  Result<FileInfo> info = fs.Stat(path);
  if (!info) return info.status();
  if (info->kind != FileKind::kRegular) return NotARegularFile("read", path, info->kind);
  if (info->size > limit) return TooLarge(path, limit);
  file.Reset(::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return WinError("read", path, ::GetLastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    return NotARegularFile("read", path, FileKind::kOther);
  }
  return static_cast<size_t>(std::min<uint64_t>(info->size, limit));
}

// Reads the open file to its end a block at a time, handing each to
// `block` until it returns false; a file that grows meanwhile is bounded.
Status ReadBlocks(const Handle& file, const std::string& path, size_t limit,
                  const std::function<bool(std::string_view)>& block) {
  char buffer[65536];
  size_t total = 0;
  while (true) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      return WinError("read", path, ::GetLastError());
    }
    if (n == 0) return Status::Ok();
    total += n;
    if (total > limit) return TooLarge(path, limit);
    if (!block(std::string_view(buffer, n))) return Status::Ok();
  }
}

}  // namespace

Result<std::string> LocalFileSystem::ReadFile(const std::string& path, size_t limit) {
  Handle file;
  Result<size_t> size = OpenRegular(*this, path, limit, file);
  if (!size) return size.status();
  std::string bytes;
  bytes.reserve(*size + 1);
  Status s = ReadBlocks(file, path, limit, [&bytes](std::string_view block) {
    bytes.append(block);
    return true;
  });
  if (!s) return s;
  return bytes;
}

Status LocalFileSystem::ReadPieces(const std::string& path, size_t limit,
                                   const std::function<bool(std::string_view)>& piece) {
  Handle file;
  Result<size_t> size = OpenRegular(*this, path, limit, file);
  if (!size) return size.status();
  return ReadBlocks(file, path, limit, piece);
}

Result<FileInfo> LocalFileSystem::Stat(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (NamesADevice(wide)) return FileInfo{.kind = FileKind::kOther};
  Handle file(OpenForQuery(wide));
  if (!file.valid()) return WinError("read", path, ::GetLastError());
  return InfoOf(file.get(), path);
}

Result<std::string> LocalFileSystem::ResolveLinks(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (NamesADevice(wide)) return path;  // refused as not a regular file afterwards
  Handle file(OpenForQuery(wide));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    if (IsMissing(error)) return path;
    return WinError("write", path, error);
  }
  std::wstring final(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()),
                                        FILE_NAME_NORMALIZED);
  if (n >= final.size()) {
    final.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()),
                                    FILE_NAME_NORMALIZED);
  }
  // Without an answer the path is used as given: it names the file itself
  // unless it is a link, and links are rare on Windows.
  if (n == 0 || n >= final.size()) return path;
  final.resize(n);
  if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.rfind(L"\\\\?\\", 0) == 0) {
    final = final.substr(4);
  }
  // With no link on the way the path stays as the user wrote it (its
  // separators, its letter case), so that messages use their words.
  if (const std::optional<std::wstring> full = FullPath(wide);
      full && full->size() == final.size() &&
      ::CompareStringOrdinal(full->data(), static_cast<int>(full->size()), final.data(),
                             static_cast<int>(final.size()), TRUE) == CSTR_EQUAL) {
    return path;
  }
  return Utf8(final.data(), final.size());
}

Status LocalFileSystem::CheckWritable(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::IoError("cannot write " + path + ": it is read-only");
  }
  Handle file(
      ::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.valid()) return Status::Ok();
  const DWORD error = ::GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    return Status::IoError("cannot write " + path + ": access is denied");
  }
  if (error == ERROR_SHARING_VIOLATION) {
    return Status::IoError("cannot write " + path + ": another program has it open");
  }
  return WinError("write", path, error);
}

Result<std::unique_ptr<WritableFile>> LocalFileSystem::CreateTemporary(const std::string& target,
                                                                       const NewFileMode& mode) {
  (void)mode;  // Windows files have attributes instead of permission bits
  // Made with the attributes and the creation time of the file it will
  // replace, which the rename would not carry over.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  std::optional<FILETIME> created;
  WIN32_FILE_ATTRIBUTE_DATA old{};
  if (::GetFileAttributesExW(Wide(target).c_str(), GetFileExInfoStandard, &old)) {
    if ((old.dwFileAttributes & kKeptAttributes) != 0) {
      attributes = old.dwFileAttributes & kKeptAttributes;
    }
    created = old.ftCreationTime;
  }
  const std::string base = Join(Folder(target), TemporaryName(target));
  for (int attempt = 0; attempt < 100; ++attempt) {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const std::string temp =
        base + std::to_string(static_cast<uint64_t>(now.QuadPart) % 1000000007ULL + attempt);
    HANDLE handle = ::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, attributes, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      if (created) ::SetFileTime(handle, &*created, nullptr, nullptr);  // only for show
      return std::unique_ptr<WritableFile>(
          std::make_unique<WindowsWritableFile>(handle, temp, target));
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
      return Status::IoError("cannot write " + target + ": the folder " + Folder(target) +
                             " is not writable");
    }
    return WinError("write", target, error);
  }
  return Status::IoError("cannot write " + target + ": no free name for a temporary file in " +
                         Folder(target));
}

Status LocalFileSystem::Rename(const std::string& from, const std::string& to) {
  const std::wstring wide_from = Wide(from);
  const std::wstring wide_to = Wide(to);
  if (RenameReplacingOpenFiles(wide_from, wide_to)) return Status::Ok();
  // Other programs (an indexer, a virus scanner, an editor reading) may
  // have the old file open for a moment, which stops the classic rename.
  DWORD error = ERROR_SUCCESS;
  bool held = false;  // seen held open by another program at some try
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (::MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Status::Ok();
    }
    error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    held = held || error == ERROR_SHARING_VIOLATION || HeldOpen(wide_to);
    ::Sleep(50);
  }
  if (held) return Status::IoError("cannot write " + to + ": another program has it open");
  return WinError("write", to, error);
}

Status LocalFileSystem::Remove(const std::string& path) {
  if (!::DeleteFileW(Wide(path).c_str())) {
    const DWORD error = ::GetLastError();
    if (!IsMissing(error)) return WinError("remove", path, error);
  }
  return Status::Ok();
}

Result<std::vector<std::string>> LocalFileSystem::ListFolder(const std::string& path) {
  const std::wstring pattern = Wide(Join(path, "*"));
  WIN32_FIND_DATAW entry{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::vector<std::string>();  // an empty folder
    if (error == ERROR_DIRECTORY) return WinError("read the folder", path, ERROR_PATH_NOT_FOUND);
    return WinError("read the folder", path, error);
  }
  std::vector<std::string> names;
  DWORD error = ERROR_NO_MORE_FILES;
  do {
    std::string name = Utf8(entry.cFileName, wcslen(entry.cFileName));
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (::FindNextFileW(find, &entry) || (error = ::GetLastError()) != ERROR_NO_MORE_FILES);
  ::FindClose(find);
  if (error != ERROR_NO_MORE_FILES) return WinError("read the folder", path, error);
  std::sort(names.begin(), names.end());
  return names;
}

Status LocalFileSystem::CreateFolder(const std::string& path) {
  // Each folder from the top down; a drive or a share itself is never made.
  size_t start = 0;
  if (path.rfind("\\\\", 0) == 0 || path.rfind("//", 0) == 0) {
    // \\server\share: the first two names are the share.
    start = path.find_first_of("/\\", 2);
    start = start == std::string::npos ? path.size() : path.find_first_of("/\\", start + 1);
    if (start == std::string::npos) start = path.size();
  } else if (path.size() >= 2 && path[1] == ':') {
    start = 2;
  }
  for (size_t end = path.find_first_of("/\\", start + 1);;
       end = path.find_first_of("/\\", end + 1)) {
    const std::string part = path.substr(0, end);
    if (part.size() > start && !IsSeparator(part.back()) &&
        !::CreateDirectoryW(Wide(part).c_str(), nullptr)) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) {
        return WinError("create the folder", part, error);
      }
    }
    if (end == std::string::npos) break;
  }
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return WinError("create the folder", path, ::GetLastError());
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::InvalidArgument("cannot create the folder " + path +
                                   ": a file of that name is in the way");
  }
  return Status::Ok();
}

Result<std::unique_ptr<FileLock>> LocalFileSystem::Lock(const std::string& path, bool create) {
  const std::wstring wide = Wide(path);
  if (NamesADevice(wide)) return NotARegularFile("lock", path, FileKind::kOther);
  wchar_t name[64];
  swprintf(name, 64, L"Local\\Tolvan-lock-%016llx",
           static_cast<unsigned long long>(Hash(LockKey(wide))));
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return WinError("lock", path, ::GetLastError());
  const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
  // An abandoned mutex belonged to a run that ended without letting go; it
  // is ours now all the same.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(mutex);
    return WinError("lock", path, error);
  }
  auto lock = std::make_unique<MutexLock>(mutex);
  // The file is looked at only once the lock is held: the run that held it
  // before may have been replacing it.
  if (::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (!IsMissing(error) || !create) return WinError("lock", path, error);
    Handle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return WinError("lock", path, ::GetLastError());
  }
  return std::unique_ptr<FileLock>(std::move(lock));
}

uint32_t LocalFileSystem::NewFileBits() { return 0666; }

uint32_t ProcessUmask() { return 0; }

}  // namespace tolvan
