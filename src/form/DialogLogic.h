// The settings dialog's rules that need no widgets: the caption, the tree of
// pages and their keys, the sample procedure that the previews expand, the
// requests put to the file chooser, the help document's path and the About
// box's version line. Kept free of Qt so that they read (and test) as plain
// functions.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/modMarlet.h"
#include "host/DialogServices.h"
#include "platform/Clock.h"

namespace tolvan::dialog {

// String resource 110.
inline constexpr std::u16string_view kProductTitle = u"Tolvan";

inline constexpr int kPageCount = 25;
inline constexpr int kTemplatePageCount = 18;

// "Tolvan", or "Tolvan - Team" for the settings file Team.ini; the product's
// own file name "Tolvan" is not repeated.
std::u16string DialogCaption(std::u16string_view strIniName);

struct PageNode {
  std::u16string_view key;
  std::u16string_view text;
};
struct GroupNode {
  std::u16string_view key;
  std::u16string_view text;
  std::vector<PageNode> pages;
};
// The five groups and their pages in the order the tree shows them.
const std::vector<GroupNode>& PageTree();

// "K07" -> 7. Only "K" (upper case) and two digits naming a page 0..24 give
// a page; group keys and anything else give nullopt.
std::optional<int> PageIndexFromKey(std::u16string_view key);
// 7 -> "K07".
std::u16string PageKey(int page);
// The tree text of page `page`, which is also its frame's caption.
std::u16string_view PageText(int page);

// The texts of the parameter-detail boxes that the sample reads, as they
// stand in the boxes, saved or not.
struct PreviewTexts {
  std::u16string by_val;            // txtRef(0)
  std::u16string by_ref;            // txtRef(1)
  std::u16string optional_text;     // txtRef(3)
  std::u16string optional_default;  // txtRef(4)
  std::u16string date_format;       // txtRef(5)
};

struct SampleProcedure {
  ProcInfo vntSampleProc;
  ParamTable vntSampleParams;
};

// The sample procedure func1(lngParam1, strParam2, vntParam3) of Module1 in
// Project1, adapted to template page `page` (0..17): the module pages see the
// module alone (Form1 and Class1 on the form and class pages), and only the
// Function and Property Get pages have a return type. A date format that
// cannot be applied leaves the date empty.
SampleProcedure SetSampleProc(int page, const PreviewTexts& texts, const LocalDateTime& now);

// The file chooser's fixed properties and the flags of each operation.
inline constexpr std::u16string_view kFileDialogTitle = u"設定ファイルの保存場所";
inline constexpr std::u16string_view kFileDialogFilter = u"設定ファイル(*.ini)|*.ini";
inline constexpr std::u16string_view kFileDialogDefaultExt = u"ini";
inline constexpr uint32_t kLoadFlags =
    kOfnHideReadOnly | kOfnPathMustExist | kOfnFileMustExist | kOfnExplorer | kOfnLongNames;
inline constexpr uint32_t kSaveFlags = kOfnOverwritePrompt | kOfnHideReadOnly | kOfnPathMustExist |
                                       kOfnCreatePrompt | kOfnNoReadOnlyReturn | kOfnExplorer |
                                       kOfnLongNames;

// Load proposes strIniName + ".ini" (".ini" when the name is empty); save
// proposes "Tolvan.ini" for an empty name.
FileDialogRequest LoadRequest(std::u16string_view ini_path, std::u16string_view strIniName);
FileDialogRequest SaveRequest(std::u16string_view ini_path, std::u16string_view strIniName);

// The help document in the installation folder. The separator follows the
// folder text: a folder already ending in "\" or "/" gets none, a folder
// written with backslashes gets "\", any other gets "/".
std::u16string HelpDocumentPath(std::u16string_view folder);

// The folder of the installed user guide: "InstallPath" of the product's
// key for the whole machine, else the same value for the current user,
// which an installation for one user (no administrator rights) records.
// nullopt when neither holds a folder.
std::optional<std::u16string> HelpFolder(RegistryReader& registry);

// The maker's web address and the legal notice of the version record, as
// the About box shows them.
inline constexpr std::u16string_view kMakerAddress = u"https://www.quenby-software.example/tolvan/";
inline constexpr std::u16string_view kLegalNotice =
    u"Copyright (C) Quenby Software. All rights reserved.";

// The product's version record.
struct VersionRecord {
  int major = 0;
  int minor = 0;
  int build = 0;
  int revision = 0;
};
// Reads "0.9.0.13"; missing parts are 0.
VersionRecord ParseVersion(std::string_view dotted);
// The version of this build (0.9.0.13).
VersionRecord ProductVersion();
// "Version 0.9  Build 13": the third part is not shown.
std::u16string VersionLine(const VersionRecord& version);

// Characters the macro word box refuses: a double quote or a dollar sign
// would end or start a macro inside a template.
bool IsRefusedInMacroWord(char16_t c);
bool HasRefusedMacroCharacter(std::u16string_view word);

// Line breaks: CR LF in the record, LF in the edit boxes.
std::u16string ToBoxText(std::u16string_view record_text);
std::u16string FromBoxText(std::u16string_view box_text);

}  // namespace tolvan::dialog
