// The settings dialog as values (MarletForm) in an in-memory world: settings
// files in a map, a scripted file chooser, recorded messages and documents,
// a fixed clock, and an expansion that writes out what it was given, so a
// preview shows exactly which sample and texts reached it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/MarletForm.h"
#include "form/MemoryServices.h"
#include "platform/Text.h"

namespace tolvan::dialog::testing {

// Readable failure output.
inline std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

// Slot n of the templates reads "'T<letter> $c" and a second line; every
// other text names its field.
inline SettingsRecord SampleSettings() {
  SettingsRecord s;
  for (int n = 0; n < kTemplateCount; ++n) {
    s.strTemplate[n] = u"'T" + std::u16string(1, static_cast<char16_t>(u'A' + n)) + u" $c\r\n'$n1";
  }
  for (int k = 0; k < kLineCommentCount; ++k) {
    s.strLineComment[k] = u"'L" + std::u16string(1, static_cast<char16_t>(u'0' + k));
  }
  s.strLineComment[0] = u"'before 1\r\n'second line";
  s.intLinePattern = {1, 2, 3, 0, 2};
  s.intLineCommentOut = {0, 1, 0, 1, 1};
  s.strByValText = u"I";
  s.strByRefText = u"O";
  s.strNoParamText = u"none";
  s.strOptionalText = u"Optional";
  s.strOptionalDefaultText = u"Default:";
  s.strDateFormat = u"yyyy/mm/dd";
  s.blnParamMacroRemove = false;
  s.intCommentPattern = 1;
  s.strToolbarName = u"デバッグ";
  s.vntUserDefine = {{u"ver", u"1.0"}, {u"who", u"山田"}, {u"team", u"QA"}};
  s.lngUserDefineLast = 2;
  s.strIniName = u"Team";
  return s;
}

// "[template]{date|module|return}<passing texts>(last:word=replacement,...)"
inline std::u16string DescribeExpansion(const SettingsRecord&, std::u16string_view strTemplate,
                                        const ProcInfo& proc, const ParamTable& params,
                                        int32_t last, const UserMacroTable& table) {
  std::u16string out = u"[" + std::u16string(strTemplate) + u"]{" + proc[proc_info::kDateText] +
                       u"|" + proc[proc_info::kModuleName] + u"|" + proc[proc_info::kReturnType] +
                       u"}<";
  for (size_t p = 0; p < params.size(); ++p) {
    if (p != 0) out += u";";
    out += params[p][2] + u"," + params[p][3] + u"," + params[p][4];
  }
  out += u">(" + Utf8ToUtf16(std::to_string(last)) + u":";
  for (size_t t = 0; t < table.size(); ++t) {
    if (t != 0) out += u",";
    out += table[t].word + u"=" + table[t].replacement;
  }
  return out + u")";
}

struct FormHarness {
  SettingsRecord settings = SampleSettings();
  InMemorySettingsFiles files{SampleSettings(), u"C:\\Tolvan\\Team.ini"};
  InMemoryRegistry registry;
  ScriptedFileChooser chooser;
  RecordingMessageBoxes messages;
  RecordingDesktop desktop;
  FixedClock clock{{2024, 3, 5, 14, 7, 9}};
  std::vector<std::u16string> toolbars{u"標準", u"", u"デバッグ", u""};
  MarletForm form{settings, {files, registry, chooser, messages, desktop, clock}};

  // Opening, with the describing expansion.
  MarletForm& Open() {
    form.SetExpanderForTesting(&DescribeExpansion);
    form.SetToolbars(toolbars);
    form.Form_Load();
    return form;
  }
  const MarletControls& c() const { return form.controls(); }
  std::vector<std::u16string> Messages() const {
    std::vector<std::u16string> texts;
    for (const auto& m : messages.shown) texts.push_back(m.text);
    return texts;
  }
};

}  // namespace tolvan::dialog::testing
