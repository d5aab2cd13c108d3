#include "vbsource/VbpProject.h"

#include <algorithm>
#include <functional>
#include <system_error>

#include "platform/PathText.h"
#include "platform/Text.h"
#include "vbsource/SourceFile.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

std::u16string_view Trim(std::u16string_view s) {
  size_t b = s.find_first_not_of(u" \t");
  if (b == std::u16string_view::npos) return {};
  size_t e = s.find_last_not_of(u" \t");
  return s.substr(b, e - b + 1);
}

std::u16string Unquote(std::u16string_view s) {
  s = Trim(s);
  if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"') s = s.substr(1, s.size() - 2);
  return std::u16string(s);
}

bool IsKey(std::u16string_view key, std::u16string_view want) {
  return EqualsIgnoreCase(key, want);
}

std::u16string FoldedPath(const std::filesystem::path& path) {
  return FoldCase(Utf8ToUtf16(GenericPathUtf8(path.lexically_normal())));
}

}  // namespace

Result<VbpFile> ParseVbp(std::string_view bytes, const std::string& encoding,
                         const std::string& display_name) {
  Result<SourceFile> file = SourceFile::Decode(std::string(bytes), encoding, display_name);
  if (!file) return file.status();
  VbpFile vbp;
  bool have_name = false;
  bool have_description = false;
  for (const SourceLine& line : file->lines()) {
    std::u16string_view text = Trim(file->Text(line));
    if (!text.empty() && text.front() == u'[') break;
    size_t eq = text.find(u'=');
    if (eq == std::u16string_view::npos) continue;
    std::u16string_view key = Trim(text.substr(0, eq));
    std::u16string_view value = text.substr(eq + 1);
    if (IsKey(key, u"Name")) {
      if (!have_name) vbp.name = Unquote(value);
      have_name = true;
    } else if (IsKey(key, u"Description")) {
      if (!have_description) vbp.description = Unquote(value);
      have_description = true;
    } else if (IsKey(key, u"Module") || IsKey(key, u"Class")) {
      size_t semicolon = value.find(u';');
      vbp.members.push_back(
          Unquote(semicolon == std::u16string_view::npos ? value : value.substr(semicolon + 1)));
    } else if (IsKey(key, u"Form") || IsKey(key, u"UserControl") || IsKey(key, u"PropertyPage") ||
               IsKey(key, u"UserDocument") || IsKey(key, u"Designer")) {
      vbp.members.push_back(Unquote(value));
    }
  }
  return vbp;
}

bool VbpListsModule(const VbpFile& vbp, const std::filesystem::path& vbp_folder,
                    const std::filesystem::path& module) {
  const std::u16string want = FoldedPath(module);
  for (const std::u16string& member : vbp.members) {
    std::string relative = Utf16ToUtf8(member);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const bool drive = relative.size() >= 2 && relative[1] == ':';
#ifdef _WIN32
    // A member on a drive names its file wherever the project is.
    if (drive && FoldedPath(PathFromUtf8(relative)) == want) return true;
#endif
    // Elsewhere a Windows drive path cannot be this folder's file.
    if (relative.empty() || relative.front() == '/' || drive) continue;
    if (FoldedPath(vbp_folder / PathFromUtf8(relative)) == want) return true;
  }
  return false;
}

namespace {

// The project of `module` with each candidate .vbp read by `read`.
Result<ProjectInfo> FindProjectWith(
    const std::filesystem::path& module, FileSystem& fs,
    const std::function<Result<VbpFile>(const std::filesystem::path&)>& read) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(module, ec);
  if (ec) absolute = module;
  absolute = absolute.lexically_normal();
  const std::filesystem::path folder = absolute.parent_path();

  std::vector<std::filesystem::path> candidates;
  // A folder that cannot be listed holds no project we could read.
  Result<std::vector<std::string>> names = fs.ListFolder(PathUtf8(folder));
  for (const std::string& name : names ? *names : std::vector<std::string>()) {
    const std::filesystem::path p = folder / PathFromUtf8(name);
    if (!EqualsIgnoreCase(Utf8ToUtf16(PathUtf8(p.extension())), u".vbp")) continue;
    Result<FileInfo> info = fs.Stat(PathUtf8(p));
    if (info && info->kind == FileKind::kRegular) candidates.push_back(p);
  }
  std::sort(candidates.begin(), candidates.end());

  std::vector<std::string> notes;
  for (const std::filesystem::path& candidate : candidates) {
    Result<VbpFile> vbp = read(candidate);
    if (!vbp) {
      notes.push_back("skipped the project file " + PathUtf8(candidate) + ": " +
                      vbp.status().message());
      continue;
    }
    if (VbpListsModule(*vbp, folder, absolute)) {
      return ProjectInfo{std::move(vbp->name), std::move(vbp->description), candidate,
                         std::move(notes)};
    }
  }
  return ProjectInfo{Utf8ToUtf16(PathUtf8(folder.filename())), u"", {}, std::move(notes)};
}

Result<VbpFile> ReadVbp(FileSystem& fs, const std::filesystem::path& vbp) {
  Result<std::string> bytes = fs.ReadFile(PathUtf8(vbp), kSettingsSizeLimit);
  if (!bytes) return bytes.status();
  return ParseVbp(*bytes, "", PathUtf8(vbp));
}

}  // namespace

Result<ProjectInfo> FindProject(const std::filesystem::path& module, FileSystem& fs) {
  return FindProjectWith(module, fs,
                         [&fs](const std::filesystem::path& vbp) { return ReadVbp(fs, vbp); });
}

Result<ProjectInfo> ProjectFinder::Find(const std::filesystem::path& module) {
  return FindProjectWith(module, fs_, [this](const std::filesystem::path& vbp) {
    const std::string key = PathUtf8(vbp);
    Result<FileInfo> info = fs_.Stat(key);
    std::lock_guard lock(mutex_);
    auto found = cache_.find(key);
    if (info && found != cache_.end() && found->second.size == info->size &&
        found->second.modified_ns == info->modified_ns) {
      return found->second.vbp;
    }
    ++reads_;
    Result<VbpFile> vbp_file = ReadVbp(fs_, vbp);
    if (info) cache_[key] = Cached{info->size, info->modified_ns, vbp_file};
    return vbp_file;
  });
}

}  // namespace tolvan::host
