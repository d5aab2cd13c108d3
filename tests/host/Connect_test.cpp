// The connection over the stand-in environment: where the button goes, when
// nothing is placed, the caption, the clipboard, the two click commands and
// disconnection.
#include "host/Connect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "StandInIde.h"
#include "TestDefaults.h"
#include "platform/Text.h"

namespace tolvan::host {

struct ConnectTestPeer {
  static const std::shared_ptr<VBE>& VBInstance(const Connect& c) { return c.VBInstance; }
  static const std::shared_ptr<CommandBarControl>& ToolbarButton(const Connect& c) {
    return c.ToolbarButton;
  }
  static const std::shared_ptr<CommandBarControl>& SettingsMenuItem(const Connect& c) {
    return c.SettingsMenuItem;
  }
};

namespace {

using ::testing::ElementsAre;
using Peer = ConnectTestPeer;
using Shown = RecordingMessageBox::Shown;

// Captions joined with '|', for exact comparisons in one line.
std::string Joined(const std::vector<std::u16string>& texts) {
  std::string out;
  for (size_t i = 0; i < texts.size(); ++i) out += (i ? "|" : "") + Utf16ToUtf8(texts[i]);
  return out;
}

std::string ButtonFace() {
  return *EmbeddedResources().LoadResPicture(resource_id::kButtonFace, ResourceKind::kBitmap);
}

// A dialog that records what it was given and can play the user's changes.
class FakeSettingsDialog : public SettingsDialog {
 public:
  Status ShowModal(const std::vector<std::u16string>& toolbars) override {
    shown.push_back(toolbars);
    if (while_open) while_open();
    return result;
  }
  std::vector<std::vector<std::u16string>> shown;
  std::function<void()> while_open;
  Status result;
};

// The standard bar's captions as the stand-in environment makes them.
const std::string kStandardCaptions =
    "プロジェクトの追加|フォームの追加|メニュー エディタ|プロジェクトを開く|プロジェクトの保存|"
    "切り取り|コピー|貼り付け|検索|元に戻す|やり直し|開始|中断|終了|プロジェクト エクスプローラ|"
    "プロパティ ウィンドウ|フォーム レイアウト ウィンドウ|オブジェクト ブラウザ|ツールボックス";

class ConnectTest : public ::testing::Test {
 protected:
  ConnectTest() {
    file_settings.strIniName = u"Tolvan";
    // A module with one Sub whose declaration is line 3.
    ide->module().lines = {u"Option Explicit", u"", u"Public Sub Calc()", u"End Sub"};
    ide->module().procs = {{u"Calc", Kind::Proc, 2, 3, 4}};
    ide->Select(3, 1, 3, 1);
    for (auto& t : file_settings.strTemplate) t = u"'header $c";
  }

  std::unique_ptr<Connect> MakeConnect() {
    return std::make_unique<host::Connect>(ConnectEnvironment{
        .settings = settings,
        .load_settings =
            [this] {
              ++loads;
              if (!load_result.ok()) return load_result;
              settings = file_settings;
              return Status::Ok();
            },
        .clock = clock,
        .keyboard = keyboard,
        .message_box = messages,
        .clipboard = clipboard,
        .resources = resources,
        .settings_dialog = dialog,
        .comment_failed = [this](const Status& s) { comment_failures.push_back(s.message()); },
    });
  }

  Status ConnectNow(int32_t mode = connect_mode::kAfterStartup) {
    return connect->AddinInstance_OnConnection(ide, mode);
  }

  StandInCommandBarControls& Standard() { return ide->Controls(kStandardToolbar); }
  StandInCommandBarControls& Tools() { return ide->Controls(u"Tools"); }
  std::shared_ptr<StandInCommandBarControl> Button() {
    return std::dynamic_pointer_cast<StandInCommandBarControl>(Peer::ToolbarButton(*connect));
  }
  std::shared_ptr<StandInCommandBarControl> MenuItem() {
    return std::dynamic_pointer_cast<StandInCommandBarControl>(Peer::SettingsMenuItem(*connect));
  }
  size_t Headers() const {
    return std::count(ide->module().lines.begin(), ide->module().lines.end(), u"'header Calc");
  }

