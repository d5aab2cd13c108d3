// The settings dialog without a window: opening, the page switch, copying
// between the record and the controls, the changed flag, previews, OK, and
// loading and saving settings files.
#include <functional>

#include "FormHarness.h"

namespace tolvan::dialog::testing {
namespace {

TEST(MarletFormOpening, CaptionFollowsTheSettingsFileName) {
  const struct {
    const char* name;
    std::u16string ini_name;
    std::u16string caption;
  } rows[] = {
      {"no settings file name", u"", u"Tolvan"},
      {"the product's own file", u"Tolvan", u"Tolvan"},
      {"a named file", u"Team", u"Tolvan - Team"},
      {"case differs from the product's", u"tolvan", u"Tolvan - tolvan"},
  };
  for (const auto& row : rows) {
    FormHarness h;
    h.settings.strIniName = row.ini_name;
    h.Open();
    EXPECT_EQ(U8(h.c().caption), U8(row.caption)) << row.name;
  }
}

TEST(MarletFormOpening, ToolbarListSkipsEmptySlotsAndChoosesTheStoredName) {
  const struct {
    const char* name;
    std::vector<std::u16string> toolbars;
    std::u16string stored;
    std::vector<std::u16string> listed;
    int selected;
  } rows[] = {
      {"stored name listed",
       {u"標準", u"", u"デバッグ", u""},
       u"デバッグ",
       {u"標準", u"デバッグ"},
       1},
      {"stored name missing: the first", {u"標準", u"編集"}, u"書式", {u"標準", u"編集"}, 0},
      {"exact case only", {u"Edit", u"edit"}, u"edit", {u"Edit", u"edit"}, 1},
      {"only empty slots", {u"", u""}, u"標準", {}, -1},
      {"no slots", {}, u"標準", {}, -1},
  };
  for (const auto& row : rows) {
    FormHarness h;
    h.toolbars = row.toolbars;
    h.settings.strToolbarName = row.stored;
    h.Open();
    EXPECT_EQ(h.c().toolbar_choices, row.listed) << row.name;
    EXPECT_EQ(h.c().cboToolbars, row.selected) << row.name;
  }
}

TEST(MarletFormOpening, ShowsEveryFieldAndIsUnchanged) {
  FormHarness h;
  h.Open();
  const MarletControls& c = h.c();
  EXPECT_FALSE(h.form.Changed());
  EXPECT_EQ(c.page, 0);
  for (int n = 0; n < kTemplatePageCount; ++n)
    EXPECT_EQ(c.txtComment[n], h.settings.strTemplate[n]);
  EXPECT_EQ(c.txtRef, (std::array<std::u16string, kRefCount>{u"I", u"O", u"none", u"Optional",
                                                             u"Default:", u"yyyy/mm/dd"}));
  EXPECT_EQ(c.grid, h.settings.vntUserDefine);
  EXPECT_EQ(c.grid_row, 0);
  EXPECT_EQ(h.form.UserDefineEdit(), h.settings.vntUserDefine);
  EXPECT_EQ(h.form.UserDefineEditLast(), 2);
  EXPECT_EQ(c.cboCommentPattern, 1);
  EXPECT_EQ(c.txtLineComment, h.settings.strLineComment);
  EXPECT_EQ(c.cboLineComment, (std::array<int, 4>{1, 2, 3, 0}));
  EXPECT_EQ(c.chkLineComment, (std::array<bool, 4>{false, true, false, true}));
  // Every preview is its own template expanded once the table is in.
  EXPECT_EQ(U8(c.txtPreview[0]),
            "['TA $c\r\n'$n1]{2024/03/05|Module1|}<,,>(2:ver=1.0,who=山田,team=QA)");
  EXPECT_EQ(U8(c.txtPreview[3]),
            "['TD $c\r\n'$n1]{2024/03/05|Module1|Long}<I,Optional,Default:;I,,;O,Optional,"
            "Default:>(2:ver=1.0,who=山田,team=QA)");
  EXPECT_NE(U8(c.txtPreview[11]).find("]{2024/03/05|Form1|}<,,>"), std::string::npos);
}

TEST(MarletFormOpening, ValuesOutOfRangeLeaveTheListsUnselected) {
  FormHarness h;
  h.settings.intLinePattern = {7, -1, 4, -2, 9};
  h.settings.intCommentPattern = 2;
  h.settings.lngUserDefineLast = 9;  // runs past the three macros there are
  h.Open();
  EXPECT_EQ(h.c().cboLineComment, (std::array<int, 4>{-1, -1, -1, -1}));
  EXPECT_EQ(h.c().cboCommentPattern, -1);
  EXPECT_EQ(h.c().grid.size(), 3u);

  h.chooser.answers.push_back(u"C:\\Tolvan\\Team.ini");
  h.form.Choice_KeyDown();
  ASSERT_TRUE(h.form.cmdOK_Click());
  // Slot 4 belongs to no row and keeps its value.
  EXPECT_EQ(h.settings.intLinePattern, (std::array<int16_t, 5>{-1, -1, -1, -1, 9}));
  EXPECT_EQ(h.settings.intCommentPattern, -1);
  EXPECT_EQ(h.settings.lngUserDefineLast, 2);
}

TEST(MarletFormPages, OnlyPageKeysSwitchThePage) {
  const struct {
    const char* key;
    int page;
  } rows[] = {{"K24", 24}, {"K07", 7}, {"Other", 7}, {"k19", 7}, {"K25", 7}, {"K1", 7}};
  FormHarness h;
  h.Open();
  for (const auto& row : rows) {
    const std::string key = row.key;
    h.form.tvwMenu_NodeClick(std::u16string(key.begin(), key.end()));
    EXPECT_EQ(h.c().page, row.page) << row.key;
  }
}

// What the user typed comes back into the record exactly, whatever it holds.
TEST(MarletFormRecord, TextsSurviveTheRoundTripUnchanged) {
  const std::u16string texts[] = {
      u"",
      u"'line\r\n'second\r\n",
      u"lone LF\nand lone CR\r end",
      u"full\u3000width space, no-break\u00a0space, tab\t.",
      u"surrogates \U0001F600 and \U00020B9F",
      u"'$p $m ｢半角｣ \"quoted\" ＄",
  };
  for (const std::u16string& text : texts) {
    FormHarness h;
    h.Open();
    h.form.txtComment_Change(5, text);
    h.form.txtRef_Change(2, text);
    h.form.txtLineComment_Change(8, text);
    h.chooser.answers.push_back(u"C:\\Tolvan\\Team.ini");
    ASSERT_TRUE(h.form.cmdOK_Click()) << U8(text);
    EXPECT_EQ(h.settings.strTemplate[5], text);
    EXPECT_EQ(h.settings.strNoParamText, text);
    EXPECT_EQ(h.settings.strLineComment[8], text);
    EXPECT_EQ(h.files.stored.at(u"C:\\Tolvan\\Team.ini").strTemplate[5], text);
  }
}

TEST(MarletFormRecord, GetControlsGivesBackWhatSetControlsShowed) {
  FormHarness h;
  h.Open();
  const SettingsRecord before = h.settings;
  h.form.GetControls();
  EXPECT_EQ(h.settings, before);
}

TEST(MarletFormRecord, EveryControlReachesItsField) {
  FormHarness h;
  h.Open();
  h.form.txtRef_Change(0, u"val");
  h.form.txtRef_Change(5, u"yyyy-mm-dd");
  h.form.chkParamMacroRemove_Click(true);
  h.form.cboCommentPattern_Click(0);
  h.form.cboToolbars_Click(0);
  h.form.cboLineComment_Click(3, 2);
  h.form.chkLineComment_Click(0, true);
  h.form.txtLineComment_Change(4, u"'each");
  h.form.GetControls();
  EXPECT_EQ(h.settings.strByValText, u"val");
  EXPECT_EQ(h.settings.strDateFormat, u"yyyy-mm-dd");
  EXPECT_TRUE(h.settings.blnParamMacroRemove);
  EXPECT_EQ(h.settings.intCommentPattern, 0);
  EXPECT_EQ(h.settings.strToolbarName, u"標準");
  EXPECT_EQ(h.settings.intLinePattern[3], 2);
  EXPECT_EQ(h.settings.intLineCommentOut[0], 1);
  EXPECT_EQ(h.settings.strLineComment[4], u"'each");
}

TEST(MarletFormRecord, EmptyToolbarListKeepsTheStoredName) {
  FormHarness h;
  h.toolbars = {};
  h.Open();
  h.form.GetControls();
  EXPECT_EQ(h.settings.strToolbarName, u"デバッグ");
}

TEST(MarletFormChanges, EveryEditMarksTheDialogChanged) {
  const struct {
    const char* name;
    std::function<void(MarletForm&)> edit;
  } rows[] = {
      {"template", [](MarletForm& f) { f.txtComment_Change(0, u"x"); }},
      {"parameter text", [](MarletForm& f) { f.txtRef_Change(2, u"x"); }},
      {"line comment", [](MarletForm& f) { f.txtLineComment_Change(0, u"x"); }},
      {"macro option", [](MarletForm& f) { f.chkParamMacroRemove_Click(true); }},
      {"comment place", [](MarletForm& f) { f.cboCommentPattern_Click(0); }},
      {"tool bar", [](MarletForm& f) { f.cboToolbars_Click(0); }},
      {"click pattern", [](MarletForm& f) { f.cboLineComment_Click(1, 0); }},
      {"comment out", [](MarletForm& f) { f.chkLineComment_Click(1, false); }},
      {"key on a list", [](MarletForm& f) { f.Choice_KeyDown(); }},
      {"move up on the first row",
       [](MarletForm& f) {
         f.msgUserDefine_RowChange(1);
         f.cmdUserDefine_Click(3);
       }},
  };
  for (const auto& row : rows) {
    FormHarness h;
    h.Open();
    row.edit(h.form);
    EXPECT_TRUE(h.form.Changed()) << row.name;
  }
}

TEST(MarletFormChanges, WhatDoesNotEditLeavesItUnchanged) {
  FormHarness h;
  h.Open();
  h.form.tvwMenu_NodeClick(u"K19");
  h.form.msgUserDefine_RowChange(2);
  h.form.msgUserDefine_Click();
  h.form.txtUserDefine_Change(1, u"typed");
  h.chooser.answers.push_back(std::nullopt);
  h.form.mnuLoad_Click();
  EXPECT_FALSE(h.form.Changed());
  EXPECT_EQ(h.c().txtUserDefine[0], u"who");
  EXPECT_EQ(h.c().txtUserDefine[1], u"typed");
}

TEST(MarletFormPreview, FollowsTheBoxesBeforeAnythingIsSaved) {
  FormHarness h;
  h.Open();
  h.form.txtRef_Change(0, u"ByVal");
  h.form.txtRef_Change(5, u"yyyy-mm-dd");
  // Every page follows, the third parameter keeps the ByRef text.
  EXPECT_EQ(U8(h.c().txtPreview[4]),
            "['TE $c\r\n'$n1]{2024-03-05|Module1|Long}<ByVal,Optional,Default:;ByVal,,;O,"
            "Optional,Default:>(2:ver=1.0,who=山田,team=QA)");
  EXPECT_NE(U8(h.c().txtPreview[12]).find("]{2024-03-05|Class1|}<,,>"), std::string::npos);
  EXPECT_EQ(h.settings.strByValText, u"I");

  h.form.txtComment_Change(1, u"'$c");
  EXPECT_EQ(U8(h.c().txtPreview[1]).substr(0, 28), "['$c]{2024-03-05|Module1|}<B");
}

TEST(MarletFormPreview, EachPageExpandsItsOwnSample) {
  const std::string procedure = "<I,Optional,Default:;I,,;O,Optional,Default:>";
  const struct {
    int page;
    std::string sample;
  } rows[] = {
      {0, "{2024/03/05|Module1|}<,,>"},
      {11, "{2024/03/05|Form1|}<,,>"},
      {12, "{2024/03/05|Class1|}<,,>"},
      {1, "{2024/03/05|Module1|}" + procedure},
      {3, "{2024/03/05|Module1|Long}" + procedure},
      {6, "{2024/03/05|Module1|Long}" + procedure},
      {8, "{2024/03/05|Module1|}" + procedure},
      {15, "{2024/03/05|Module1|Long}" + procedure},
      {17, "{2024/03/05|Module1|}" + procedure},
  };
  FormHarness h;
  h.Open();
  for (const auto& row : rows) {
    const std::string preview = U8(h.c().txtPreview[row.page]);
    EXPECT_EQ(preview.substr(preview.find("]{") + 1), row.sample + "(2:ver=1.0,who=山田,team=QA)")
        << "page " << row.page;
  }
}

TEST(MarletFormPreview, RealExpansionOfTheFactoryModuleTemplate) {
  FormHarness h;
  Result<SettingsRecord> factory = FactorySettings();
  ASSERT_TRUE(factory.ok()) << factory.message();
  h.settings = *factory;
  h.form.SetToolbars(h.toolbars);
  h.form.Form_Load();
  const std::u16string& preview = h.c().txtPreview[11];
  EXPECT_NE(preview.find(u"'Project1\r\n'Form1\r\n"), std::u16string::npos) << U8(preview);
  EXPECT_NE(preview.find(u"'2024/03/05"), std::u16string::npos) << U8(preview);
}

TEST(MarletFormOk, UnchangedClosesWithoutAFileDialog) {
  FormHarness h;
  h.Open();
  EXPECT_TRUE(h.form.cmdOK_Click());
  EXPECT_TRUE(h.chooser.requests.empty());
  EXPECT_TRUE(h.files.stored.empty());
}

TEST(MarletFormOk, CancelledSaveKeepsTheWindowAndTheRecord) {
  FormHarness h;
  h.Open();
  const SettingsRecord before = h.settings;
  h.form.cboLineComment_Click(2, 0);
  h.chooser.answers.push_back(std::nullopt);
  EXPECT_FALSE(h.form.cmdOK_Click());
  EXPECT_TRUE(h.form.Changed());
  EXPECT_EQ(h.c().cboLineComment[2], 0);
  EXPECT_EQ(h.settings, before);
  EXPECT_TRUE(h.files.stored.empty());
  ASSERT_EQ(h.chooser.requests.size(), 1u);
  EXPECT_EQ(h.chooser.requests[0], SaveRequest(u"C:\\Tolvan\\Team.ini", u"Team"));
}

TEST(MarletFormOk, SavedEditsCloseAndRenameTheCaption) {
  FormHarness h;
  h.Open();
  h.form.txtComment_Change(0, u"'new");
  h.chooser.answers.push_back(u"D:\\set\\Other.ini");
  EXPECT_TRUE(h.form.cmdOK_Click());
  EXPECT_FALSE(h.form.Changed());
  EXPECT_EQ(h.files.calls,
            (std::vector<std::u16string>{u"GetIniDir", u"SetIniDir D:\\set\\Other.ini", u"Save"}));
  EXPECT_EQ(h.files.stored.at(u"D:\\set\\Other.ini").strTemplate[0], u"'new");
  EXPECT_EQ(U8(h.c().caption), "Tolvan - Other");
}

TEST(MarletFormOk, FailuresKeepTheWindowOpenWithAMessage) {
  const struct {
    const char* name;
    bool fail_path;
    std::vector<std::u16string> calls;
  } rows[] = {
      {"the settings file cannot be recorded", true, {u"GetIniDir", u"SetIniDir D:\\x.ini"}},
      {"the files cannot be written", false, {u"GetIniDir", u"SetIniDir D:\\x.ini", u"Save"}},
  };
  for (const auto& row : rows) {
    FormHarness h;
    h.Open();
    h.form.txtComment_Change(0, u"'new");
    (row.fail_path ? h.files.set_ini_dir_failure : h.files.save_failure) =
        Status::IoError("disk full");
    h.chooser.answers.push_back(u"D:\\x.ini");
    EXPECT_FALSE(h.form.cmdOK_Click()) << row.name;
    EXPECT_TRUE(h.form.Changed()) << row.name;
    EXPECT_EQ(h.files.calls, row.calls) << row.name;
    ASSERT_EQ(h.messages.shown.size(), 1u) << row.name;
    EXPECT_EQ(U8(h.messages.shown[0].text), "設定を保存できませんでした。\ndisk full") << row.name;
    EXPECT_EQ(U8(h.messages.shown[0].title), "Tolvan - Team") << row.name;
    EXPECT_TRUE(h.files.stored.empty()) << row.name;
  }
}

TEST(MarletFormFiles, LoadShowsTheLoadedFileAndIsUnchanged) {
  FormHarness h;
  SettingsRecord other = SampleSettings();
  other.vntUserDefine.clear();
  other.lngUserDefineLast = -1;
  other.strTemplate[2] = u"'loaded";
  other.intLineCommentOut[2] = 0;
  h.files.stored[u"D:\\set\\Other.ini"] = other;
  h.Open();
  h.form.chkLineComment_Click(2, true);
  h.form.msgUserDefine_RowChange(1);
  h.chooser.answers.push_back(u"D:\\set\\Other.ini");
  h.form.mnuLoad_Click();
  EXPECT_FALSE(h.form.Changed());
  EXPECT_EQ(h.c().txtComment[2], u"'loaded");
  EXPECT_TRUE(h.c().grid.empty());
  EXPECT_EQ(h.c().grid_row, 0);
  EXPECT_EQ(h.form.UserDefineEditLast(), -1);
  EXPECT_FALSE(h.c().chkLineComment[2]);
  EXPECT_EQ(U8(h.c().caption), "Tolvan - Other");
  EXPECT_EQ(h.chooser.requests.at(0), LoadRequest(u"C:\\Tolvan\\Team.ini", u"Team"));
  // The loaded record is in force at once, and a save stores no macro.
  EXPECT_EQ(h.settings.strTemplate[2], u"'loaded");
  h.form.GetControls();
  EXPECT_EQ(h.settings.lngUserDefineLast, -1);
}

TEST(MarletFormFiles, LoadKeepsTheToolbarChosenBefore) {
  FormHarness h;
  SettingsRecord other = SampleSettings();
  other.strToolbarName = u"無い";
  h.files.stored[u"D:\\Other.ini"] = other;
  h.Open();
  h.form.cboToolbars_Click(0);
  h.chooser.answers.push_back(u"D:\\Other.ini");
  h.form.mnuLoad_Click();
  EXPECT_EQ(h.c().cboToolbars, 0);
}

TEST(MarletFormFiles, FailedLoadSaysSoAndStillShowsTheRecord) {
  FormHarness h;
  h.Open();
  h.files.load_failure = Status::Corrupt("bad data file");
  h.chooser.answers.push_back(u"D:\\Broken.ini");
  h.form.mnuLoad_Click();
  ASSERT_EQ(h.Messages().size(), 1u);
  EXPECT_EQ(U8(h.Messages()[0]), "設定を読み込めませんでした。\nbad data file");
  EXPECT_FALSE(h.form.Changed());

  h.files.set_ini_dir_failure = Status::IoError("registry refused");
  h.chooser.answers.push_back(u"D:\\Other.ini");
  h.form.mnuLoad_Click();
  EXPECT_EQ(h.files.calls.back(), u"SetIniDir D:\\Other.ini");  // no Load after it
  EXPECT_EQ(h.Messages().size(), 2u);
}

TEST(MarletFormFiles, FileMenuProposesANameForAnEmptyOne) {
  FormHarness h;
  h.settings.strIniName.clear();
  h.Open();
  h.chooser.answers.push_back(u"C:\\Tolvan\\Tolvan.ini");
  EXPECT_EQ(h.form.mnuSave_Click(), MarletForm::SaveOutcome::kSaved);
  EXPECT_EQ(U8(h.chooser.requests.at(0).proposed_name), "Tolvan.ini");
  EXPECT_EQ(U8(h.c().caption), "Tolvan");

  h.settings.strIniName.clear();
  h.form.mnuLoad_Click();
  EXPECT_EQ(U8(h.chooser.requests.at(1).proposed_name), ".ini");
}

TEST(MarletFormHelp, OpensTheHelpDocumentOfTheInstallFolder) {
  const std::u16string user_folder = u"C:\\Users\\me\\AppData\\Local\\Programs\\Tolvan\\help";
  const struct {
    const char* name;
    std::optional<std::u16string> machine;
    std::optional<std::u16string> user;
    std::vector<std::u16string> opened;
  } rows[] = {
      {"with a backslash", u"C:\\Tools\\Addin\\", std::nullopt, {u"C:\\Tools\\Addin\\index.html"}},
      {"without", u"C:\\Tools\\Addin", std::nullopt, {u"C:\\Tools\\Addin\\index.html"}},
      {"empty folder", u"", std::nullopt, {}},
      {"no value", std::nullopt, std::nullopt, {}},
      // An installation for one user records the folder for that user only.
      {"installed for the user", std::nullopt, user_folder, {user_folder + u"\\index.html"}},
      {"empty for the machine", u"", user_folder, {user_folder + u"\\index.html"}},
      {"the machine's comes first", u"C:\\Tools", user_folder, {u"C:\\Tools\\index.html"}},
  };
  for (const auto& row : rows) {
    FormHarness h;
    if (row.machine) {
      h.registry.values[u"HKEY_LOCAL_MACHINE|SOFTWARE\\Quenby Software\\Tolvan|InstallPath"] =
          *row.machine;
    }
    if (row.user) {
      h.registry.values[u"HKEY_CURRENT_USER|SOFTWARE\\Quenby Software\\Tolvan|InstallPath"] =
          *row.user;
    }
    h.Open();
    h.form.mnuHelpContents_Click();
    EXPECT_EQ(h.desktop.opened, row.opened) << row.name;
    EXPECT_TRUE(h.messages.shown.empty()) << row.name;
  }
}

}  // namespace
}  // namespace tolvan::dialog::testing
