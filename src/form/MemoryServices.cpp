#include "form/MemoryServices.h"

#include <utility>

#include "settings/clsSaveSetting.h"

namespace tolvan::dialog {
namespace {

// Hands out an injected failure once.
bool TakeFailure(Status& failure, Status& out) {
  if (failure.ok()) return false;
  out = std::exchange(failure, Status::Ok());
  return true;
}

std::u16string RegistryKey(std::u16string_view root, std::u16string_view subkey,
                           std::u16string_view name) {
  std::u16string key(root);
  key += u'|';
  key += subkey;
  key += u'|';
  key += name;
  return key;
}

}  // namespace

Result<SettingsRecord> FactorySettings() { return clsSaveSetting::Defaults(); }

std::u16string BaseNameOfIniPath(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  std::u16string_view file = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  if (file.size() < 4) return {};
  return std::u16string(file.substr(0, file.size() - 4));
}

InMemorySettingsFiles::InMemorySettingsFiles(SettingsRecord defaults, std::u16string path)
    : ini_path(std::move(path)), defaults_(std::move(defaults)) {}

std::u16string InMemorySettingsFiles::GetIniDir() {
  calls.push_back(u"GetIniDir");
  return ini_path;
}

Status InMemorySettingsFiles::SetIniDir(std::u16string_view path) {
  calls.push_back(u"SetIniDir " + std::u16string(path));
  Status failure;
  if (TakeFailure(set_ini_dir_failure, failure)) return failure;
  ini_path = path;
  return Status::Ok();
}

Status InMemorySettingsFiles::Load(SettingsRecord& settings) {
  calls.push_back(u"Load");
  Status failure;
  if (TakeFailure(load_failure, failure)) return failure;
  auto it = stored.find(ini_path);
  if (it == stored.end()) {
    const bool keep_remove = settings.blnParamMacroRemove;
    const std::u16string keep_name = settings.strIniName;
    settings = defaults_;
    settings.blnParamMacroRemove = keep_remove;
    settings.strIniName = keep_name;
    return Status::Ok();
  }
  settings = it->second;
  settings.strIniName = BaseNameOfIniPath(ini_path);
  return Status::Ok();
}

Status InMemorySettingsFiles::Save(SettingsRecord& settings) {
  calls.push_back(u"Save");
  Status failure;
  if (TakeFailure(save_failure, failure)) return failure;
  settings.strIniName = BaseNameOfIniPath(ini_path);
  stored[ini_path] = settings;
  return Status::Ok();
}

std::optional<std::u16string> InMemoryRegistry::ReadRegistryText(std::u16string_view root,
                                                                 std::u16string_view subkey,
                                                                 std::u16string_view name) {
  std::u16string key = RegistryKey(root, subkey, name);
  reads.push_back(key);
  auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

Status InMemoryRegistry::WriteRegistryText(std::u16string_view root, std::u16string_view subkey,
                                           std::u16string_view name, std::u16string_view value) {
  Status failure;
  if (TakeFailure(write_failure, failure)) return failure;
  values[RegistryKey(root, subkey, name)] = value;
  return Status::Ok();
}

std::optional<std::u16string> ScriptedFileChooser::ChooseFile(const FileDialogRequest& request) {
  requests.push_back(request);
  if (answers.empty()) return std::nullopt;
  std::optional<std::u16string> answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

void RecordingMessageBoxes::Warn(std::u16string_view title, std::u16string_view text) {
  shown.push_back({std::u16string(title), std::u16string(text)});
}

void RecordingDesktop::OpenDocument(std::u16string_view path_or_url) {
  opened.emplace_back(path_or_url);
}

}  // namespace tolvan::dialog
