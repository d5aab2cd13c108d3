#include "project/ChangeReaders.h"

#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "project/MarkerDialectFile.h"

namespace tolvan::project {

ChangeReaders::ChangeReaders(SettingsRecord settings, SettingsRecord defaults,
                             std::vector<std::string> dialect_names, std::string dialects_file)
    : settings_(std::move(settings)),
      defaults_(std::move(defaults)),
      names_(std::move(dialect_names)),
      file_(std::move(dialects_file)) {}

Result<const ChangeMarkers*> ChangeReaders::For(const std::filesystem::path& module) {
  const std::string file = file_.empty() ? PathUtf8(FindMarkerDialectFile(module)) : file_;
  if (auto it = readers_.find(file); it != readers_.end()) return it->second.get();
  auto dialects = BuiltInDialectsNamed(names_);
  if (!dialects) return dialects.status();
  if (!file.empty()) {
    auto bytes = ReadFileBytes(file);
    if (!bytes) return Status::Error(file + ": " + bytes.message());
    auto own = ParseMarkerDialects(*bytes, file);
    if (!own) return own.status();
    dialects->insert(dialects->end(), own->begin(), own->end());
  }
  auto& slot = readers_[file];
  slot = std::make_unique<ChangeMarkers>(settings_, defaults_, std::move(*dialects));
  return slot.get();
}

}  // namespace tolvan::project
