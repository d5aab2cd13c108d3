// Modules whose procedures carry comments of their own (tests/fixtures/
// comments, one style each): review calls them other comments, document
// leaves them alone, and adopting them gives the template's header with
// every word kept, once.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestDefaults.h"
#include "engine/HeaderRecognition.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "project/ProjectRun.h"
#include "standin/FileHost.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

// Runs of letters and digits of any script.
std::vector<std::u16string> WordsOf(std::u16string_view text) {
  auto word_char = [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           (c >= 0x80 && !(c >= 0x3000 && c <= 0x303F) && !(c >= 0xFF01 && c <= 0xFF20));
  };
  std::vector<std::u16string> out;
  for (size_t i = 0; i < text.size();) {
    size_t e = i;
    while (e < text.size() && word_char(text[e])) ++e;
    if (e > i) out.emplace_back(text.substr(i, e - i));
    i = e + (e == i);
  }
  return out;
}

TEST(Adopt, KeepsEveryWordOfEachStyleOnce) {
  struct Row {
    const char* file;
    std::vector<std::u16string> foreign;  // procedures with a comment of their own
    // Markup and restatements an adopted header need not repeat.
    std::vector<std::u16string> markup;
  };
  const Row rows[] = {
      {"modUrl.bas",
       {u"UrlEncode"},
       {u"method", u"param", u"Variant", u"Boolean", u"return", u"String"}},
      {"clsAccount.cls", {u"Balance"}, {}},
      {"modPay.bas", {u"CalcPay"}, {u"summary", u"param", u"name", u"returns"}},
      {"modTax.bas",
       {u"税額計算", u"表示消去"},
       {u"名称", u"Function", u"概要", u"引数", u"戻値", u"機能", u"なし", u"戻り値"}},
      {"modLog.bas", {u"LogLine"}, {}},
  };
  const SettingsRecord settings = FactorySettings();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const fs::path path = fs::path(TOLVAN_FIXTURE_DIR) / "comments" / row.file;
    auto bytes = ReadFileBytes(path.string());
    ASSERT_TRUE(bytes.ok()) << bytes.message();
    auto vbe = host::FileVBE::FromBytes(path, *bytes, {}, host::ProjectInfo{u"Proj", u"", {}, {}});
    ASSERT_TRUE(vbe.ok()) << vbe.message();
    auto& code = *(*vbe)->ActiveCodePane()->CodeModule();
    auto context = project::HeaderContextFor(**vbe, settings, settings, LocalDateTime{});
    ASSERT_TRUE(context.has_value());

    auto statuses = ExamineHeaders(code, *context);
    ASSERT_TRUE(statuses.ok()) << statuses.message();
    std::vector<std::u16string> foreign;
    std::vector<std::u16string> comment_words;
    for (const auto& s : *statuses) {
      if (s.state != HeaderState::kForeign) continue;
      foreign.push_back(s.name);
      auto block = code.Lines(s.header_first, s.header_last - s.header_first + 1);
      for (auto& w : WordsOf(*block)) comment_words.push_back(std::move(w));
    }
    EXPECT_EQ(foreign, row.foreign);

    auto edits = HeaderEditsForModule(code, *context, true);
    ASSERT_TRUE(edits.ok());
    for (const auto& e : *edits) {
      for (const auto& s : *statuses) {
        if (s.state == HeaderState::kForeign)
          EXPECT_FALSE(s.header_first <= e.line && e.line <= s.declaration_line)
              << "document leaves " << Utf16ToUtf8(s.name) << " alone";
      }
    }

    auto adopted = HeaderEditsForModule(code, *context, true, true);
    ASSERT_TRUE(adopted.ok()) << adopted.message();
    for (const auto& e : *adopted) ASSERT_TRUE(ApplyHeaderEdit(code, e).ok());
    const std::u16string after = *code.Lines(1, code.CountOfLines());
    for (const auto& w : comment_words) {
      if (std::find(row.markup.begin(), row.markup.end(), w) != row.markup.end()) continue;
      EXPECT_NE(after.find(w), std::u16string::npos) << Utf16ToUtf8(w) << " in\n"
                                                     << Utf16ToUtf8(after);
    }
    auto again = ExamineHeaders(code, *context);
    ASSERT_TRUE(again.ok());
    for (const auto& s : *again) {
      EXPECT_EQ(static_cast<int>(s.state), static_cast<int>(HeaderState::kOk))
          << Utf16ToUtf8(s.what);
    }
    auto second = HeaderEditsForModule(code, *context, true, true);
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(second->empty()) << "a second run changes nothing";
  }
}

}  // namespace
}  // namespace tolvan
