// The dry run's diff reads as `diff -u` writes it; the expected texts below
// are what GNU diff printed for the same pairs (after its two file lines).
#include <gtest/gtest.h>

#include "project/ProjectRun.h"

namespace tolvan::project {
namespace {

TEST(UnifiedDiff, WritesWhatDiffWrites) {
  struct Row {
    const char* name;
    std::string before, after, hunks;
  };
  const Row rows[] = {
      {"two hunks far apart", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       "1\nX\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\nY\n12\n",
       "@@ -1,4 +1,5 @@\n 1\n+X\n 2\n 3\n 4\n@@ -9,4 +10,5 @@\n 9\n 10\n 11\n+Y\n 12\n"},
      {"line break added at the end", "a\nb\nc", "a\nb\nc\n",
       "@@ -1,3 +1,3 @@\n a\n b\n-c\n\\ No newline at end of file\n+c\n"},
      {"one line replaced", "a\nb\nc\nd\n", "a\nB\nc\nd\n",
       "@@ -1,4 +1,4 @@\n a\n-b\n+B\n c\n d\n"},
      {"into an empty file", "", "x\n", "@@ -0,0 +1 @@\n+x\n"},
      {"CR LF lines keep their CR", "a\r\nb\r\n", "a\r\n'h\r\nb\r\n",
       "@@ -1,2 +1,3 @@\n a\r\n+'h\r\n b\r\n"},
      {"equal", "a\n", "a\n", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string want = row.hunks.empty() ? "" : "--- f.bas\n+++ f.bas\n" + row.hunks;
    EXPECT_EQ(UnifiedDiff(row.before, row.after, "f.bas"), want);
  }
}

}  // namespace
}  // namespace tolvan::project
