#include "settings/clsSaveSetting.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/PathText.h"
#include "platform/Text.h"
#include "platform/VbString.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsDataFile.h"

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

constexpr char16_t kRoot[] = u"HKEY_CURRENT_USER";
constexpr char16_t kTolvanKey[] = u"SOFTWARE\\Quenby Software\\Tolvan";
constexpr char16_t kIniFilePath[] = u"IniFilePath";
constexpr char16_t kCurrentVersion[] = u"0.4";

// "&H" and 1 to 8 hexadecimal digits, or "&O" and octal digits up to 32
// bits, as Visual Basic reads them from a text: four hexadecimal digits or
// fewer (at most &O177777) make a 16-bit number, more a 32-bit one, both
// signed, so &HFFFF is -1 and &HFFFFFFFF too. Letters may be in either case.
std::optional<double> ParseRadixNumber(std::string_view s) {
  if (s.size() < 3 || s[0] != '&') return std::nullopt;
  const char radix = static_cast<char>(s[1] | 0x20);
  if (radix != 'h' && radix != 'o') return std::nullopt;
  const unsigned bits_per_digit = radix == 'h' ? 4 : 3;
  uint64_t n = 0;
  for (char c : s.substr(2)) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (radix == 'h' && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')) {
      digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= (1u << bits_per_digit)) return std::nullopt;
    n = (n << bits_per_digit) | digit;
    if (n > UINT32_MAX) return std::nullopt;
  }
  const size_t digits = s.size() - 2;
  const bool short_form = radix == 'h' ? digits <= 4 : n <= 0xFFFF;
  if (short_form) return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(n)));
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(n)));
}

// A number as Visual Basic's IsNumeric takes it from a settings file: blanks
// around, a sign, digits with at most one decimal point, an exponent (E or
// D); or a hexadecimal or octal number (&H, &O). Other forms (thousands
// separators, currency signs) count as not numeric, so the field keeps its
// default.
std::optional<double> ParseNumber(std::u16string_view text) {
  std::string s;
  for (char16_t c : text) {
    if (c >= 0x80) return std::nullopt;
    s.push_back(static_cast<char>(c));
  }
  size_t begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  s = s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
  if (s[0] == '&') return ParseRadixNumber(s);
  auto is_digit = [&](size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  for (; is_digit(i); ++i) ++digits;
  if (i < s.size() && s[i] == '.') {
    for (++i; is_digit(i); ++i) ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    s[i++] = 'e';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponent_digits = 0;
    for (; is_digit(i); ++i) ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return std::strtod(s.c_str(), nullptr);
}

// CInt and CLng: round half to even, then the value must fit (`low` and
// `high` within 32 bits). Worked out in whole numbers rather than by
// nearbyint, the one function the program would load the maths library for.
std::optional<int64_t> RoundInto(double value, int64_t low, int64_t high) {
  // Also false for NaN; a value further out than one cannot round into range.
  if (!(value > static_cast<double>(low) - 1.0 && value < static_cast<double>(high) + 1.0)) {
    return std::nullopt;
  }
  int64_t whole = static_cast<int64_t>(value);  // toward zero
  // Exact, as |value| is far below 2^52.
  const double rest = value - static_cast<double>(whole);
  const bool odd = (whole & 1) != 0;
  if (rest > 0.5 || (rest == 0.5 && odd)) {
    ++whole;
  } else if (rest < -0.5 || (rest == -0.5 && odd)) {
    --whole;
  }
  if (whole < low || whole > high) return std::nullopt;
  return whole;
}

struct IniNames {
  std::u16string folder;  // up to and including the last separator
  std::u16string base;    // the file name without its last four characters
};

Result<IniNames> DeriveNames(const std::u16string& path) {
  size_t name_start = path.size();
  while (name_start > 0 && !IsPathSeparator(path[name_start - 1])) --name_start;
  std::u16string name = path.substr(name_start);
  if (name.size() < 4) {
    return Status::Error("the settings file name \"" + Utf16ToUtf8(name) +
                         "\" is shorter than four characters, so it has no base name");
  }
  return IniNames{path.substr(0, name_start), name.substr(0, name.size() - 4)};
}

// The index of a "Word<n>" or "Replace<n>" key of the macro table.
std::optional<int64_t> MacroKeyIndex(std::string_view key) {
  for (std::string_view prefix : {"word", "replace"}) {
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 12) continue;
    std::string head(key.substr(0, prefix.size()));
    for (char& c : head) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (head != prefix) continue;
    std::string_view digits = key.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    return std::stoll(std::string(digits));
  }
  return std::nullopt;
}

std::u16string Number(int64_t n) { return Utf8ToUtf16(std::to_string(n)); }

// Section, key and value in CP932, once the profile file would take them.
Result<std::array<std::string, 3>> EncodeProfileEntry(const std::u16string& section,
                                                      const std::u16string& key,
                                                      const std::u16string& value) {
  std::array<std::string, 3> out;
  const std::u16string* texts[] = {&section, &key, &value};
  for (size_t i = 0; i < out.size(); ++i) {
    auto ansi = EncodeAnsi(*texts[i]);
    if (!ansi) return ansi.status();
    out[i] = std::move(*ansi);
  }
  if (Status st = ProfileFile::Check(out[0], out[1], out[2]); !st) return st;
  return out;
}

}  // namespace

