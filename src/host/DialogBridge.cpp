#include "host/DialogBridge.h"

#include "host/DialogLoader.h"
#include "settings/clsReg.h"
#include "settings/clsSaveSetting.h"

namespace tolvan::host {

std::u16string SettingsFilesBridge::GetIniDir() {
  SettingsRecord unused;  // the settings file's path does not touch the record
  auto path = clsSaveSetting(unused, context_).GetIniDir();
  return path ? *path : std::u16string();
}

Status SettingsFilesBridge::SetIniDir(std::u16string_view path) {
  SettingsRecord unused;
  return clsSaveSetting(unused, context_).SetIniDir(path);
}

Status SettingsFilesBridge::Load(SettingsRecord& settings) {
  return clsSaveSetting(settings, context_).Load();
}

Status SettingsFilesBridge::Save(SettingsRecord& settings) {
  return clsSaveSetting(settings, context_).Save();
}

std::optional<std::u16string> RegistryBridge::ReadRegistryText(std::u16string_view root,
                                                               std::u16string_view subkey,
                                                               std::u16string_view name) {
  RegVariant value =
      clsReg(context_.registry(), context_.files()).vntGetRegValue(root, subkey, name);
  if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
  return std::nullopt;
}

Status RegistryBridge::WriteRegistryText(std::u16string_view root, std::u16string_view subkey,
                                         std::u16string_view name, std::u16string_view value) {
  return clsReg(context_.registry(), context_.files())
      .SetRegValue(root, subkey, name, RegVariant(std::u16string(value)));
}

Status LibrarySettingsDialog::ShowModal(const std::vector<std::u16string>& toolbars) {
  auto module = LoadDialogModule(fs_);
  if (!module) return module.status();
  dialog::SettingsDialogContext context{
      .settings = settings_, .files = files_, .registry = registry_, .error_message = {}};
  if ((*module)->ShowSettingsDialog(context, toolbars) == dialog::kDialogCouldNotOpen) {
    return Status::Error(context.error_message);
  }
  return Status::Ok();
}

}  // namespace tolvan::host
