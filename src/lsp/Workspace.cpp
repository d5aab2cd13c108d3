#include "lsp/Workspace.h"

#include <algorithm>
#include <cctype>

#include "platform/PathText.h"
#include "platform/Text.h"
#include "settings/clsSaveSetting.h"

namespace tolvan::lsp {
namespace {

bool EndsWithNoCase(const std::string& name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char s, char n) {
    return s == static_cast<char>(std::tolower(static_cast<unsigned char>(n)));
  });
}

std::string DataFileOf(const std::string& ini) {
  return PathUtf8(PathFromUtf8(ini).replace_extension(".dat"));
}

}  // namespace

std::optional<std::pair<uint64_t, int64_t>> FileStamps::Look(FileSystem& fs,
                                                             const std::string& path) {
  Result<FileInfo> info = fs.Stat(path);
  if (!info) return std::nullopt;
  return std::make_pair(info->size, info->modified_ns);
}

void FileStamps::Watch(FileSystem& fs, const std::string& path) {
  stamps_.push_back(Stamp{path, Look(fs, path)});
}

bool FileStamps::Changed(FileSystem& fs) const {
  return std::any_of(stamps_.begin(), stamps_.end(),
                     [&](const Stamp& s) { return Look(fs, s.path) != s.size_and_time; });
}

const Result<SettingsRecord>& Workspace::Settings() {
  if (settings_ && !settings_stamps_.Changed(fs_)) return *settings_;
  FileStamps stamps;
  std::string ini = source_.file();
  if (ini.empty()) {
    // This machine's settings: the registry store names the file in use.
    Result<SettingsContext> context = SettingsContext::ForThisMachine(&fs_);
    if (context) {
      stamps.Watch(fs_, PathUtf8(PathFromUtf8(context->module_dir()) / "registry.reg"));
      SettingsRecord scratch;
      if (Result<std::u16string> in_use = clsSaveSetting(scratch, *context).GetIniDir(); in_use)
        ini = Utf16ToUtf8(*in_use);
    }
  }
  if (!ini.empty()) {
    stamps.Watch(fs_, ini);
    stamps.Watch(fs_, DataFileOf(ini));
  }
  settings_stamps_ = std::move(stamps);
  ++generation_;
  if (!source_.file().empty() && !fs_.Stat(source_.file())) {
    settings_ = Result<SettingsRecord>(
        Status::NotFound("the settings file " + source_.file() + " does not exist"));
  } else {
    settings_ = source_.Load();
  }
  return *settings_;
}

const host::ProjectInfo& Workspace::ProjectOf(const std::filesystem::path& module) {
  auto it = projects_.find(module);
  if (it != projects_.end() && !it->second.stamps.Changed(fs_)) return it->second.info;
  Project project;
  // The folder's time changes when a file comes, goes or is renamed over
  // (an editor's save); a .vbp rewritten in place changes its own.
  const std::filesystem::path folder = module.parent_path();
  project.stamps.Watch(fs_, PathUtf8(folder));
  if (Result<std::vector<std::string>> names = fs_.ListFolder(PathUtf8(folder)); names) {
    for (const std::string& name : *names) {
      if (EndsWithNoCase(name, ".vbp"))
        project.stamps.Watch(fs_, PathUtf8(folder / PathFromUtf8(name)));
    }
  }
  Result<host::ProjectInfo> found = host::FindProject(module, fs_);
  if (found) {
    for (const std::string& note : found->notes) log_(note);
    project.info = std::move(*found);
  } else {
    log_(found.message());
    project.info = host::ProjectInfo{Utf8ToUtf16(PathUtf8(folder.filename())), u"", {}, {}};
  }
  return (projects_[module] = std::move(project)).info;
}

}  // namespace tolvan::lsp
