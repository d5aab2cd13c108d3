// The stand-in command bars: what the connection relies on from the IDE's
// menus, tool bars and click events, held by the in-memory version.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "standin/StandInCommandBars.h"

namespace tolvan::host {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Utf8(const std::vector<std::u16string>& texts) {
  std::vector<std::string> out;
  for (const auto& t : texts) out.push_back(Utf16ToUtf8(t));
  return out;
}

class StandInCommandBarsTest : public ::testing::Test {
 protected:
  MemoryClipboard clipboard;
  StandInCommandBars bars{clipboard};
  StandInEvents events;
  std::shared_ptr<StandInCommandBar> bar = bars.AddBar(u"標準", true, {u"A", u"B", u"C"});
};

TEST(StandardCommandBars, MenuBarFirstThenToolBarsThenTools) {
  MemoryClipboard clipboard;
  auto bars = MakeStandardCommandBars(clipboard);
  std::vector<std::u16string> names;
  std::vector<std::u16string> visible;
  for (long i = 1; i <= bars->Count(); ++i) {
    auto bar = *bars->Item(i);
    names.push_back(bar->Name());
    if (bar->Visible()) visible.push_back(bar->Name());
  }
  EXPECT_THAT(Utf8(names), ElementsAre("メニュー バー", "標準", "編集", "デバッグ",
                                       "フォーム エディタ", "Tools"));
  EXPECT_THAT(Utf8(visible), ElementsAre("メニュー バー", "標準"));
  EXPECT_EQ(bars->Bar(u"標準")->controls().Find(u"Tolvan"), nullptr);
}

TEST_F(StandInCommandBarsTest, LooksUpByNameAndPosition) {
  EXPECT_EQ(*bars.Item(u"標準"), bar);
  EXPECT_EQ(*bars.Item(1), bar);
  EXPECT_EQ(bars.Item(u"標").message(), "no command bar named \"標\"");
  EXPECT_EQ(bars.Item(0).message(), "no command bar at position 0");
  EXPECT_EQ(bars.Item(2).message(), "no command bar at position 2");
  bars.fail_lookup_by_name = true;
  EXPECT_FALSE(bars.Item(u"標準").ok());
  std::vector<std::u16string> captions;
  for (auto control : *bar->Controls()) captions.push_back(control->Caption());
  EXPECT_THAT(Utf8(captions), ElementsAre("A", "B", "C"));
}

TEST_F(StandInCommandBarsTest, AddPlacesBeforeAPositionOrAtTheEnd) {
  struct Row {
    const char* name;
    std::optional<long> before;
    std::vector<std::string> captions;
  };
  const Row rows[] = {
      {"first", 1, {"new", "A", "B", "C"}},
      {"next_to_last", 3, {"A", "B", "new", "C"}},
      {"one_past_the_end", 4, {"A", "B", "C", "new"}},
      {"appended", std::nullopt, {"A", "B", "C", "new"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    StandInCommandBars fresh(clipboard);
    auto b = fresh.AddBar(u"x", true, {u"A", u"B", u"C"});
    auto added = b->Controls()->Add(control_type::kButton, row.before);
    ASSERT_TRUE(added.ok());
    ASSERT_TRUE((*added)->SetCaption(u"new").ok());
    EXPECT_EQ(Utf8(b->controls().Captions()), row.captions);
  }
}

TEST_F(StandInCommandBarsTest, AddRefusesPositionsOutsideTheBar) {
  for (long before : {0, 5}) {
    EXPECT_EQ(bar->Controls()->Add(control_type::kButton, before).message(),
              "no command bar control position " + std::to_string(before));
  }
  EXPECT_EQ(bar->controls().Count(), 3);
}

TEST_F(StandInCommandBarsTest, DeletedControlLeavesTheBarAndStandsForNothing) {
  auto b = bar->controls().At(2);
  auto source = *events.CommandBarEvents(b);
  int clicks = 0;
  source->SetClickHandler(
      [&](const std::shared_ptr<CommandBarControl>&, bool&, bool&) { ++clicks; });
  ASSERT_TRUE(b->Delete().ok());
  EXPECT_EQ(b->Click(), 0);
  EXPECT_EQ(clicks, 0);
  EXPECT_THAT(Utf8(bar->controls().Captions()), ElementsAre("A", "C"));
  EXPECT_TRUE(b->deleted());
  const std::string deleted = "the command bar control has been deleted";
  EXPECT_EQ(b->Delete().message(), deleted);
  EXPECT_EQ(b->SetCaption(u"x").message(), deleted);
  EXPECT_EQ(b->PasteFace().message(), deleted);
}

TEST_F(StandInCommandBarsTest, PasteFaceTakesTheBitmapOnTheClipboard) {
  auto a = bar->controls().At(1);
  clipboard.contents = {{kClipboardText, "hello"}};
  EXPECT_EQ(a->PasteFace().message(), "the clipboard holds no picture");
  EXPECT_EQ(a->face(), "");
  clipboard.contents = {{kClipboardText, "hello"}, {kClipboardBitmap, "BMpicture"}};
  ASSERT_TRUE(a->PasteFace().ok());
  EXPECT_EQ(a->face(), "BMpicture");
  clipboard.fail_read = true;
  EXPECT_EQ(a->PasteFace().message(), "the clipboard cannot be opened");
}

TEST_F(StandInCommandBarsTest, ClickReachesHandlersWhileTheSourceIsHeld) {
  EXPECT_EQ(events.CommandBarEvents(nullptr).message(), "no command bar control to watch");
  EXPECT_EQ(events.sources_made, 0);
  auto a = bar->controls().At(1);
  std::vector<std::string> calls;
  auto first = *events.CommandBarEvents(a);
  auto second = *events.CommandBarEvents(a);
  first->SetClickHandler(
      [&](const std::shared_ptr<CommandBarControl>& control, bool& handled, bool&) {
        calls.push_back("first:" + Utf16ToUtf8(control->Caption()));
        handled = true;
      });
  second->SetClickHandler([&](const std::shared_ptr<CommandBarControl>&, bool& handled, bool&) {
    calls.push_back(std::string("second:") + (handled ? "handled" : "not handled"));
  });
  EXPECT_EQ(a->Click(), 2);
  EXPECT_THAT(calls, ElementsAre("first:A", "second:handled"));

  calls.clear();
  second->SetClickHandler(nullptr);
  EXPECT_EQ(a->Click(), 1);
  first.reset();
  EXPECT_EQ(a->Click(), 0);
  EXPECT_TRUE(calls.size() == 1);
  // Another control's clicks reach nobody.
  EXPECT_EQ(bar->controls().At(2)->Click(), 0);
}

TEST_F(StandInCommandBarsTest, HandlerMayEndItsOwnSubscription) {
  auto a = bar->controls().At(1);
  std::shared_ptr<CommandBarEvents> source = *events.CommandBarEvents(a);
  int clicks = 0;
  source->SetClickHandler([&](const std::shared_ptr<CommandBarControl>&, bool&, bool&) {
    ++clicks;
    source->SetClickHandler(nullptr);
    source.reset();
  });
  EXPECT_EQ(a->Click(), 1);
  EXPECT_EQ(a->Click(), 0);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace tolvan::host
