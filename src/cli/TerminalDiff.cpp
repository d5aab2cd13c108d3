#include "cli/TerminalDiff.h"

#include <cstdio>

#include "platform/Text.h"
#include "vbsource/SourceFile.h"

namespace tolvan::cli {
namespace {

bool IsUtf8(const std::string& encoding) {
  return encoding.empty() || host::IsUtf8EncodingName(encoding);
}

std::u16string Escape(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return Utf8ToUtf16(text);
}

// Applies `piece` to each line of `text` (with its LF), in order.
template <class Text, class Piece>
void ForEachLine(Text text, Piece&& piece) {
  size_t from = 0;
  while (from < text.size()) {
    const size_t lf = text.find('\n', from);
    const size_t end = lf == Text::npos ? text.size() : lf + 1;
    piece(text.substr(from, end - from));
    from = end;
  }
}

std::u16string Decode(std::string_view bytes, const std::string& encoding) {
  // The file's bytes decoded when it was read, and its new lines were
  // encoded, so what follows is only for a diff made otherwise.
  if (IsUtf8(encoding)) return Utf8ToUtf16(bytes);  // a bad byte is U+FFFD
  if (Result<std::u16string> text = DecodeText(bytes, encoding)) return std::move(*text);
  std::u16string out;
  ForEachLine(bytes, [&](std::string_view line) {
    if (Result<std::u16string> text = DecodeText(line, encoding)) {
      out += *text;
      return;
    }
    for (char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      out += byte < 0x80 ? std::u16string(1, byte) : Escape("\\x%02X", byte);
    }
  });
  return out;
}

// CR LF as LF, and the control characters but tab and LF in a form that
// does nothing to a terminal.
std::u16string Visible(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    if (c == u'\t' || c == u'\n' || (c >= 0x20 && c < 0x7F) || c > 0x9F) {
      out.push_back(c);
    } else if (c < 0x80) {
      out.push_back(u'^');
      out.push_back(c == 0x7F ? u'?' : static_cast<char16_t>(c + 0x40));
    } else {
      out += Escape("<U+%04X>", c);  // C1 controls: ESC sequences of their own
    }
  }
  return out;
}

std::string Encode(std::u16string_view text, const std::string& encoding) {
  if (Result<std::string> bytes = EncodeText(text, encoding)) return std::move(*bytes);
  // Line by line, and in a line that fails character by character.
  std::string out;
  ForEachLine(text, [&](std::u16string_view line) {
    if (Result<std::string> bytes = EncodeText(line, encoding)) {
      out += *bytes;
      return;
    }
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] < 0x80) {
        out.push_back(static_cast<char>(line[i]));
        continue;
      }
      size_t units = 1;
      char32_t c = line[i];
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < line.size() && line[i + 1] >= 0xDC00 &&
          line[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (line[i + 1] - 0xDC00);
        units = 2;
      }
      Result<std::string> bytes = EncodeText(line.substr(i, units), encoding);
      out += bytes ? *bytes : Utf16ToUtf8(Escape("<U+%04X>", static_cast<unsigned>(c)));
      i += units - 1;
    }
  });
  return out;
}

}  // namespace

std::string DiffForTerminal(std::string_view diff, const std::string& file_encoding,
                            const std::string& terminal_encoding) {
  size_t names_end = diff.find('\n');
  if (names_end != std::string_view::npos) names_end = diff.find('\n', names_end + 1);
  names_end = names_end == std::string_view::npos ? diff.size() : names_end + 1;
  const std::u16string text = Visible(Utf8ToUtf16(diff.substr(0, names_end)) +
                                      Decode(diff.substr(names_end), file_encoding));
  // An encoding the system does not know: the terminal most likely shows
  // UTF-8, as terminals do now.
  if (IsUtf8(terminal_encoding) || !EncodeText(u"", terminal_encoding)) return Utf16ToUtf8(text);
  return Encode(text, terminal_encoding);
}

std::string EncodingForUser(const std::string& encoding) {
  if (encoding == "ANSI_X3.4-1968") return "ASCII";
  return encoding;
}

}  // namespace tolvan::cli
