// How a file request of the settings dialog reads to the Windows common file
// dialog (GetOpenFileNameW, GetSaveFileNameW): the filter as pairs ended by
// NULs and the folder to start in. Plain text work, kept here so that it is
// tested without Windows.
#pragma once

#include <string>
#include <string_view>

namespace tolvan::dialog {

// "設定ファイル(*.ini)|*.ini" -> "設定ファイル(*.ini)\0*.ini\0\0": every "|"
// ends a part, and the list ends with an empty part. The result's own
// size() counts the final NUL, its c_str() adds the second.
std::u16string CommonDialogFilter(std::u16string_view filter);

// The folder a chooser starts in when it is handed the profile file in use:
// "C:\Tolvan\Team.ini" -> "C:\Tolvan", "C:\Team.ini" -> "C:\"; a bare file
// name gives an empty text, for the chooser's own choice.
std::u16string FolderOfFile(std::u16string_view path);

}  // namespace tolvan::dialog
