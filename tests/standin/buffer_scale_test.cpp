// Inputs far larger than real code cost time in proportion to their size:
// each case below took tens of seconds when some step was quadratic, and
// takes a fraction of a second now.
#include <gtest/gtest.h>

#include <ctime>

#include "TestDefaults.h"
#include "TimeLimits.h"
#include "engine/clsMarlet.h"
#include "standin/BufferHost.h"

namespace tolvan::host {
namespace {

constexpr double kSeconds = 2.0 * kSanitizerSlowdown * kPlatformSlowdown;

struct Case {
  const char* name;
  std::u16string text;
  long start_line, end_line;  // equal: a cursor
  long expected_new_lines;    // lines added to the text
};

std::u16string AttributedMembers(int count) {
  std::u16string text = u"Option Explicit\r\n";
  for (int k = 0; k < count; ++k) {
    const std::string number = std::to_string(k);
    std::u16string name =
        u"Member" + std::u16string(1, u'a' + k % 26) + std::u16string(number.begin(), number.end());
    text += u"Public " + name + u" As Long\r\n";
    text += u"Attribute " + name + u".VB_VarUserMemId = 0\r\n";
  }
  return text;
}

std::u16string LongContinuedDeclaration(int lines) {
  std::u16string text = u"Sub P(a0 As Long, _\r\n";
  for (int k = 1; k < lines; ++k) {
    std::string name = "a" + std::to_string(k);
    text +=
        std::u16string(name.begin(), name.end()) + u" As Long" + (k + 1 < lines ? u", _" : u")");
    text += u"\r\n";
  }
  return text + u"End Sub\r\n";
}

TEST(BufferScale, LargeInputsStayLinear) {
  const Case cases[] = {
      {"marker over 60,000 attributed members", AttributedMembers(60000), 2, 120000, 2},
      {"declaration continued over 100,000 lines", LongContinuedDeclaration(100000), 1, 1, -1},
      {"procedure name of a million characters",
       u"Function " + std::u16string(1000000, u'a') + u"(b As Long) As Long\r\nEnd Function\r\n", 1,
       1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Processor time: the wall clock of a shared machine says little.
    const std::clock_t begin = std::clock();
    Result<std::shared_ptr<BufferVBE>> made = BufferVBE::FromText(c.text, {}, "Module1");
    ASSERT_TRUE(made.ok()) << made.message();
    std::shared_ptr<BufferVBE> vbe = *made;
    ASSERT_TRUE(
        vbe->SelectFileRange(c.start_line, 1, c.end_line, c.start_line == c.end_line ? 1 : 2).ok());
    SettingsRecord settings = FactorySettings();
    FixedKeyboardState keys;
    const FixedClock clock({2003, 7, 15, 10, 30, 0});
    clsMarlet marlet(settings, clock, keys);
    ASSERT_TRUE(marlet.MainCheck(*vbe).ok());
    const double seconds = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, kSeconds);
    const long before = static_cast<long>(vbe->document().FileLineCount());
    EXPECT_GT(before, 1);
    std::vector<LineEdit> edits = vbe->Edits();
    ASSERT_FALSE(edits.empty());
    if (c.expected_new_lines >= 0) {
      long added = 0;
      for (const LineEdit& e : edits) added += static_cast<long>(e.lines.size()) - e.removed;
      EXPECT_EQ(added, c.expected_new_lines);
    }
  }
}

}  // namespace
}  // namespace tolvan::host