clsSaveSetting::clsSaveSetting(SettingsRecord& settings, SettingsContext& context)
    : settings_(settings), context_(context), reg_(context.registry(), context.files()) {}

Status clsSaveSetting::SetIniDir(std::u16string_view path) {
  return reg_.SetRegValue(kRoot, kTolvanKey, kIniFilePath, std::u16string(path));
}

Result<std::u16string> clsSaveSetting::GetIniDir() {
  auto value = reg_.GetRegValue(kRoot, kTolvanKey, kIniFilePath);
  if (!value) return value.status();
  if (auto* text = std::get_if<std::u16string>(&*value); text && !text->empty()) return *text;
  return DefaultIniPath();
}

std::u16string clsSaveSetting::DefaultIniPath() const {
  return Utf8ToUtf16(JoinPath(context_.module_dir(), "Tolvan.ini"));
}

Status clsSaveSetting::Save() {
  auto path = GetIniDir();
  if (!path) return path.status();
  auto names = DeriveNames(*path);
  if (!names) return names.status();
  const SettingsRecord& s = settings_;
  const int32_t last = std::max<int32_t>(s.lngUserDefineLast, -1);
  if (last >= static_cast<int64_t>(s.vntUserDefine.size())) {
    return Status::Error("cannot save the user macros: the table holds " +
                         std::to_string(s.vntUserDefine.size()) + " macros but its last index is " +
                         std::to_string(last));
  }

  const std::string ini_path = Utf16ToUtf8(*path);
  // Held from reading the profile file to replacing the pair, so that two
  // saves at once take turns rather than pair one's data file with the
  // other's profile file. A missing folder is reported by the write.
  auto lock = context_.files().Lock(Utf16ToUtf8(names->folder), /*create=*/false);
  if (!lock && !lock.status().IsNotFound()) return lock.status();
  auto old_ini = context_.files().ReadFile(ini_path);
  if (!old_ini) return old_ini.status();
  ProfileFile ini(old_ini->value_or(std::string()));

  std::vector<std::tuple<std::u16string, std::u16string, std::u16string>> keys = {
      {u"Common", u"Version", kCurrentVersion},
      {u"Common", u"ToolbarName", s.strToolbarName},
      {u"Common", u"CommentPattern", Number(s.intCommentPattern)},
      {u"Replace", u"ByVal", s.strByValText},
      {u"Replace", u"ByRef", s.strByRefText},
      {u"Replace", u"NoParam", s.strNoParamText},
      {u"Replace", u"Optional", s.strOptionalText},
      {u"Replace", u"OptionalDefault", s.strOptionalDefaultText},
      {u"Replace", u"DateFormat", s.strDateFormat},
      {u"Replace", u"ParamMacroRemove", s.blnParamMacroRemove ? u"True" : u"False"},
  };
  for (int slot = 0; slot < kClickKindSlots; ++slot) {
    keys.emplace_back(u"LineComment", u"Pattern" + Number(slot), Number(s.intLinePattern[slot]));
    keys.emplace_back(u"LineComment", u"Comment" + Number(slot), Number(s.intLineCommentOut[slot]));
  }
  // An empty table is written too (Count -1), and keys past the last macro
  // are removed, so that macros of an earlier save do not come back.
  keys.emplace_back(u"UserDefine", u"Count", Number(last));
  for (int32_t slot = 0; slot <= last; ++slot) {
    keys.emplace_back(u"UserDefine", u"Word" + Number(slot), s.vntUserDefine[slot].word);
    keys.emplace_back(u"UserDefine", u"Replace" + Number(slot), s.vntUserDefine[slot].replacement);
  }
  // Each section is written in one go, so that a table of many macros costs
  // time in proportion to the file.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
  for (const auto& [section, key, value] : keys) {
    auto encoded = EncodeProfileEntry(section, key, value);
    if (!encoded) {
      return Status::Error("cannot save [" + Utf16ToUtf8(section) + "] " + Utf16ToUtf8(key) + ": " +
                           encoded.message());
    }
    auto& [ansi_section, ansi_key, ansi_value] = *encoded;
    if (sections.empty() || sections.back().first != ansi_section) {
      sections.emplace_back(ansi_section, std::vector<std::pair<std::string, std::string>>{});
    }
    sections.back().second.emplace_back(std::move(ansi_key), std::move(ansi_value));
  }
  for (const auto& [section, entries] : sections) {
    if (Status st = ini.SetMany(section, entries); !st) return st;
  }
  ini.RemoveIf("UserDefine", [&](std::string_view key) {
    auto index = MacroKeyIndex(key);
    return index && *index > last;
  });

  auto data = EncodeSettingsData(s);
  if (!data) return data.status();
  const std::u16string data_path = names->folder + names->base + u".dat";
  // The data file and the profile file change together or not at all, so a
  // failed save never pairs files of two versions.
  Status written = ReplaceFiles(
      context_.files(), {{Utf16ToUtf8(data_path), std::move(*data)}, {ini_path, ini.bytes()}});
  if (!written) return written;
  settings_.strIniName = names->base;
  return Status::Ok();
}

