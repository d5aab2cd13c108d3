// Over generated headers (templates x signatures x user edits at random
// places, from a fixed seed), an update after the declaration changed keeps
// every text the user wrote, or says where it went: a dropped note, or the
// header left as it is.
#include <gtest/gtest.h>

#include <random>

#include "TestDefaults.h"
#include "engine/HeaderRecognition.h"
#include "platform/Text.h"
#include "standin/FileHost.h"

namespace tolvan {
namespace {

struct Param {
  std::u16string name;
  std::u16string type;
  bool by_val = false;
};

struct Signature {
  std::u16string keyword;  // "Public Function", ...
  std::vector<Param> params;
  std::u16string return_type;
  std::u16string Declaration() const {
    std::u16string d = keyword + u" CalcPay(";
    for (size_t i = 0; i < params.size(); ++i) {
      d += (i ? u", " : u"") + std::u16string(params[i].by_val ? u"ByVal " : u"") + params[i].name +
           u" As " + params[i].type;
    }
    d += u")";
    if (keyword.ends_with(u"Function") || keyword.ends_with(u"Get")) d += u" As " + return_type;
    return d;
  }
  std::u16string End() const {
    return keyword.find(u"Property") != std::u16string::npos ? u"End Property"
           : keyword.ends_with(u"Function")                  ? u"End Function"
                                                             : u"End Sub";
  }
};

std::shared_ptr<host::FileVBE> Load(const std::vector<std::u16string>& code) {
  std::string bytes = "Attribute VB_Name = \"modTest\"\r\n";
  for (const auto& l : code) bytes += Utf16ToUtf8(l) + "\r\n";
  auto vbe = host::FileVBE::FromBytes("modTest.bas", bytes, {"UTF-8"},
                                      host::ProjectInfo{u"Proj", u"", {}, {}});
  EXPECT_TRUE(vbe.ok()) << vbe.message();
  return *vbe;
}

std::vector<std::u16string> CodeLines(host::CodeModule& code) {
  std::vector<std::u16string> out;
  for (long l = 1; l <= code.CountOfLines(); ++l) out.push_back(*code.Lines(l, 1));
  return out;
}

TEST(HeaderUpdate, KeepsOrReportsEveryTextTheUserWrote) {
  std::mt19937 rng(20261209);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  const std::u16string names[] = {u"lngBase", u"strName", u"curBonus", u"dblRate", u"vntData"};
  const std::u16string types[] = {u"Long", u"String", u"Currency", u"Double"};
  const std::u16string keywords[] = {u"Public Function",  u"Private Sub",         u"Public Sub",
                                     u"Private Function", u"Public Property Get", u"Friend Sub"};
  const SettingsRecord factory = FactorySettings();
  int kept = 0, reported = 0;
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SettingsRecord settings = FactorySettings();
    if (round % 3 == 0) {  // a team's own template, in use for new headers
      settings.strTemplate[3] = u"' == $c ==\r\n' $n1 $r1 xxxx\r\n' $n2 $r2 xxxx\r\n' returns $f";
    }
    HeaderContext context{settings, factory, {}, host::component_type::kStdModule};
    context.info[1] = u"2026/12/09";
    context.info[3] = u"Proj";
    context.info[4] = u"modTest";

    Signature sig{keywords[pick(std::size(keywords))], {}, types[pick(std::size(types))]};
    std::vector<std::u16string> pool(std::begin(names), std::end(names));
    std::shuffle(pool.begin(), pool.end(), rng);
    for (size_t i = 0, n = pick(4); i < n; ++i) {
      sig.params.push_back({pool[i], types[pick(std::size(types))], pick(2) == 0});
    }
    auto vbe = Load({u"Option Explicit", u"", sig.Declaration(), sig.End()});
    auto& code = *vbe->ActiveCodePane()->CodeModule();
    auto made = HeaderEditsForModule(code, context, false);
    ASSERT_TRUE(made.ok()) << made.message();
    for (const auto& e : *made) ASSERT_TRUE(ApplyHeaderEdit(code, e).ok());
    auto statuses = ExamineHeaders(code, context);
    ASSERT_TRUE(statuses.ok());
    const HeaderStatus proc = statuses->back();
    ASSERT_EQ(static_cast<int>(proc.state), static_cast<int>(HeaderState::kOk));

    // The user writes into the header.
    std::vector<std::u16string> lines = CodeLines(code);
    std::vector<std::u16string> markers;
    long last = proc.header_last;
    for (int j = 0, n = 1 + static_cast<int>(pick(3)); j < n; ++j) {
      const std::u16string marker = (pick(2) ? u"注記" : u"note ") +
                                    Utf8ToUtf16(std::to_string(round) + "_" + std::to_string(j));
      const size_t h = proc.header_first - 1 + pick(last - proc.header_first + 1);
      std::u16string& line = lines[h];
      switch (pick(4)) {
        case 0:
          line += u" " + marker;
          break;
        case 1:
          if (size_t x = line.find(u"xxxx"); x != std::u16string::npos) {
            line.replace(x, 4, marker);
          } else if (marker.starts_with(u"注")) {
            line += marker;  // glued on: Latin letters would read as part of a name
          } else {
            line += u" " + marker;
          }
          break;
        case 2:
          lines.insert(lines.begin() + static_cast<long>(h) + 1,
                       u"'" + std::u16string(pick(20), u' ') + marker);
          ++last;
          break;
        default: {
          size_t colon = line.find(u':', 1);
          if (colon != std::u16string::npos) colon = line.find(u':', colon + 1);
          if (colon == std::u16string::npos) colon = line.size() - 1;
          size_t end = line.find(u' ', colon);
          line.insert(end == std::u16string::npos ? line.size() : end, u"(" + marker + u")");
        }
      }
      markers.push_back(marker);
    }

    // The declaration changes.
    Signature now = sig;
    switch (pick(4)) {
      case 0:
        now.params.push_back({pool[4], types[pick(std::size(types))], true});
        break;
      case 1:
        if (!now.params.empty()) now.params.erase(now.params.begin() + pick(now.params.size()));
        break;
      case 2:
        std::reverse(now.params.begin(), now.params.end());
        if (!now.params.empty()) now.params[0].name += u"2";
        break;
      default:
        now.return_type = now.return_type == u"Long" ? u"Variant" : u"Long";
    }
    const long declaration = proc.declaration_line + (last - proc.header_last);
    lines[declaration - 1] = now.Declaration();
    auto edited = Load(lines);
    auto& module = *edited->ActiveCodePane()->CodeModule();
    auto updates = HeaderEditsForModule(module, context, true);
    ASSERT_TRUE(updates.ok()) << updates.message();
    std::u16string reports;
    for (const auto& e : *updates) {
      ASSERT_TRUE(ApplyHeaderEdit(module, e).ok());
      reports += e.left_as_is;
      for (const auto& d : e.dropped_notes) reports += u"\n" + d.parameter + u": " + d.note;
    }
    const std::u16string after = *module.Lines(1, module.CountOfLines());
    std::u16string before;
    for (const auto& l : lines) before += l + u"\n";
    for (const auto& marker : markers) {
      if (before.find(marker) == std::u16string::npos) continue;  // a later edit split it
      const bool in_file = after.find(marker) != std::u16string::npos;
      const bool in_report = reports.find(marker) != std::u16string::npos;
      EXPECT_TRUE(in_file || in_report) << Utf16ToUtf8(marker) << "\nbefore:\n"
                                        << Utf16ToUtf8(before) << "after:\n"
                                        << Utf16ToUtf8(after) << "\n"
                                        << Utf16ToUtf8(reports);
      (in_file ? kept : reported) += 1;
    }
  }
  EXPECT_GT(kept, 100) << "most edits are carried over, not only reported";
}

}  // namespace
}  // namespace tolvan
