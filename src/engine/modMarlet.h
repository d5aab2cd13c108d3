// The macro language of templates. ExpandMacro fills a template with the
// facts of one procedure (or module): "$c" the procedure name, "$n1" the
// first parameter's name, "$n2" the further parameters (its line repeats
// once per extra parameter), user macros "$word", and so on. Replacements
// keep the template's columns aligned. A pure text function: it reads only
// strNoParamText and blnParamMacroRemove of the settings it is given.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsRecord.h"

namespace tolvan {

// The procedure description (vntProcInfo), by field; field 2 is unused.
namespace proc_info {
enum : int {
  kProjectDescription = 0,  // $a
  kDateText = 1,            // $d
  kProjectName = 3,         // $p
  kModuleName = 4,          // $m
  kProcedureName = 5,       // $c
  kReturnType = 6,          // $f
  kFieldCount = 7,
};
}  // namespace proc_info
using ProcInfo = std::array<std::u16string, proc_info::kFieldCount>;

// One parameter (an entry of vntParams): 0 name, 1 type, 2 passing text,
// 3 Optional text, 4 default-value label, 5 default value as written.
using ParamEntry = std::array<std::u16string, 6>;
// At least one entry; a first entry with an empty name means "no parameters".
using ParamTable = std::vector<ParamEntry>;

inline ParamTable NoParameters() { return ParamTable(1); }

std::u16string ExpandMacro(const SettingsRecord& settings, std::u16string_view strTemplate,
                           const ProcInfo& vntProcInfo, const ParamTable& vntParams,
                           int32_t lngUserDefineLast, const UserMacroTable& vntUserDefine);

}  // namespace tolvan
