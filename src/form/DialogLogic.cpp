#include "form/DialogLogic.h"

#include <charconv>

#include "platform/VbFormat.h"

#ifndef TOLVAN_VERSION
#define TOLVAN_VERSION "0.0.0.0"
#endif

namespace tolvan::dialog {

std::u16string DialogCaption(std::u16string_view strIniName) {
  std::u16string caption(kProductTitle);
  if (!strIniName.empty() && strIniName != kProductTitle) {
    caption += u" - ";
    caption += strIniName;
  }
  return caption;
}

const std::vector<GroupNode>& PageTree() {
  static const std::vector<GroupNode> tree = {
      {u"Header", u"ヘッダー", {{u"K00", u"Module"}, {u"K11", u"Form"}, {u"K12", u"Class"}}},
      {u"Sub",
       u"Sub/Function",
       {{u"K01", u"Public Sub"},
        {u"K13", u"Friend Sub"},
        {u"K02", u"Private Sub"},
        {u"K03", u"Public Function"},
        {u"K14", u"Friend Function"},
        {u"K04", u"Private Function"}}},
      {u"Property",
       u"Property",
       {{u"K05", u"Public Get"},
        {u"K15", u"Friend Get"},
        {u"K06", u"Private Get"},
        {u"K07", u"Public Let"},
        {u"K16", u"Friend Let"},
        {u"K08", u"Private Let"},
        {u"K09", u"Public Set"},
        {u"K17", u"Friend Set"},
        {u"K10", u"Private Set"}}},
      {u"LineComment",
       u"行コメント",
       {{u"K21", u"パターン1"},
        {u"K22", u"パターン2"},
        {u"K23", u"パターン3"},
        {u"K24", u"行コメントの動作"}}},
      {u"Other",
       u"その他の設定",
       {{u"K18", u"引数の詳細設定"}, {u"K19", u"ユーザー定義マクロ"}, {u"K20", u"動作設定"}}},
  };
  return tree;
}

std::optional<int> PageIndexFromKey(std::u16string_view key) {
  if (key.size() != 3 || key[0] != u'K') return std::nullopt;
  if (key[1] < u'0' || key[1] > u'9' || key[2] < u'0' || key[2] > u'9') return std::nullopt;
  int page = (key[1] - u'0') * 10 + (key[2] - u'0');
  if (page >= kPageCount) return std::nullopt;
  return page;
}

std::u16string PageKey(int page) {
  std::u16string key = u"K";
  key += static_cast<char16_t>(u'0' + page / 10 % 10);
  key += static_cast<char16_t>(u'0' + page % 10);
  return key;
}

std::u16string_view PageText(int page) {
  const std::u16string key = PageKey(page);
  for (const GroupNode& group : PageTree()) {
    for (const PageNode& node : group.pages) {
      if (node.key == key) return node.text;
    }
  }
  return {};
}

SampleProcedure SetSampleProc(int page, const PreviewTexts& texts, const LocalDateTime& now) {
  SampleProcedure sample;
  ProcInfo& proc = sample.vntSampleProc;
  proc[proc_info::kProjectDescription] = u"プロジェクトの説明";
  if (Result<std::u16string> date = FormatDateTime(now, texts.date_format); date.ok()) {
    proc[proc_info::kDateText] = std::move(date.value());
  }
  proc[proc_info::kProjectName] = u"Project1";
  proc[proc_info::kProcedureName] = u"func1";
  proc[proc_info::kReturnType] = u"Long";
  sample.vntSampleParams = {
      {u"lngParam1", u"Long", texts.by_val, texts.optional_text, texts.optional_default, u"0"},
      {u"strParam2", u"String", texts.by_val, u"", u"", u""},
      {u"vntParam3", u"Variant", texts.by_ref, texts.optional_text, texts.optional_default,
       u"\"abc\""},
  };

  switch (page) {
    case template_slot::kModule:
    case template_slot::kForm:
    case template_slot::kClass:
      proc[proc_info::kReturnType].clear();
      sample.vntSampleParams = NoParameters();
      break;
    case template_slot::kPublicFunction:
    case template_slot::kPrivateFunction:
    case template_slot::kPublicGet:
    case template_slot::kPrivateGet:
    case template_slot::kFriendFunction:
    case template_slot::kFriendGet:
      break;
    default:
      proc[proc_info::kReturnType].clear();
      break;
  }
  proc[proc_info::kModuleName] = page == template_slot::kForm    ? u"Form1"
                                 : page == template_slot::kClass ? u"Class1"
                                                                 : u"Module1";
  return sample;
}

namespace {

FileDialogRequest BaseRequest(FileDialogRequest::Mode mode, std::u16string_view ini_path) {
  FileDialogRequest request;
  request.mode = mode;
  request.title = kFileDialogTitle;
  request.filter = kFileDialogFilter;
  request.default_extension = kFileDialogDefaultExt;
  request.initial_path = ini_path;
  return request;
}

}  // namespace

FileDialogRequest LoadRequest(std::u16string_view ini_path, std::u16string_view strIniName) {
  FileDialogRequest request = BaseRequest(FileDialogRequest::Mode::kOpen, ini_path);
  request.flags = kLoadFlags;
  request.proposed_name = std::u16string(strIniName) + u".ini";
  return request;
}

FileDialogRequest SaveRequest(std::u16string_view ini_path, std::u16string_view strIniName) {
  FileDialogRequest request = BaseRequest(FileDialogRequest::Mode::kSave, ini_path);
  request.flags = kSaveFlags;
  request.proposed_name =
      strIniName.empty() ? std::u16string(u"Tolvan.ini") : std::u16string(strIniName) + u".ini";
  return request;
}

std::u16string HelpDocumentPath(std::u16string_view folder) {
  std::u16string path(folder);
  if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) {
    // The folder already ends in a separator.
  } else if (path.find(u'\\') != std::u16string::npos && path.find(u'/') == std::u16string::npos) {
    path += u'\\';
  } else {
    path += u'/';
  }
  path += kHelpDocumentName;
  return path;
}

