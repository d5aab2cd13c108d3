#include "engine/ChangeDialect.h"

#include <utility>

#include "platform/Text.h"

namespace tolvan {

std::optional<ChangeKind> ChangeKindNamed(std::u16string_view word) {
  for (ChangeKind k :
       {ChangeKind::kAdd, ChangeKind::kDelete, ChangeKind::kChange, ChangeKind::kModify}) {
    if (word == ChangeKindName(k)) return k;
  }
  return std::nullopt;
}

std::u16string_view ChangeKindName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kAdd:
      return u"add";
    case ChangeKind::kDelete:
      return u"delete";
    case ChangeKind::kChange:
      return u"change";
    case ChangeKind::kModify:
      return u"modify";
  }
  return u"add";
}

Result<ChangeShape> MakeChangeShape(ChangeKind kind, const std::vector<std::u16string>& starts,
                                    const std::vector<std::u16string>& ends) {
  ChangeShape shape{kind, {}, {}};
  auto parse = [](const std::vector<std::u16string>& texts, std::vector<MarkerPattern>& out,
                  const char* role) -> Status {
    if (texts.empty()) return Status::Error(std::string("no ") + role + " pattern");
    for (const auto& text : texts) {
      auto p = MarkerPattern::Parse(text);
      if (!p) {
        return Status::Error(std::string(role) + " pattern \"" + Utf16ToUtf8(text) +
                             "\": " + p.message());
      }
      out.push_back(std::move(*p));
    }
    return Status::Ok();
  };
  if (Status s = parse(starts, shape.starts, "start"); !s) return s;
  if (Status s = parse(ends, shape.ends, "end"); !s) return s;
  return shape;
}

namespace {

// One built-in dialect: its shapes are its start and end patterns with
// {W} standing for each marker word in turn.
struct BuiltIn {
  const char16_t* name;
  std::vector<const char16_t*> starts;
  std::vector<const char16_t*> ends;
  std::vector<std::pair<const char16_t*, ChangeKind>> words;
};

std::u16string WithWord(std::u16string_view pattern, std::u16string_view word) {
  std::u16string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.substr(i).starts_with(u"{W}")) {
      out += word;
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::vector<ChangeDialect> MakeBuiltIns() {
  using K = ChangeKind;
  const std::vector<std::pair<const char16_t*, K>> upper = {
      {u"ADD", K::kAdd}, {u"CHG", K::kChange}, {u"DEL", K::kDelete}, {u"MOD", K::kModify}};
  const std::vector<BuiltIn> table = {
      // 'ADD START author 2009/09/17 ****  ...  'ADD  END  author 2009/09/17
      {u"start-author-date",
       {u"'{W} START {author} {date:yyyy/mm/dd}{*}", u"'{W} START{*}"},
       {u"'{W} END{*}"},
       upper},
      // '2017/03/02 CHG START CIS <reason>  ...  '... CHG E N D ...
      {u"date-start",
       {u"'{date:yyyy/mm/dd} {W} START {author} {reason...}", u"'{date:yyyy/mm/dd} {W} START{*}"},
       {u"'{*}{W} E N D{*}", u"'{*}{W} END{*}"},
       upper},
      // '20130930 DEL START THN20130910-06  ...  '20130930 DEL END
      {u"compact-date-start",
       {u"'{date:yyyymmdd} {W} START {ticket}", u"'{date:yyyymmdd} {W} START{*}"},
       {u"'{*}{W} END{*}"},
       upper},
      // ' === 20061116 === UPDATE S - author reason  ...  ' === 20061116 === UPDATE E -
      {u"equals-date",
       {u"' === {date:yyyymmdd} === {W} S - {author} {reason...}",
        u"' === {date:yyyymmdd} === {W} S{*}"},
       {u"' === {*} === {W} E{*}"},
       {{u"UPDATE", K::kChange}, {u"ADD", K::kAdd}, {u"DELETE", K::kDelete}}},
      // 'Add Start 2012/05/17 author reason  ...  'Add End
      {u"word-start-date",
       {u"'{W} Start {date:yyyy/mm/dd} {author} {reason...}", u"'{W} Start {date:yyyy/mm/dd}{*}",
        u"'{W} Start{*}"},
       {u"'{W} End{*}"},
       {{u"Add", K::kAdd}, {u"Chg", K::kChange}, {u"Del", K::kDelete}, {u"Mod", K::kModify}}},
      // '--- 2006/08/15 Add reason author -s-  ...  '--- 2006/08/15 Add ... -e-
      {u"dash-s-e",
       {u"'--- {date:yyyy/mm/dd} {W} {reason...} {author} -s-",
        u"'--- {date:yyyy/mm/dd} {W}{*}-s-"},
       {u"'---{*}{W}{*}-e-"},
       {{u"Add", K::kAdd}, {u"Chg", K::kChange}, {u"Del", K::kDelete}, {u"Mod", K::kModify}}},
  };
  std::vector<ChangeDialect> out;
  for (const BuiltIn& b : table) {
    ChangeDialect d;
    d.name = b.name;
    for (const auto& [word, kind] : b.words) {
      std::vector<std::u16string> starts, ends;
      for (const char16_t* s : b.starts) starts.push_back(WithWord(s, word));
      for (const char16_t* e : b.ends) ends.push_back(WithWord(e, word));
      // The table is ours: a pattern in it that does not parse is a fault
      // the tests catch, so its shape is simply left out.
      if (auto shape = MakeChangeShape(kind, starts, ends)) d.shapes.push_back(std::move(*shape));
    }
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace

const std::vector<ChangeDialect>& BuiltInDialects() {
  static const std::vector<ChangeDialect> dialects = MakeBuiltIns();
  return dialects;
}

const ChangeDialect* BuiltInDialect(std::u16string_view name) {
  for (const auto& d : BuiltInDialects()) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

}  // namespace tolvan
