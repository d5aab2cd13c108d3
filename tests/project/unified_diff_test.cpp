// The dry run's diff reads as `diff -u` writes it; the expected texts below
// are what GNU diff printed for the same files before and after the edits
// (after its two file lines).
#include <gtest/gtest.h>

#include "project/UnifiedDiff.h"

namespace tolvan::project {
namespace {

using host::ByteEdit;

TEST(UnifiedDiff, WritesWhatDiffWrites) {
  struct Row {
    const char* name;
    std::string before;
    std::vector<ByteEdit> edits;
    std::string hunks;
  };
  const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
  const Row rows[] = {
      {"two hunks far apart",
       "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       {{2, 0, "X\n"}, {24, 0, "Y\n"}},
       "@@ -1,4 +1,5 @@\n 1\n+X\n 2\n 3\n 4\n@@ -9,4 +10,5 @@\n 9\n 10\n 11\n+Y\n 12\n"},
      {"six lines apart: one hunk",
       ten,
       {{2, 0, "X\n"}, {14, 2, "Y\n"}},
       "@@ -1,10 +1,11 @@\n 1\n+X\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+Y\n 9\n 10\n"},
      {"seven lines apart: two",
       ten,
       {{2, 0, "X\n"}, {16, 2, "Y\n"}},
       "@@ -1,4 +1,5 @@\n 1\n+X\n 2\n 3\n 4\n@@ -6,5 +7,5 @@\n 6\n 7\n 8\n-9\n+Y\n 10\n"},
      {"line break added at the end",
       "a\nb\nc",
       {{4, 1, "c\n"}},
       "@@ -1,3 +1,3 @@\n a\n b\n-c\n\\ No newline at end of file\n+c\n"},
      {"line added after a last line without a break",
       "a\nb",
       {{2, 1, "b\n'x"}},
       "@@ -1,2 +1,3 @@\n a\n-b\n\\ No newline at end of file\n+b\n+'x\n\\ No newline at end of "
       "file\n"},
      {"one line replaced",
       "a\nb\nc\nd\n",
       {{2, 2, "B\n"}},
       "@@ -1,4 +1,4 @@\n a\n-b\n+B\n c\n d\n"},
      {"into an empty file", "", {{0, 0, "x\n"}}, "@@ -0,0 +1 @@\n+x\n"},
      {"CR LF lines keep their CR",
       "a\r\nb\r\n",
       {{3, 0, "'h\r\n"}},
       "@@ -1,2 +1,3 @@\n a\r\n+'h\r\n b\r\n"},
      // A lone CR ends a line of the module but not one of diff.
      {"a line inserted after a lone CR",
       "a\rb\nc\n",
       {{2, 0, "'h\r"}},
       "@@ -1,2 +1,2 @@\n-a\rb\n+a\r'h\rb\n c\n"},
      {"two edits inside one diff line",
       "a\rb\rc\n",
       {{0, 2, "A\r"}, {4, 2, "C\n"}},
       "@@ -1 +1 @@\n-a\rb\rc\n+A\rb\rC\n"},
      {"no edits", "a\n", {}, ""},
      {"an edit that writes what was there", "a\nb\n", {{2, 2, "b\n"}}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string want = row.hunks.empty() ? "" : "--- f.bas\n+++ f.bas\n" + row.hunks;
    EXPECT_EQ(UnifiedDiff(row.before, row.edits, "f.bas"), want);
  }
}

}  // namespace
}  // namespace tolvan::project
