// An operation on the part of a buffer around the cursor or the selection
// gives the edits the same operation gives on the whole text, and the
// outline kept through typing is the one read again from the new text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Application.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ProjectRun.h"
#include "support/MemoryFileSystem.h"
#include "vbsource/ProcedureOutline.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

// Lines as an editor holds them: CR LF, LF and a lone CR each end one.
struct EditorLines {
  std::vector<std::u16string> text, ending;
  explicit EditorLines(std::u16string_view all) {
    size_t from = 0;
    while (true) {
      const size_t at = all.find_first_of(u"\r\n", from);
      if (at == std::u16string_view::npos) {
        text.emplace_back(all.substr(from));
        ending.emplace_back();
        return;
      }
      const size_t len = all[at] == u'\r' && at + 1 < all.size() && all[at + 1] == u'\n' ? 2 : 1;
      text.emplace_back(all.substr(from, at - from));
      ending.emplace_back(all.substr(at, len));
      from = at + len;
    }
  }
  long count() const { return static_cast<long>(text.size()); }
  std::u16string Joined() const {
    std::u16string out;
    for (size_t k = 0; k < text.size(); ++k) out += text[k] + ending[k];
    return out;
  }
};

host::ProcedureOutline OutlineOf(const EditorLines& lines) {
  auto model = host::ModuleDocument::FromText(lines.Joined(), "m.bas");
  EXPECT_TRUE(model.ok()) << model.message();
  return host::ProcedureOutline::Of(*model, lines.count());
}

// Modules in the shapes real code has, besides the fixtures: #If twins,
// one-line procedures, a Type block, attribute lines, a header below the
// declaration, a module without declarations code.
const char16_t* const kShapes[] = {
    u"Attribute VB_Name = \"modShapes\"\r\nOption Explicit\r\nPrivate Type T\r\n  a As Long\r\n"
    u"End Type\r\nDefLng A-Z\r\n\r\n' the user's own comment\r\nSub One(): End Sub\r\n"
    u"#If VBA7 Then\r\nPublic Property Get P() As LongPtr\r\n#Else\r\n"
    u"Public Property Get P() As Long\r\n#End If\r\n    P = 1\r\nEnd Property\r\n"
    u"Public Function F(ByVal s$, _\r\n    n%)\r\nAttribute F.VB_Description = \"d\"\r\n"
    u"    F = s\r\nEnd Function\r\n\r\nSub Last()\r\n    x = 1\r\nEnd Sub\r\n",
    u"' no declarations code\r\n\r\nSub A()\r\nEnd Sub\r\nSub B()\r\n  b = 2\r\nEnd Sub\r\n"
    u"Sub C()\r\nEnd Sub\r\nSub D()\r\nEnd Sub",
    u"Option Explicit\rSub Cr()\r    y = 1\rEnd Sub\rSub Cr2()\r    z = 2\rEnd Sub\r",
};

std::vector<std::pair<std::string, std::u16string>> Modules() {
  std::vector<std::pair<std::string, std::u16string>> out;
  for (const char* dir : {"comments", "host/japan", "host/unix"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(TOLVAN_FIXTURE_DIR) / dir)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".py" || ext == ".vbp" || ext == ".VBP") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      auto doc = host::ModuleDocument::Parse(bytes.str(), "", entry.path().string());
      if (doc) out.emplace_back(entry.path().filename().string(), doc->Text());
    }
  }
  for (const char16_t* shape : kShapes) out.emplace_back("shape", shape);
  return out;
}

TEST(CommentAround, GivesTheEditsOfTheWholeTextAtEveryLine) {
  MemoryFileSystem files;
  SettingsRecord above = project::FactoryDefaults();
  SettingsRecord below = above;
  below.intCommentPattern = 1;
  const app::RunValues values{LocalDateTime{2026, 12, 9, 10, 0, 0}, {}};
  long windowed = 0;
  for (const auto& [name, text] : Modules()) {
    const EditorLines lines(text);
    const host::ProcedureOutline outline = OutlineOf(lines);
    const host::BufferModuleInfo info{u"Module1", host::component_type::kStdModule, {}};
    const app::BufferLines buffer{
        lines.count(),
        [&](long l) { return std::u16string_view(lines.text[static_cast<size_t>(l - 1)]); },
        [&](long l) { return std::u16string_view(lines.ending[static_cast<size_t>(l - 1)]); },
        &outline,
        info,
        name};
    const app::Buffer whole{text, info, name};
    for (const SettingsRecord* settings : {&above, &below}) {
      for (long line = 1; line <= lines.count(); ++line) {
        // A cursor, and two lines marked with each of the three keys.
        const long to = std::min(line + 1, lines.count());
        const long end_column =
            static_cast<long>(lines.text[static_cast<size_t>(to - 1)].size()) + 1;
        struct Case {
          app::FileRange at;
          app::Keys keys;
        };
        const Case cases[] = {{app::FileRange::Cursor(line, 1), {}},
                              {{line, 1, to, end_column}, {}},
                              {{line, 1, to, end_column}, {true, false}},
                              {{line, 1, to, end_column}, {false, true}}};
        for (const Case& c : cases) {
          if (c.at.end_column == 1 && c.at.start_line != c.at.end_line) continue;
          SCOPED_TRACE(name + " line " + std::to_string(line) + " to " +
                       std::to_string(c.at.end_line) + " keys " + std::to_string(c.keys.shift) +
                       std::to_string(c.keys.ctrl) + " pattern " +
                       std::to_string(settings->intCommentPattern));
          const app::AroundOutcome around =
              app::CommentAround(files, buffer, *settings, c.at, c.keys, values);
          if (around.read_whole) continue;
          ++windowed;
          const app::Outcome full =
              app::CommentBuffer(files, whole, *settings, c.at, c.keys, values);
          ASSERT_EQ(around.outcome.ok(), full.ok()) << full.Failure() << around.outcome.Failure();
          if (!full.ok()) continue;
          ASSERT_EQ(around.outcome.edits, full.edits);
          if (c.at.start_line != c.at.end_line || c.keys.shift || c.keys.ctrl) continue;
          auto findings = app::ReviewBuffer(whole, *settings, *values.now);
          ASSERT_TRUE(findings.ok());
          const bool missing =
              std::any_of(findings->begin(), findings->end(), [&](const app::BufferFinding& f) {
                return f.kind == app::BufferFinding::Kind::kMissing && f.fix == full.edits;
              });
          EXPECT_EQ(around.missing_header, missing);
        }
      }
    }
  }
  EXPECT_GT(windowed, 1000) << "the part around the lines stands for the whole in most places";
}