Status clsSaveSetting::Load() {
  auto path = GetIniDir();
  SetDefault(settings_);
  if (!path) {
    // A registry store that cannot be read names no settings file: the
    // default one is read, and the store is left as it is.
    context_.Warn(path.message() + "; the settings are read from " + Utf16ToUtf8(DefaultIniPath()));
    path = DefaultIniPath();
  }
  const std::string ini_path = Utf16ToUtf8(*path);
  auto bytes = context_.files().ReadFile(ini_path);
  if (!bytes) return bytes.status();
  const ProfileFile ini(bytes->value_or(std::string()));
  SettingsRecord& s = settings_;

  auto where = [&](std::u16string_view section, std::u16string_view key) {
    return ini_path + ": [" + Utf16ToUtf8(section) + "] " + Utf16ToUtf8(key);
  };
  // The key's text; nullopt when the key is missing. A value that cannot be
  // read (not CP932) is reported and counts as missing, so its field keeps
  // the default and the rest still loads.
  auto read = [&](std::u16string_view section,
                  std::u16string_view key) -> Result<std::optional<std::u16string>> {
    auto value = GetProfileText(ini, section, key);
    if (!value) {
      context_.Warn(where(section, key) + ": " + value.message() + "; the default is kept");
      return std::optional<std::u16string>();
    }
    return value;
  };
  // A number into `field` when it fits; an empty or non-numeric value leaves
  // the field as it is.
  auto read_number = [&](std::u16string_view section, std::u16string_view key, int64_t low,
                         int64_t high, const char* kind, auto& field) -> Status {
    auto value = read(section, key);
    if (!value) return value.status();
    if (!*value || (*value)->empty()) return Status::Ok();
    auto number = ParseNumber(**value);
    if (!number) return Status::Ok();
    auto fitted = RoundInto(*number, low, high);
    if (!fitted) {
      return Status::Error(where(section, key) + "=" + Utf16ToUtf8(**value) + " does not fit " +
                           kind + " (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    }
    field = static_cast<std::remove_reference_t<decltype(field)>>(*fitted);
    return Status::Ok();
  };
  auto read_int16 = [&](std::u16string_view section, std::u16string_view key, int16_t& field) {
    return read_number(section, key, INT16_MIN, INT16_MAX, "a 16-bit integer", field);
  };

  auto version = read(u"Common", u"Version");
  if (!version) return version.status();
  if (!*version || (*version)->empty()) return Status::Ok();

  auto toolbar = read(u"Common", u"ToolbarName");
  if (!toolbar) return toolbar.status();
  if (*toolbar && !(*toolbar)->empty()) s.strToolbarName = **toolbar;
  if (Status st = read_int16(u"Common", u"CommentPattern", s.intCommentPattern); !st) return st;

  // A text option that is present keeps its value, an emptied one included;
  // only a missing key keeps the default.
  const std::pair<const char16_t*, std::u16string*> texts[] = {
      {u"ByVal", &s.strByValText},
      {u"ByRef", &s.strByRefText},
      {u"NoParam", &s.strNoParamText},
      {u"Optional", &s.strOptionalText},
      {u"OptionalDefault", &s.strOptionalDefaultText},
      {u"DateFormat", &s.strDateFormat},
  };
  for (const auto& [key, field] : texts) {
    auto value = read(u"Replace", key);
    if (!value) return value.status();
    if (*value) *field = **value;
  }

  auto remove = read(u"Replace", u"ParamMacroRemove");
  if (!remove) return remove.status();
  if (*remove && !(*remove)->empty()) {
    const std::u16string& text = **remove;
    if (vb::EqualsIgnoreAsciiCase(text, u"True")) {
      s.blnParamMacroRemove = true;
    } else if (vb::EqualsIgnoreAsciiCase(text, u"False")) {
      s.blnParamMacroRemove = false;
    } else if (auto number = ParseNumber(text)) {
      s.blnParamMacroRemove = *number != 0;
    } else {
      return Status::Error(where(u"Replace", u"ParamMacroRemove") + "=" + Utf16ToUtf8(text) +
                           " is neither True, False nor a number");
    }
  }

  for (int slot = 0; slot < kClickKindSlots; ++slot) {
    Status st = read_int16(u"LineComment", u"Pattern" + Number(slot), s.intLinePattern[slot]);
    if (st) st = read_int16(u"LineComment", u"Comment" + Number(slot), s.intLineCommentOut[slot]);
    if (!st) return st;
  }

  std::optional<int64_t> count;
  if (Status st =
          read_number(u"UserDefine", u"Count", INT32_MIN, INT32_MAX, "a 32-bit integer", count);
      !st) {
    return st;
  }
  if (count && *count >= 0) {
    // The table grows as its macros are read, never to the size "Count"
    // claims: the first missing word or replacement ends the reading and
    // leaves the table empty.
    UserMacroTable table;
    bool complete = true;
    for (int64_t slot = 0; slot <= *count && complete; ++slot) {
      UserMacro macro;
      for (auto [prefix, member] :
           {std::pair{u"Word", &macro.word}, std::pair{u"Replace", &macro.replacement}}) {
        auto value = read(u"UserDefine", prefix + Number(slot));
        if (!value) return value.status();
        if (!*value || (*value)->empty()) {
          complete = false;
          break;
        }
        *member = std::move(**value);
      }
      if (complete) table.push_back(std::move(macro));
    }
    if (complete) {
      s.vntUserDefine = std::move(table);
      s.lngUserDefineLast = static_cast<int32_t>(*count);
    }
  }

  auto names = DeriveNames(*path);
  if (!names) return names.status();
  s.strIniName = names->base;
  const std::u16string& v = **version;
  const bool old_format = v == u"0.2" || v == u"0.3";
  return LoadDataFile(names->folder + (old_format ? u"Tolvan" : names->base) + u".dat", v);
}

Status clsSaveSetting::LoadDataFile(const std::u16string& data_path,
                                    const std::u16string& version) {
  SettingsRecord& s = settings_;
  // A data file that cannot give its templates takes the profile file's
  // values with it: everything goes back to the defaults.
  auto fall_back = [&] {
    SetDefault(settings_);
    s.strIniName.clear();
    return Status::Ok();
  };
  auto data = context_.files().ReadFile(Utf16ToUtf8(data_path));
  if (!data || !*data) return fall_back();
  SettingsDataReader reader(**data);

  auto n = reader.ReadLastIndex();
  if (!n) return fall_back();
  const int32_t last_template = std::min<int32_t>(*n, kTemplateCount - 1);
  for (int32_t slot = 0; slot <= last_template; ++slot) {
    auto text = reader.ReadRecord();
    if (!text) return fall_back();
    s.strTemplate[slot] = std::move(*text);
  }
  if (last_template < kTemplateCount - 1) {
    // Older versions had fewer templates: form and class headers start as
    // the module header, Friend templates as their Public counterparts.
    const int minor = version == u"0.2" ? 2 : version == u"0.3" ? 3 : 4;
    for (const DerivedTemplate& d : kDerivedTemplates) {
      if (minor < d.since_minor) s.strTemplate[d.slot] = s.strTemplate[d.from];
    }
  }

  // A file that ends before block 2 has no line-comment texts.
  const int32_t m = reader.ReadLastIndex().value_or(0);
  if (m <= 0) {
    SetDefaultLineComment(settings_);
    return Status::Ok();
  }
  const int32_t last_comment = std::min<int32_t>(m, kLineCommentCount - 1);
  for (int32_t slot = 0; slot <= last_comment; ++slot) {
    auto text = reader.ReadRecord();
    if (!text) break;  // the texts read before stay
    s.strLineComment[slot] = std::move(*text);
  }
  return Status::Ok();
}

SettingsRecord clsSaveSetting::Defaults() {
  SettingsRecord s;
  SetDefault(s);
  return s;
}

void clsSaveSetting::SetDefault(SettingsRecord& s) {
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
  t[1] = Lines(
      {kStarRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kStarRule});
  t[2] = Lines(
      {kDashRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kDashRule});
  t[3] = Lines({kStarRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kStarRule});
  t[4] = Lines({kDashRule, kProcedureLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kDashRule});
  t[5] = Lines({kStarRule, kGetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kStarRule});
  t[6] = Lines({kDashRule, kGetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine,
                kReturnLine, kDashRule});
  t[7] =
      Lines({kStarRule, kLetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kStarRule});
  t[8] =
      Lines({kDashRule, kLetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kDashRule});
  t[9] =
      Lines({kStarRule, kSetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kStarRule});
  t[10] =
      Lines({kDashRule, kSetLine, kDescriptionLine, kFirstParamLine, kFurtherParamLine, kDashRule});
  // Form and class headers start as the module header; Friend templates as
  // their Public counterparts. Older settings files are upgraded the same way.
  for (const DerivedTemplate& d : kDerivedTemplates) t[d.slot] = t[d.from];

  SetDefaultLineComment(s);
}

void clsSaveSetting::SetDefaultLineComment(SettingsRecord& s) {
  s.strLineComment = {
      u"'******* Add Start    ******** $d", u"'Add $d",    u"'******* Add End      ******** $d",
      u"'******* Delete Start ******** $d", u"'Delete $d", u"'******* Delete End   ******** $d",
      u"'******* Modify Start ******** $d", u"'Modify $d", u"'******* Modify End   ******** $d",
  };
  const int16_t patterns[] = {1, 2, 3, 0};
  const int16_t comment_out[] = {0, 1, 0, 0};
  for (int k = 0; k < 4; ++k) {
    s.intLinePattern[k] = patterns[k];
    s.intLineCommentOut[k] = comment_out[k];
  }
}

}  // namespace tolvan
