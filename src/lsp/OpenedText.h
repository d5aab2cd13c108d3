// Whether an editor opened a module in the encoding Tolvan reads it in. An
// editor that took a CP932 module for Latin-1 shows its Japanese as
// mojibake, and once Tolvan has inserted a Japanese header it saves every
// character the guessed encoding lacks as '?': the user's comments and the
// header are lost on disk. So the file behind a buffer is read when the
// buffer is opened, decoded as every command reads modules, and compared
// with the editor's text.
//
// What an editor legitimately changes on opening is left out of the
// comparison: the kind of line break (CR LF shown as LF), a last line
// without a break, a byte-order mark. A buffer whose code lines differ (a
// line added, an ASCII line changed) holds edits of its own (an editor
// restoring unsaved changes opens it so) and is no sign of a decoding: a
// wrong decoding changes only lines that hold more than ASCII, and never
// their number.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "lsp/TextDocument.h"
#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "vbsource/SourceFile.h"

namespace tolvan::lsp {

enum class OpenedAs {
  kFileText,       // the file's text
  kOtherEncoding,  // the file's lines, but its non-ASCII ones read otherwise
  kEdited,         // other lines: edits not on disk
};

// How the editor's text stands to the file's lines.
OpenedAs CompareOpenedText(const host::SourceFile& file, const TextDocument& text);

struct OpenedTextCheck {
  std::string encoding;  // the file's, as modules are read ("UTF-8", "CP932")
  OpenedAs opened = OpenedAs::kFileText;
};

// Reads the file `path` that `uri` names through `fs`, decodes it as
// modules are read (UTF-8 when valid, else CP932) and compares it with the
// editor's text. An error, saying why, when there is nothing to compare
// with: a URI that is not a file's, a file that is not there or cannot be
// read, bytes that are no module's text.
Result<OpenedTextCheck> CheckOpenedText(FileSystem& fs, std::string_view uri,
                                        const std::filesystem::path& path,
                                        const TextDocument& text);

// What the user is told of a module opened in another encoding than the
// file's, naming the file and its encoding.
std::string OtherEncodingMessage(const std::filesystem::path& path, const std::string& encoding);

}  // namespace tolvan::lsp
