#include "engine/modMarlet.h"

namespace tolvan {

// Placeholder until the expander lands: puts in the single-valued macros and
// the first parameter, enough for the dialog's previews to show something.
std::u16string ExpandMacro(const SettingsRecord&, std::u16string_view strTemplate,
                           const ProcInfo& vntProcInfo, const ParamTable& vntParams, int32_t,
                           const UserMacroTable&) {
  const std::pair<std::u16string_view, std::u16string> macros[] = {
      {u"$n1", vntParams.empty() ? u"" : vntParams[0][0]},
      {u"$t1", vntParams.empty() ? u"" : vntParams[0][1]},
      {u"$r1", vntParams.empty() ? u"" : vntParams[0][2]},
      {u"$a", vntProcInfo[0]},
      {u"$d", vntProcInfo[1]},
      {u"$p", vntProcInfo[3]},
      {u"$m", vntProcInfo[4]},
      {u"$c", vntProcInfo[5]},
      {u"$f", vntProcInfo[6]},
  };
  std::u16string out;
  for (size_t i = 0; i < strTemplate.size();) {
    bool replaced = false;
    for (const auto& [macro, value] : macros) {
      if (strTemplate.substr(i, macro.size()) == macro) {
        out += value;
        i += macro.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += strTemplate[i++];
  }
  return out;
}

}  // namespace tolvan