std::optional<std::u16string> HelpFolder(RegistryReader& registry) {
  for (std::u16string_view root :
       {kRegistryMachineRoot, std::u16string_view(u"HKEY_CURRENT_USER")}) {
    std::optional<std::u16string> folder =
        registry.ReadRegistryText(root, kRegistrySubKey, kInstallPathValue);
    if (folder && !folder->empty()) return folder;
  }
  return std::nullopt;
}

VersionRecord ParseVersion(std::string_view dotted) {
  int parts[4] = {0, 0, 0, 0};
  size_t start = 0;
  for (int& part : parts) {
    if (start > dotted.size()) break;
    size_t end = dotted.find('.', start);
    if (end == std::string_view::npos) end = dotted.size();
    std::from_chars(dotted.data() + start, dotted.data() + end, part);
    start = end + 1;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

VersionRecord ProductVersion() { return ParseVersion(TOLVAN_VERSION); }

std::u16string VersionLine(const VersionRecord& version) {
  auto number = [](int n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  };
  return u"Version " + number(version.major) + u"." + number(version.minor) + u"  Build " +
         number(version.revision);
}

bool IsRefusedInMacroWord(char16_t c) { return c == u'"' || c == u'$'; }

bool HasRefusedMacroCharacter(std::u16string_view word) {
  for (char16_t c : word) {
    if (IsRefusedInMacroWord(c)) return true;
  }
  return false;
}

std::u16string ToBoxText(std::u16string_view record_text) {
  std::u16string out;
  out.reserve(record_text.size());
  for (size_t i = 0; i < record_text.size(); ++i) {
    if (record_text[i] == u'\r' && i + 1 < record_text.size() && record_text[i + 1] == u'\n') {
      continue;  // the LF that follows stands for the pair
    }
    out += record_text[i];
  }
  return out;
}

std::u16string FromBoxText(std::u16string_view box_text) {
  std::u16string out;
  out.reserve(box_text.size() + box_text.size() / 16);
  for (char16_t c : box_text) {
    if (c == u'\n') out += u'\r';
    out += c;
  }
  return out;
}

}  // namespace tolvan::dialog
