// The dry run's diff as a terminal shows it: each file's lines in the
// terminal's encoding with LF line ends, its name as it is, and nothing a
// terminal would take for a command.
#include <gtest/gtest.h>

#include "cli/TerminalDiff.h"

namespace tolvan::cli {
namespace {

TEST(DiffForTerminal, ShowsTheFilesLinesInTheTerminalsEncoding) {
  // The file names are UTF-8; 表示 is "\x95\x5C\x8E\xA6" in CP932, with a
  // backslash for its second byte.
  const std::string names = "--- 給与/計算.bas\n+++ 給与/計算.bas\n";
  const std::string hunk = "@@ -1 +1,2 @@\n";
  struct Row {
    const char* name;
    std::string diff;
    std::string file_encoding;
    std::string terminal;
    std::string shown;
  };
  const Row rows[] = {
      {"CP932 with CR LF on a UTF-8 terminal", names + hunk + " x\r\n+' \x95\x5C\x8E\xA6\r\n",
       "CP932", "UTF-8", names + hunk + " x\n+' 表示\n"},
      {"UTF-8 with LF as it is", names + hunk + " x\n+' 表示\n", "UTF-8", "UTF-8",
       names + hunk + " x\n+' 表示\n"},
      {"a last line without a break", names + hunk + "-x\r\n\\ No newline at end of file\n",
       "CP932", "UTF-8", names + hunk + "-x\n\\ No newline at end of file\n"},
      {"on an EUC-JP terminal", names + hunk + "+' \x95\x5C\x8E\xA6\r\n", "CP932", "EUC-JP",
       "--- \xB5\xEB\xCD\xBF/\xB7\xD7\xBB\xBB.bas\n+++ \xB5\xEB\xCD\xBF/\xB7\xD7\xBB\xBB.bas\n" +
           hunk + "+' \xC9\xBD\xBC\xA8\n"},
      {"what EUC-JP lacks, beside what it has", names + hunk + "+' 表😀\n", "UTF-8", "EUC-JP",
       "--- \xB5\xEB\xCD\xBF/\xB7\xD7\xBB\xBB.bas\n+++ \xB5\xEB\xCD\xBF/\xB7\xD7\xBB\xBB.bas\n" +
           hunk + "+' \xC9\xBD<U+1F600>\n"},
      {"on an ASCII terminal", names + hunk + "+' \x95\x5C\x8E\xA6\r\n", "CP932", "US-ASCII",
       "--- <U+7D66><U+4E0E>/<U+8A08><U+7B97>.bas\n+++ <U+7D66><U+4E0E>/<U+8A08><U+7B97>.bas\n" +
           hunk + "+' <U+8868><U+793A>\n"},
      {"control characters in a string literal",
       names + hunk + "+s = \"\x1B[2J\x07\"\r\n x\ry\r\n\tz\x7F\r\n", "CP932", "UTF-8",
       names + hunk + "+s = \"^[[2J^G\"\n x^My\n\tz^?\n"},
      {"a C1 control in UTF-8",
       names + hunk +
           "+\xC2\x9B"
           "31m\n",
       "UTF-8", "UTF-8", names + hunk + "+<U+009B>31m\n"},
      {"bytes that are not CP932", names + hunk + " a\x81\r\n+' \x95\x5C\r\n", "CP932", "UTF-8",
       names + hunk + " a\\x81\n+' 表\n"},
      {"bytes that are not UTF-8", names + hunk + " a\x81\n", "UTF-8", "UTF-8",
       names + hunk + " a\xEF\xBF\xBD\n"},
      {"a terminal encoding the system does not know", names + hunk + "+' \x95\x5C\r\n", "CP932",
       "NO-SUCH-CODESET", names + hunk + "+' 表\n"},
      {"nothing changed", "", "CP932", "UTF-8", ""},
  };
  for (const Row& row : rows) {
#ifdef _WIN32
    // A Windows console is always written as UTF-8 (ProgramStreams.h).
    if (row.terminal != "UTF-8" && row.terminal != "NO-SUCH-CODESET") continue;
#endif
    EXPECT_EQ(DiffForTerminal(row.diff, row.file_encoding, row.terminal), row.shown) << row.name;
  }
}

}  // namespace
}  // namespace tolvan::cli