TEST(ReviewAround, GivesTheFindingsOfTheWholeTextFromChunksKeptOrReadAgain) {
  SettingsRecord above = project::FactoryDefaults();
  SettingsRecord below = above;
  below.intCommentPattern = 1;
  const LocalDateTime now{2026, 12, 9, 10, 0, 0};
  long chunked = 0;
  for (const auto& [name, text] : Modules()) {
    for (const SettingsRecord* settings : {&above, &below}) {
      for (size_t chunk : {1, 2, 5}) {
        SCOPED_TRACE(name + " chunks of " + std::to_string(chunk));
        EditorLines lines(text);
        app::ReviewCache cache;
        // Reviewed, then reviewed again after a line typed into the last
        // procedure: the findings are always those of the whole text.
        for (int round = 0; round < 2; ++round) {
          const host::ProcedureOutline outline = OutlineOf(lines);
          const app::BufferLines buffer{
              lines.count(),
              [&](long l) { return std::u16string_view(lines.text[static_cast<size_t>(l - 1)]); },
              [&](long l) { return std::u16string_view(lines.ending[static_cast<size_t>(l - 1)]); },
              &outline,
              {u"Module1", host::component_type::kStdModule, {}},
              name};
          auto around = app::ReviewAround(buffer, *settings, now, "", cache, chunk);
          if (!around) break;
          ++chunked;
          const std::u16string joined = lines.Joined();
          auto whole = app::ReviewBuffer(app::Buffer{joined, buffer.info, name}, *settings, now);
          ASSERT_TRUE(around->ok() && whole.ok());
          EXPECT_EQ(**around, *whole) << "round " << round;
          if (outline.procedures().empty()) break;
          const long body = outline.procedures().back().body_last + 1;
          lines.text.insert(lines.text.begin() + body - 1, u"    typed = 1");
          lines.ending.insert(lines.ending.begin() + body - 1, u"\r\n");
        }
      }
    }
  }
  EXPECT_GT(chunked, 50);
}

TEST(ProcedureOutline, KeptThroughTypingIsTheOutlineReadAgain) {
  // Each change at each line: what it does to the text, and whether the
  // outline must be kept (true) or may be read again (false).
  struct Change {
    const char* what;
    long removed;
    std::vector<std::u16string> added;  // in place of the removed lines
    bool kept;                          // at a line inside a plain body
  };
  const Change changes[] = {
      {"typing", 1, {u"    x = 1 + 2"}, true},
      {"a new line", 0, {u"    y = 3"}, true},
      {"a blank line", 0, {u""}, true},
      {"a deleted line", 1, {}, true},
      {"an End Sub typed", 0, {u"End Sub"}, false},
      {"a declaration typed", 0, {u"Sub Inner()"}, false},
      {"a continued line", 0, {u"    z = _"}, false},
      {"an attribute line", 0, {u"Attribute X.VB_Description = \"d\""}, false},
  };
  long kept = 0;
  for (const auto& [name, text] : Modules()) {
    const EditorLines before(text);
    for (long line = 2; line <= before.count(); ++line) {
      for (const Change& c : changes) {
        if (line + c.removed - 1 > before.count()) continue;
        SCOPED_TRACE(name + " line " + std::to_string(line) + ": " + c.what);
        host::ProcedureOutline outline = OutlineOf(before);
        auto old_line = [&](long l) {
          return l >= 1 && l <= before.count() ? std::u16string_view(before.text[size_t(l - 1)])
                                               : std::u16string_view();
        };
        if (!outline.MayShift(line, c.removed, old_line)) continue;
        EditorLines after = before;
        after.text.erase(after.text.begin() + line - 1, after.text.begin() + line - 1 + c.removed);
        after.ending.erase(after.ending.begin() + line - 1,
                           after.ending.begin() + line - 1 + c.removed);
        after.text.insert(after.text.begin() + line - 1, c.added.begin(), c.added.end());
        after.ending.insert(after.ending.begin() + line - 1, c.added.size(), u"\r\n");
        auto new_line = [&](long l) {
          return l >= 1 && l <= after.count() ? std::u16string_view(after.text[size_t(l - 1)])
                                              : std::u16string_view();
        };
        if (!outline.Shift(line, c.removed, static_cast<long>(c.added.size()), new_line)) continue;
        EXPECT_TRUE(c.kept) << "a change that moves more than line numbers was taken for one";
        ++kept;
        const host::ProcedureOutline again = OutlineOf(after);
        EXPECT_EQ(outline.procedures(), again.procedures());
        EXPECT_EQ(outline.line_count(), again.line_count());
      }
    }
  }
  EXPECT_GT(kept, 50);
}

}  // namespace
}  // namespace tolvan
