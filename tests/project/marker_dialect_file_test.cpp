// The dialect file of change markers: what a project writes is read, what is
// wrong is said in the file's own terms, and the file is found beside the
// modules up to the project's folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "SystemSupport.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/MarkerDialectFile.h"

namespace tolvan::project {
namespace {

namespace fs = std::filesystem;

TEST(MarkerDialectFileTest, ReadsBuiltInNamesAndAProjectsOwnShapes) {
  // CP932, as a Japanese editor may save it.
  const std::string bytes = *EncodeAnsi(Utf8ToUtf16(R"({"use": ["dash-s-e"], "dialects": [
      {"name": "社内", "comment": "'#", "blocks": [
        {"kind": "delete", "start": ["'削除 {date} {author}", "'削除{*}"], "end": "'削除終"}]}]})"));
  auto dialects = ParseMarkerDialects(bytes, "tolvan-markers.json");
  ASSERT_TRUE(dialects) << dialects.message();
  ASSERT_EQ(dialects->size(), 2u);
  EXPECT_EQ((*dialects)[0].name, u"dash-s-e");
  const ChangeDialect& own = (*dialects)[1];
  EXPECT_EQ(own.name, u"社内");
  EXPECT_EQ(own.comment, u"'#");
  ASSERT_EQ(own.shapes.size(), 1u);
  EXPECT_EQ(own.shapes[0].kind, ChangeKind::kDelete);
  EXPECT_EQ(own.shapes[0].starts.size(), 2u);
  auto m = own.shapes[0].starts[0].Match(u"'削除 2011/02/03 山本");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->date, (CalendarDate{2011, 2, 3}));
}

TEST(MarkerDialectFileTest, SaysWhatIsWrongWithAFile) {
  const std::pair<const char*, const char*> rows[] = {
      {"{", "F.json: not JSON"},
      {"[]", "F.json: a JSON object is wanted, with \"use\" and \"dialects\""},
      {R"({"use": "dash-s-e"})", "F.json: \"use\" is a list of dialect names"},
      {R"({"use": ["dash"]})",
       "F.json: no built-in marker dialect is called \"dash\" (there are start-author-date, "
       "date-start, compact-date-start, equals-date, word-start-date, dash-s-e)"},
      {R"({"dialects": [{"blocks": []}]})", "F.json: dialect 1 has no \"name\""},
      {R"({"dialects": [{"name": "a"}]})", "F.json: dialect \"a\" has no \"blocks\""},
      {R"({"dialects": [{"name": "a", "blocks": [{"kind": "moved", "start": "'x", "end": "'y"}]}]})",
       "F.json: dialect \"a\", block 1: \"kind\" is add, delete, change or modify"},
      {R"({"dialects": [{"name": "a", "blocks": [{"kind": "add", "start": "'x"}]}]})",
       "F.json: dialect \"a\", block 1 wants a \"start\" and an \"end\""},
      {R"({"dialects": [{"name": "a", "blocks": [{"kind": "add", "start": [1], "end": "'y"}]}]})",
       "F.json: dialect \"a\", block 1: \"start\" is a pattern or a list of patterns"},
      {R"({"dialects": [{"name": "a", "blocks": [{"kind": "add", "start": "'{x", "end": "'y"}]}]})",
       "F.json: dialect \"a\", block 1: start pattern \"'{x\": unclosed { (write {{ for the "
       "brace itself)"},
  };
  for (const auto& [text, message] : rows) {
    auto d = ParseMarkerDialects(text, "F.json");
    ASSERT_FALSE(d) << text;
    EXPECT_EQ(d.message(), message);
  }
}

TEST(MarkerDialectFileTest, IsFoundBesideTheModulesUpToTheProjectsFolder) {
  const fs::path root = fs::temp_directory_path() /
                        ("tolvan-dialects-" + std::to_string(tolvan::testing::ProcessId()));
  fs::remove_all(root);
  fs::create_directories(root / "proj" / "src" / "deep");
  auto write = [](const fs::path& p, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomically(PathUtf8(p), bytes).ok());
  };
  write(root / kMarkerDialectFileName, "{}");  // above the project: never used
  write(root / "proj" / "Pay.vbp", "Module=modA; src\\deep\\modA.bas\r\n");
  const fs::path module = root / "proj" / "src" / "deep" / "modA.bas";
  EXPECT_EQ(FindMarkerDialectFile(module), fs::path());
  write(root / "proj" / kMarkerDialectFileName, "{}");
  EXPECT_EQ(FindMarkerDialectFile(module), root / "proj" / kMarkerDialectFileName);
  write(root / "proj" / "src" / kMarkerDialectFileName, "{}");
  EXPECT_EQ(FindMarkerDialectFile(module), root / "proj" / "src" / kMarkerDialectFileName);
  fs::remove_all(root);
}

}  // namespace
}  // namespace tolvan::project
