// The command line's stand-in environment passes the code through and adds
// the in-memory command bars.
#include "standin/StandInEnvironment.h"

#include <gtest/gtest.h>

#include "engine/FakeHost.h"

namespace tolvan::host {
namespace {

TEST(StandInEnvironment, CodeComesFromTheModelGivenIfAny) {
  MemoryClipboard clipboard;
  auto code = std::make_shared<testing::FakeVBE>();
  StandInEnvironment ide(code, clipboard);
  EXPECT_EQ(ide.ActiveVBProject(), code->project);
  EXPECT_EQ(ide.ActiveCodePane(), code->pane);
  EXPECT_EQ(ide.SelectedVBComponent(), code->component);
  EXPECT_EQ(ide.CommandBars()->Count(), 6);
  EXPECT_NE(ide.Events(), nullptr);

  StandInEnvironment empty(nullptr, clipboard);
  EXPECT_EQ(empty.ActiveVBProject(), nullptr);
  EXPECT_EQ(empty.ActiveCodePane(), nullptr);
  EXPECT_EQ(empty.SelectedVBComponent(), nullptr);
  EXPECT_EQ(empty.bars().Bar(u"標準")->Name(), u"標準");
}

}  // namespace
}  // namespace tolvan::host