  using Kind = ProcKind;
  SettingsRecord settings;
  SettingsRecord file_settings = FactorySettings();
  Status load_result;
  int loads = 0;
  FixedClock clock{{2003, 7, 15, 10, 30, 0}};
  FixedKeyboardState keyboard;
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  EmbeddedResources resources;
  FakeSettingsDialog dialog;
  std::vector<std::string> comment_failures;
  std::shared_ptr<testing::StandInIde> ide = std::make_shared<testing::StandInIde>(clipboard);
  std::unique_ptr<host::Connect> connect = MakeConnect();
};

TEST_F(ConnectTest, PlacesTheButtonAndTheToolsMenuItem) {
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(Joined(Standard().Captions()),
            kStandardCaptions.substr(0, kStandardCaptions.rfind('|')) + "|Tolvan|ツールボックス");
  EXPECT_EQ(Joined(Tools().Captions()),
            "プロシージャの追加(&P)...|プロシージャ属性(&B)...|メニュー エディタ(&M)...|"
            "オプション(&O)...|Tolvanの設定...");
  EXPECT_EQ(Button(), Standard().At(19));
  EXPECT_EQ(Button()->type(), control_type::kButton);
  EXPECT_EQ(MenuItem(), Tools().At(5));
  EXPECT_EQ(MenuItem()->type(), control_type::kButton);
  EXPECT_EQ(Button()->face(), ButtonFace());
  EXPECT_NE(connect->MenuHandler(), nullptr);
  EXPECT_NE(connect->MenuHandler2(), nullptr);
  EXPECT_EQ(ide->events->sources_made, 2);
  EXPECT_TRUE(messages.shown.empty());
  // The environment's later notifications neither reload nor place again.
  connect->AddinInstance_OnStartupComplete();
  connect->AddinInstance_OnAddInsUpdate();
  EXPECT_EQ(Standard().Count(), 20);
  EXPECT_EQ(loads, 1);
}

TEST_F(ConnectTest, ToolbarChoice) {
  struct Row {
    const char* name;
    std::u16string toolbar;
    const char* bar_used;
    bool next_to_last;
  };
  const Row rows[] = {
      {"standard_next_to_last", u"標準", "標準", true},
      {"other_bar_last_and_made_visible", u"編集", "編集", false},
      {"form_editor", u"フォーム エディタ", "フォーム エディタ", false},
      {"missing_bar_falls_back", u"MyBar", "標準", true},
      {"empty_name_falls_back", u"", "標準", true},
      {"name_differs_in_case", u"tools", "標準", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    file_settings.strToolbarName = row.toolbar;
    const std::u16string used = Utf8ToUtf16(row.bar_used);
    const long before = ide->Controls(used).Count();
    ASSERT_TRUE(ConnectNow().ok());
    EXPECT_EQ(Utf16ToUtf8(settings.strToolbarName), row.bar_used);
    EXPECT_EQ(file_settings.strToolbarName, row.toolbar);  // the file keeps its own name
    auto& controls = ide->Controls(used);
    ASSERT_EQ(controls.Count(), before + 1);
    EXPECT_EQ(Button(), controls.At(row.next_to_last ? before : before + 1));
    EXPECT_TRUE(ide->bars->Bar(used)->Visible());
  }
}

TEST_F(ConnectTest, FailedLookupCountsAsMissingBar) {
  // Every look-up by name fails, so even the standard bar cannot be found:
  // the failure goes back to the environment and nothing is placed.
  file_settings.strToolbarName = u"編集";
  ide->bars->fail_lookup_by_name = true;
  Status s = ConnectNow();
  EXPECT_EQ(s.message(), "no command bar named \"標準\"");
  EXPECT_EQ(settings.strToolbarName, u"標準");
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
  EXPECT_EQ(Tools().Count(), 4);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConnectTest, EmptyStandardBarGetsTheButtonAppended) {
  while (Standard().Count() > 0) ASSERT_TRUE(Standard().At(1)->Delete().ok());
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(Joined(Standard().Captions()), "Tolvan");
}

TEST_F(ConnectTest, ButtonCaptionFollowsTheSettingsFile) {
  struct Row {
    const char* name;
    std::u16string ini_name;
    const char* caption;
  };
  const Row rows[] = {
      {"default_file", u"Tolvan", "Tolvan"},
      {"no_file", u"", "Tolvan"},
      {"named_file", u"MyStyle", "Tolvan - MyStyle"},
      {"case_differs", u"tolvan", "Tolvan - tolvan"},
      {"japanese_name", u"チーム規約", "Tolvan - チーム規約"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    file_settings.strIniName = row.ini_name;
    ASSERT_TRUE(ConnectNow().ok());
    EXPECT_EQ(Utf16ToUtf8(Button()->Caption()), row.caption);
  }
}

TEST_F(ConnectTest, LeftoverButton) {
  struct Row {
    const char* name;
    const char16_t* bar;
    std::u16string caption;
    bool inert;
  };
  const Row rows[] = {
      {"plain_name_on_chosen_bar", u"標準", u"Tolvan", true},
      {"name_with_settings_file", u"標準", u"Tolvan - MyStyle", false},
      {"lower_case", u"標準", u"tolvan", false},
      {"trailing_space", u"標準", u"Tolvan ", false},
      {"on_another_bar", u"デバッグ", u"Tolvan", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    auto leftover = ide->Controls(row.bar).Append(row.caption);
    const long standard = Standard().Count();
    ASSERT_TRUE(ConnectNow().ok());
    if (row.inert) {
      EXPECT_EQ(Standard().Count(), standard);
      EXPECT_EQ(Tools().Count(), 4);
      EXPECT_EQ(ide->events->sources_made, 0);
      EXPECT_EQ(Peer::VBInstance(*connect), nullptr);
      EXPECT_EQ(leftover->Click(), 0);
      EXPECT_EQ(Headers(), 0u);
      EXPECT_FALSE(leftover->deleted());
      // Disconnecting an inert connection only releases.
      connect->AddinInstance_OnDisconnection(0);
      EXPECT_FALSE(leftover->deleted());
      EXPECT_EQ(Standard().Count(), standard);
    } else {
      EXPECT_EQ(Standard().Count(), standard + 1);
      EXPECT_EQ(Tools().Count(), 5);
      EXPECT_NE(Button(), leftover);
    }
  }
}

TEST_F(ConnectTest, ButtonRunsTheCommentCommand) {
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(Headers(), 0u);
  EXPECT_EQ(Button()->Click(), 1);
  EXPECT_EQ(Joined(ide->module().lines), "Option Explicit||'header Calc|Public Sub Calc()|End Sub");
  EXPECT_EQ(Button()->Click(), 1);
  EXPECT_EQ(Headers(), 2u);
  EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(ConnectTest, CommentCommandFailureShowsNoMessage) {
  ide->module().fail_insert = true;
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(Button()->Click(), 1);
  ide->pane = nullptr;  // no code window at all
  EXPECT_EQ(Button()->Click(), 1);
  EXPECT_TRUE(messages.shown.empty());
  // Only the front end that asked hears of them.
  EXPECT_THAT(comment_failures, ElementsAre("insertion refused", ::testing::_));
}

TEST_F(ConnectTest, ExternalStartRunsTheCommandOnceAndPlacesNothing) {
  file_settings.strToolbarName = u"MyBar";
  ASSERT_TRUE(ConnectNow(connect_mode::kExternal).ok());
  EXPECT_EQ(settings.strToolbarName, u"標準");  // still replaced
  EXPECT_EQ(Headers(), 1u);
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
  EXPECT_EQ(Tools().Count(), 4);
  EXPECT_EQ(ide->events->sources_made, 0);
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_EQ(Peer::VBInstance(*connect), ide);
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Peer::VBInstance(*connect), nullptr);
  EXPECT_EQ(Headers(), 1u);
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
}

TEST_F(ConnectTest, FailedLoadShowsTheErrorAndPlacesNothing) {
  load_result = Status::Error("CommentPattern: 70000 does not fit a 16-bit integer");
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_THAT(
      messages.shown,
      ElementsAre(Shown{u"CommentPattern: 70000 does not fit a 16-bit integer", u"Tolvan"}));
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
  EXPECT_EQ(Tools().Count(), 4);
  EXPECT_EQ(Peer::VBInstance(*connect), ide);
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Peer::VBInstance(*connect), nullptr);
}

TEST_F(ConnectTest, ClipboardContentSurvivesTheButtonFace) {
  for (const ClipboardContents& users :
       {ClipboardContents{{kClipboardText, "Dim x As Long"}}, ClipboardContents{}}) {
    SCOPED_TRACE(users.size());
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    clipboard.contents = users;
    clipboard.history.clear();
    ASSERT_TRUE(ConnectNow().ok());
    EXPECT_EQ(Button()->face(), ButtonFace());
    EXPECT_EQ(clipboard.contents, users);
    ASSERT_EQ(clipboard.history.size(), 2u);
    EXPECT_EQ(clipboard.history[0], (ClipboardContents{{kClipboardBitmap, ButtonFace()}}));
  }
}

TEST_F(ConnectTest, ClipboardRestoredWhenTheFaceIsRefused) {
  const ClipboardContents users = {{kClipboardText, "x"}};
  clipboard.contents = users;
  Standard().fail_paste_face = true;
  EXPECT_EQ(ConnectNow().message(), "the face of the command bar control cannot be set");
  EXPECT_EQ(clipboard.contents, users);
  // What was made before the failure stays, and disconnection removes it.
  EXPECT_EQ(Standard().Count(), 20);
  EXPECT_EQ(connect->MenuHandler(), nullptr);
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
}

TEST_F(ConnectTest, UnreadableClipboardIsLeftAlone) {
  clipboard.contents = {{kClipboardText, "x"}};
  clipboard.fail_read = true;
  EXPECT_EQ(ConnectNow().message(), "the clipboard cannot be opened");
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_EQ(Button()->face(), "");
}

TEST_F(ConnectTest, FailuresWhilePlacingGoBackToTheEnvironment) {
  struct Row {
    const char* name;
    std::function<void(testing::StandInIde&)> arrange;
    const char* message;
    long standard_count;
  };
  const Row rows[] = {
      {"bar_cannot_be_shown",
       [](testing::StandInIde& ide) { ide.bars->Bar(u"標準")->fail_set_visible = true; },
       "the command bar cannot be shown or hidden", 19},
      {"button_cannot_be_added",
       [](testing::StandInIde& ide) { ide.Controls(u"標準").fail_add = true; },
       "no control can be added to this command bar", 19},
      {"caption_refused",
       [](testing::StandInIde& ide) { ide.Controls(u"標準").fail_caption = true; },
       "the caption of the command bar control cannot be set", 20},
      {"no_click_events",
       [](testing::StandInIde& ide) { ide.events->fail_command_bar_events = true; },
       "the click events cannot be watched", 20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    messages.shown.clear();
    row.arrange(*ide);
    EXPECT_EQ(ConnectNow().message(), row.message);
    EXPECT_EQ(Standard().Count(), row.standard_count);
    EXPECT_EQ(Tools().Count(), 4);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(ConnectTest, NoToolsMenuLeavesTheButtonWorking) {
  ide->bars = std::make_shared<StandInCommandBars>(clipboard);
  ide->bars->AddBar(u"メニュー バー", true, {u"ファイル(&F)"});
  ide->bars->AddBar(u"標準", true, {u"開く", u"保存"});
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(MenuItem(), nullptr);
  EXPECT_EQ(connect->MenuHandler2(), nullptr);
  EXPECT_EQ(ide->events->sources_made, 1);
  EXPECT_EQ(Button()->Click(), 1);
  EXPECT_EQ(Headers(), 1u);
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Joined(Standard().Captions()), "開く|保存");
}

TEST_F(ConnectTest, ToolsItemThatCannotBeMadeIsNoFailure) {
  for (bool caption_refused : {true, false}) {
    SCOPED_TRACE(caption_refused ? "caption_refused_item_taken_away" : "item_cannot_be_added");
    ide = std::make_shared<testing::StandInIde>(clipboard);
    connect = MakeConnect();
    (caption_refused ? Tools().fail_caption : Tools().fail_add) = true;
    ASSERT_TRUE(ConnectNow().ok());
    EXPECT_EQ(MenuItem(), nullptr);
    EXPECT_EQ(Tools().Count(), 4);
    EXPECT_NE(Button(), nullptr);
    EXPECT_EQ(ide->events->sources_made, 1);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(ConnectTest, SettingsItemListsOnlyVisibleToolBars) {
  file_settings.strToolbarName = u"デバッグ";  // connecting shows it
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(MenuItem()->Click(), 1);
  ASSERT_EQ(dialog.shown.size(), 1u);
  // Six command bars: slots 0 to 6, the menu bar and hidden bars left out.
  EXPECT_EQ(Joined(dialog.shown[0]), "標準|デバッグ|||||");
  EXPECT_EQ(Headers(), 0u);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConnectTest, CaptionChangesWhenTheDialogLoadsAnotherFile) {
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(Button()->Caption(), u"Tolvan");
  dialog.while_open = [this] {
    EXPECT_EQ(Button()->Caption(), u"Tolvan");
    settings.strIniName = u"MyStyle";
    settings.strToolbarName = u"編集";
  };
  MenuItem()->Click();
  EXPECT_EQ(Button()->Caption(), u"Tolvan - MyStyle");
  // A new tool bar takes effect only at the next connection.
  EXPECT_EQ(Button(), Standard().At(19));
  dialog.while_open = [this] { settings.strIniName = u"Tolvan"; };
  MenuItem()->Click();
  EXPECT_EQ(Button()->Caption(), u"Tolvan");
}

TEST_F(ConnectTest, DialogAndCaptionFailuresAreShownInAMessageBox) {
  const Status unavailable = UnavailableSettingsDialog().ShowModal({});
  EXPECT_EQ(unavailable.message(), "the settings dialog is not available in this build");
  ASSERT_TRUE(ConnectNow().ok());
  dialog.result = unavailable;
  MenuItem()->Click();
  dialog.result = Status::Ok();
  dialog.while_open = [this] { Standard().fail_caption = true; };
  MenuItem()->Click();
  EXPECT_THAT(
      messages.shown,
      ElementsAre(Shown{u"the settings dialog is not available in this build", u"Tolvan"},
                  Shown{u"the caption of the command bar control cannot be set", u"Tolvan"}));
}

TEST_F(ConnectTest, DisconnectionRemovesBothControls) {
  ASSERT_TRUE(ConnectNow().ok());
  auto button = Button();
  auto item = MenuItem();
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Joined(Standard().Captions()), kStandardCaptions);
  EXPECT_EQ(Tools().Count(), 4);
  EXPECT_TRUE(button->deleted());
  EXPECT_TRUE(item->deleted());
  EXPECT_EQ(connect->MenuHandler(), nullptr);
  EXPECT_EQ(connect->MenuHandler2(), nullptr);
  EXPECT_EQ(Peer::VBInstance(*connect), nullptr);
  EXPECT_EQ(Button(), nullptr);
  EXPECT_EQ(MenuItem(), nullptr);
  // The next connection finds no leftover and places the commands again.
  ASSERT_TRUE(ConnectNow().ok());
  EXPECT_EQ(Standard().Count(), 20);
  EXPECT_EQ(Tools().Count(), 5);
}

TEST_F(ConnectTest, DisconnectionGoesOnPastFailures) {
  ASSERT_TRUE(ConnectNow().ok());
  auto item = MenuItem();
  Standard().fail_delete = true;
  connect->AddinInstance_OnDisconnection(0);
  EXPECT_EQ(Standard().Count(), 20);
  EXPECT_TRUE(item->deleted());
  EXPECT_EQ(Peer::VBInstance(*connect), nullptr);
  // The button that could not be deleted no longer reaches the add-in.
  EXPECT_EQ(Standard().At(19)->Click(), 0);
}

TEST_F(ConnectTest, DestroyedConnectionReceivesNoClicks) {
  ASSERT_TRUE(ConnectNow().ok());
  auto button = Button();
  auto item = MenuItem();
  // The environment may keep the event sources alive itself.
  auto kept = connect->MenuHandler();
  connect.reset();
  EXPECT_EQ(button->Click(), 0);
  EXPECT_EQ(item->Click(), 0);
  EXPECT_EQ(Headers(), 0u);
}

}  // namespace
}  // namespace tolvan::host
