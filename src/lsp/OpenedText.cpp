#include "lsp/OpenedText.h"

#include <algorithm>
#include <cctype>

#include "platform/PathText.h"
#include "platform/Text.h"

namespace tolvan::lsp {
namespace {

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

bool IsFileUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(uri[i])) != kScheme[i]) return false;
  }
  return true;
}

// The encoding as the user knows it from an editor's list.
std::string EncodingForUser(const std::string& encoding) {
  if (encoding == kAnsiCodePage) return encoding + " (Shift_JIS)";
  return encoding;
}

}  // namespace

OpenedAs CompareOpenedText(const host::SourceFile& file, const TextDocument& text) {
  const std::vector<host::SourceLine>& file_lines = file.lines();
  const std::vector<Line>& lines = text.lines();
  // The editor's text that ends in a break has an empty last line after it,
  // where the file's lines end with the line that has the break: that
  // break, or its absence on either side, is no difference.
  size_t count = lines.size();
  if (count > 0 && lines[count - 1].end == LineBreak::kNone && lines[count - 1].text.empty())
    --count;
  if (count != file_lines.size()) return OpenedAs::kEdited;
  OpenedAs opened = OpenedAs::kFileText;
  std::u16string scratch;
  for (size_t i = 0; i < count; ++i) {
    std::u16string_view editor = lines[i].text;
    // An editor that keeps the byte-order mark shows it as a character.
    if (i == 0 && editor.starts_with(u'\uFEFF')) editor.remove_prefix(1);
    if (file.Peek(file_lines[i], scratch) == editor) continue;
    if (IsAscii(file_lines[i].bytes())) return OpenedAs::kEdited;
    opened = OpenedAs::kOtherEncoding;
  }
  return opened;
}

Result<OpenedTextCheck> CheckOpenedText(FileSystem& fs, std::string_view uri,
                                        const std::filesystem::path& path,
                                        const TextDocument& text) {
  if (!IsFileUri(uri)) return Status::Error("not a file on disk");
  const std::string name = PathUtf8(path.filename());
  Result<std::string> bytes = fs.ReadFile(PathUtf8(path), kModuleSizeLimit);
  if (!bytes) return bytes.status();
  Result<host::SourceFile> file = host::SourceFile::Decode(std::move(*bytes), std::string(), name);
  if (!file) return file.status();
  return OpenedTextCheck{file->encoding(), CompareOpenedText(*file, text)};
}

std::string OtherEncodingMessage(const std::filesystem::path& path, const std::string& encoding) {
  const std::string shown = EncodingForUser(encoding);
  return PathUtf8(path.filename()) + " is " + shown +
         " on disk, but the editor shows its text otherwise; reopen it as " + shown +
         ". Tolvan offers no edits to it until then, so that saving cannot turn its text into "
         "'?'.";
}

}  // namespace tolvan::lsp
