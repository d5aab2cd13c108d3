// A header comment requested at every procedure's declaration line of real
// module files (CP932 and UTF-8, CR LF and LF, forms, classes with member
// attributes, user controls) lands directly above that line, from the right
// template, and every other byte of the file stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "standin/FileHost.h"
#include "vbsource/ProcedureIndex.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

bool IsModuleFile(const fs::path& p) {
  std::string ext = p.extension().string();
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bas" || ext == ".cls" || ext == ".frm" || ext == ".ctl" || ext == ".pag" ||
         ext == ".dob" || ext == ".dsr";
}

std::string CommentAt(const fs::path& file, long line, std::string& err) {
  testing::RunResult run =
      testing::Tolvan({"comment", file.string(), "--line", std::to_string(line), "--now",
                       "2026-12-08", "--stdout"});
  err = run.err;
  return run.status == 0 ? run.out : std::string();
}

// Byte offset where the file's `line` (1-based) begins.
size_t OffsetOfLine(const std::string& bytes, long line) {
  size_t at = 0;
  for (long i = 1; i < line; ++i) at = bytes.find('\n', at) + 1;
  return at;
}

TEST(RealModules, EveryDeclarationGetsItsHeaderDirectlyAbove) {
  const fs::path config =
      fs::temp_directory_path() / ("tolvan-real-" + std::to_string(testing::ProcessId()));
  fs::create_directories(config);
  testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(config));

  int checked = 0;
  std::vector<fs::path> modules;
  for (const fs::path& root :
       {fs::path(TOLVAN_FIXTURE_DIR) / "host", fs::path(TOLVAN_SOURCE_DIR) / "examples"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file() && IsModuleFile(entry.path())) modules.push_back(entry.path());
    }
  }
  for (const fs::path& module : modules) {
    const fs::directory_entry entry(module);
    auto vbe = host::FileVBE::Open(entry.path(), {}, DefaultFileSystem());
    ASSERT_TRUE(vbe.ok()) << entry.path() << ": " << vbe.message();
    const std::string original = *ReadFileBytes(PathUtf8(entry.path()));
    const std::string encoding = (*vbe)->encoding();
    const auto& doc = (*vbe)->document();

    for (const host::Procedure& proc : doc.Index().procedures()) {
      const long file_line = doc.FileLineOf(proc.body_line);
      const std::string where = entry.path().filename().string() + ":" + std::to_string(file_line) +
                                " " + Utf16ToUtf8(proc.name);
      std::string err;
      const std::string result = CommentAt(entry.path(), file_line, err);
      ASSERT_FALSE(result.empty()) << where << ": " << err;

      const size_t at = OffsetOfLine(original, file_line);
      ASSERT_GT(result.size(), original.size()) << where;
      const size_t added = result.size() - original.size();
      EXPECT_EQ(result.substr(0, at), original.substr(0, at)) << where;
      EXPECT_EQ(result.substr(at + added), original.substr(at)) << where;

      auto header = DecodeText(result.substr(at, added), encoding);
      ASSERT_TRUE(header.ok()) << where;
      const std::string text = Utf16ToUtf8(*header);
      const std::string declaration = Utf16ToUtf8(doc.Line(proc.body_line));
      const bool is_private =
          declaration.find_first_not_of(" \t") != std::string::npos &&
          declaration.substr(declaration.find_first_not_of(" \t")).starts_with("Private ");
      const std::string rule = std::string("'") + (is_private ? '-' : '*');
      EXPECT_TRUE(text.starts_with(rule)) << where << "\n" << text;
      const char* label = proc.kind == host::ProcKind::Get   ? "'プロパティ名:    :Get "
                          : proc.kind == host::ProcKind::Let ? "'プロパティ名:    :Let "
                          : proc.kind == host::ProcKind::Set ? "'プロパティ名:    :Set "
                                                             : "'プロシージャ名:  :";
      EXPECT_NE(text.find(std::string(label) + Utf16ToUtf8(proc.name)), std::string::npos)
          << where << "\n"
          << text;
      ++checked;
    }
  }
  fs::remove_all(config);
  EXPECT_GT(checked, 25);
}

}  // namespace
}  // namespace tolvan
