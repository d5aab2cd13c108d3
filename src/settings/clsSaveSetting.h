// Loads, saves and resets the settings record. An object is made for one
// load or save and released after it; the record it works on outlives it.
//
// A set of settings lives in two files side by side: a profile file (the
// short options, the click patterns and the user macros) and a data file of
// the same base name with ".dat" (the templates and line-comment texts; its
// format is in SettingsDataFile.h). The registry value "IniFilePath" under
// HKEY_CURRENT_USER\SOFTWARE\Quenby Software\Tolvan names the profile file
// in use; without it the file is "Tolvan.ini" in the add-in's module
// directory. Profile files of versions "0.2" and "0.3" are read with the data
// file "Tolvan.dat" and upgraded in memory; Save always writes "0.4".
//
// Profile file layout, in the order Save writes it:
//
//   [Common]       Version=0.4, ToolbarName, CommentPattern
//   [Replace]      ByVal, ByRef, NoParam, Optional, OptionalDefault,
//                  DateFormat, ParamMacroRemove (True or False)
//   [LineComment]  Pattern0, Comment0, ... Pattern4, Comment4
//   [UserDefine]   Count (index of the last macro, -1 for none), Word0,
//                  Replace0, Word1, Replace1, ...
#pragma once

#include <string>
#include <string_view>

#include "platform/Status.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsRecord.h"
#include "settings/clsReg.h"

namespace tolvan {

class clsSaveSetting {
 public:
  // Reaches the registry, the files and the module directory through
  // `context`; neither the record nor the context is touched until a call.
  clsSaveSetting(SettingsRecord& settings, SettingsContext& context);

  // Records `path` as the profile file in use.
  Status SetIniDir(std::u16string_view path);
  // The full path of the profile file in use.
  Result<std::u16string> GetIniDir();
  // Writes the record into the profile file in use and its data file. On
  // failure (a folder that cannot be written, a full disk, a text CP932
  // cannot hold or too long for the data file) both files stay exactly as
  // they were and strIniName is unchanged.
  Status Save();
  // Replaces the record by the defaults overlaid with the settings files in
  // use. A missing or unreadable data file drops back to the defaults
  // silently; a profile value that does not fit its field stops the load
  // with a message naming the file, section, key and value. A registry store
  // that cannot be read (the default settings file is read instead) and a
  // value that is not CP932 (its field keeps the default) are warnings in
  // the context.
  Status Load();

  // The factory settings: what Load gives when no settings file exists, made
  // without reaching any registry or file.
  static SettingsRecord Defaults();

 private:
  friend struct clsSaveSettingTestPeer;

  // Puts the factory defaults into the record. Leaves blnParamMacroRemove,
  // strIniName and slot 4 of the click tables as they are.
  static void SetDefault(SettingsRecord& s);
  // The default line-comment texts, click patterns and comment-out flags.
  static void SetDefaultLineComment(SettingsRecord& s);

  // "Tolvan.ini" in the module directory.
  std::u16string DefaultIniPath() const;
  Status LoadDataFile(const std::u16string& data_path, const std::u16string& version);

  SettingsRecord& settings_;
  SettingsContext& context_;
  clsReg reg_;
};

}  // namespace tolvan
