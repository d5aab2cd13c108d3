#include "settings/SettingsContext.h"

#include <filesystem>

#include "platform/PathText.h"
#include "platform/Text.h"
#include "settings/FileRegistryStore.h"
#include "settings/clsReg.h"

namespace tolvan {

SettingsContext::SettingsContext(std::unique_ptr<RegistryStore> registry,
                                 std::unique_ptr<FileSystem> files, std::string module_dir)
    : SettingsContext(std::move(registry), *files, std::move(module_dir)) {
  owned_files_ = std::move(files);
}

SettingsContext::SettingsContext(std::unique_ptr<RegistryStore> registry, FileSystem& files,
                                 std::string module_dir)
    : registry_(std::move(registry)), files_(&files), module_dir_(std::move(module_dir)) {
  while (module_dir_.size() > 1 && IsPathSeparator(module_dir_.back())) module_dir_.pop_back();
}

Result<std::string> SettingsContext::ConfigFolder(const char* xdg_config_home, const char* home) {
  // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory
  // rules ask.
  if (xdg_config_home && PathFromUtf8(xdg_config_home).is_absolute()) {
    return PathUtf8(PathFromUtf8(xdg_config_home) / "tolvan");
  }
  if (home && home[0] != '\0') return PathUtf8(PathFromUtf8(home) / ".config" / "tolvan");
  return Status::Error(
      "cannot find the configuration folder: neither XDG_CONFIG_HOME nor HOME is set");
}

namespace {

// The context over the caller's file system, or over one of its own.
SettingsContext MakeContext(std::unique_ptr<RegistryStore> registry, FileSystem* files,
                            std::string module_dir) {
  if (files) return SettingsContext(std::move(registry), *files, std::move(module_dir));
  return SettingsContext(std::move(registry), std::make_unique<LocalFileSystem>(),
                         std::move(module_dir));
}

}  // namespace

SettingsContext SettingsContext::ForConfigFolder(const std::string& folder, FileSystem* files) {
  // The registry store is read and written through the context's files.
  std::unique_ptr<FileSystem> own;
  if (!files) {
    own = std::make_unique<LocalFileSystem>();
    files = own.get();
  }
  auto registry = std::make_unique<FileRegistryStore>(PathFromUtf8(folder), *files);
  if (own) return SettingsContext(std::move(registry), std::move(own), folder);
  return SettingsContext(std::move(registry), *files, folder);
}

Result<SettingsContext> SettingsContext::ForProfileFile(std::u16string_view ini_path,
                                                        FileSystem* files) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(PathFromUtf8(Utf16ToUtf8(ini_path)), ec);
  if (ec)
    return Status::Error("cannot use the settings file " + Utf16ToUtf8(ini_path) + ": " +
                         ec.message());
  std::string utf8 = PathUtf8(path.lexically_normal());
  SettingsContext context =
      MakeContext(std::make_unique<MemoryRegistryStore>(), files, PathUtf8(path.parent_path()));
  clsReg reg(context.registry(), context.files());
  Status s = reg.SetRegValue(u"HKEY_CURRENT_USER", u"SOFTWARE\\Quenby Software\\Tolvan",
                             u"IniFilePath", Utf8ToUtf16(utf8));
  if (!s) return Status::Error("cannot use the settings file " + utf8 + ": " + s.message());
  return context;
}

Result<SettingsContext> SettingsContext::ForRun(std::u16string_view ini_path, FileSystem* files) {
  if (ini_path.empty()) return ForThisMachine(files);
  Result<SettingsContext> context = ForProfileFile(ini_path, files);
  if (!context) return context.status();
  const std::string ini = Utf16ToUtf8(ini_path);
  if (!context->files().Exists(ini)) {
    return Status::Error("the settings file " + ini + " does not exist");
  }
  return context;
}

}  // namespace tolvan
