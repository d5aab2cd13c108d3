#include "settings/clsSaveSetting.h"

#include <initializer_list>

namespace tolvan {
namespace {

const std::u16string kStarRule = u"'" + std::u16string(66, u'*');
const std::u16string kDashRule = u"'" + std::u16string(66, u'-');
const std::u16string kProcedureLine = u"'プロシージャ名:  :$c";
const std::u16string kGetLine = u"'プロパティ名:    :Get $c";
const std::u16string kLetLine = u"'プロパティ名:    :Let $c";
const std::u16string kSetLine = u"'プロパティ名:    :Set $c";
const std::u16string kDescriptionLine = u"'説明:            :";
const std::u16string kFirstParamLine = u"'引数:            :$n1                $r1   xxxx";
const std::u16string kFurtherParamLine = u"'                 :$n2                $r2   xxxx";
const std::u16string kReturnLine = u"'戻り値           :$f型";

// Every line of a default template, the last included, ends in CR LF.
std::u16string Lines(std::initializer_list<std::u16string> lines) {
  std::u16string out;
  for (const auto& line : lines) out += line + u"\r\n";
  return out;
}

}  // namespace

Status clsSaveSetting::Load() {
  SetDefault();
  return Status::Ok();
}

void clsSaveSetting::SetDefault() {
  SettingsRecord& s = settings_;
  s.strToolbarName = u"標準";
  s.strByValText = u"I";
  s.strByRefText = u"O";
  s.strNoParamText.clear();
  s.strOptionalText = u"Optional";
  s.strOptionalDefaultText = u"Default:";
  s.intCommentPattern = 0;
  s.strDateFormat = u"yyyy/mm/dd";
  s.vntUserDefine.clear();
  s.lngUserDefineLast = -1;

  auto& t = s.strTemplate;
  t[0] = Lines({kStarRule, u"'$p", u"'$m", u"'", u"'$d", kStarRule});
  t[1] = Lines({kStarRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kStarRule});
  t[2] = Lines({kDashRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kDashRule});
  t[3] = Lines({kStarRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kStarRule});
  t[4] = Lines({kDashRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kDashRule});
  t[5] = Lines({kStarRule, kGetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kStarRule});
  t[6] = Lines({kDashRule, kGetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kDashRule});
  t[7] = Lines({kStarRule, kLetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kStarRule});
  t[8] = Lines({kDashRule, kLetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kDashRule});
  t[9] = Lines({kStarRule, kSetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kStarRule});
  t[10] = Lines({kDashRule, kSetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                 kDashRule});
  // Form and class headers start as the module header; Friend templates as
  // their Public counterparts. Older settings files are upgraded the same way.
  t[11] = t[0];
  t[12] = t[0];
  t[13] = t[1];
  t[14] = t[3];
  t[15] = t[5];
  t[16] = t[7];
  t[17] = t[9];

  SetDefaultLineComment();
}

void clsSaveSetting::SetDefaultLineComment() {
  SettingsRecord& s = settings_;
  s.strLineComment = {
      u"'******* Add Start    ******** $d", u"'Add $d",
      u"'******* Add End      ******** $d", u"'******* Delete Start ******** $d",
      u"'Delete $d",                        u"'******* Delete End   ******** $d",
      u"'******* Modify Start ******** $d", u"'Modify $d",
      u"'******* Modify End   ******** $d",
  };
  const int16_t patterns[] = {1, 2, 3, 0};
  const int16_t comment_out[] = {0, 1, 0, 0};
  for (int k = 0; k < 4; ++k) {
    s.intLinePattern[k] = patterns[k];
    s.intLineCommentOut[k] = comment_out[k];
  }
}

}  // namespace tolvan
