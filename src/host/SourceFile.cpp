#include "host/SourceFile.h"

#include <cctype>
#include <cstring>

#include "platform/Text.h"

namespace tolvan::host {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct ByteLine {
  std::string_view bytes;
  std::string_view ending;
};

// Only LF ends a line; the CR in front of it belongs to the break. A lone CR
// (and 0x85, NEL in some encodings) stays inside the line.
std::vector<ByteLine> SplitBytes(std::string_view body) {
  std::vector<ByteLine> out;
  size_t pos = 0;
  while (pos < body.size()) {
    const void* hit = std::memchr(body.data() + pos, '\n', body.size() - pos);
    if (hit == nullptr) {
      out.push_back({body.substr(pos), {}});
      break;
    }
    size_t lf = static_cast<const char*>(hit) - body.data();
    size_t end = lf;
    if (end > pos && body[end - 1] == '\r') --end;
    out.push_back({body.substr(pos, end - pos), body.substr(end, lf + 1 - end)});
    pos = lf + 1;
  }
  return out;
}

std::string LineNumberPrefix(const std::string& display_name, size_t index) {
  return display_name + ": line " + std::to_string(index + 1) + ": ";
}

}  // namespace

bool IsUtf8EncodingName(std::string_view name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_')
      folded.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return folded == "UTF8";
}

Result<SourceFile> SourceFile::Decode(std::string_view bytes, const std::string& encoding,
                                      const std::string& display_name) {
  SourceFile file;
  std::string_view body = bytes;
  bool starts_with_bom = body.substr(0, kBom.size()) == kBom;
  bool fast_utf8 = false;
  if (encoding.empty()) {
    if (starts_with_bom) body.remove_prefix(kBom.size());
    if (IsValidUtf8(body)) {
      file.encoding_ = "UTF-8";
      file.has_bom_ = starts_with_bom;
      fast_utf8 = true;
    } else if (starts_with_bom) {
      // A byte-order mark says UTF-8; reading the rest as CP932 would be a
      // guess against the file's own word.
      std::vector<ByteLine> split = SplitBytes(body);
      for (size_t i = 0; i < split.size(); ++i) {
        if (!IsValidUtf8(split[i].bytes)) {
          return Status::Error(LineNumberPrefix(display_name, i) +
                               "the file starts with a UTF-8 byte-order mark but this line is "
                               "not valid UTF-8");
        }
      }
      return Status::Error(display_name + ": not valid UTF-8");
    } else {
      file.encoding_ = kAnsiCodePage;
    }
  } else {
    file.encoding_ = encoding;
    if (IsUtf8EncodingName(encoding) && starts_with_bom) {
      body.remove_prefix(kBom.size());
      file.has_bom_ = true;
    }
  }

  std::vector<ByteLine> split = SplitBytes(body);
  file.lines_.resize(split.size());
  for (size_t i = 0; i < split.size(); ++i) {
    file.lines_[i].bytes.assign(split[i].bytes);
    file.lines_[i].ending.assign(split[i].ending);
  }

  if (fast_utf8) {
    for (SourceLine& line : file.lines_) line.text = Utf8ToUtf16(line.bytes);
  } else {
    // Lines are split on bytes, so the encoding must write CR and LF as the
    // single bytes 0x0D and 0x0A (UTF-16, for one, does not).
    Result<std::string> breaks = EncodeText(u"\r\n", file.encoding_);
    if (!breaks) return Status::Error(display_name + ": " + breaks.message());
    if (*breaks != "\r\n") {
      return Status::Error(display_name + ": the encoding " + file.encoding_ +
                           " cannot be used for module files (its line breaks are not the "
                           "bytes CR LF)");
    }
    // One conversion for the whole file is far faster than one per line;
    // the per-line pass only runs to name the line that fails.
    Result<std::u16string> text = DecodeText(body, file.encoding_);
    if (!text) {
      for (size_t i = 0; i < split.size(); ++i) {
        Result<std::u16string> one = DecodeText(split[i].bytes, file.encoding_);
        if (!one) return Status::Error(LineNumberPrefix(display_name, i) + one.message());
      }
      return Status::Error(display_name + ": " + text.message());
    }
    std::u16string_view rest = *text;
    for (size_t i = 0; i < split.size(); ++i) {
      size_t lf = rest.find(u'\n');
      bool has_lf = !split[i].ending.empty();
      if ((lf == std::u16string_view::npos) == has_lf) {
        return Status::Error(display_name + ": the encoding " + file.encoding_ +
                             " does not keep the file's line breaks");
      }
      std::u16string_view piece = has_lf ? rest.substr(0, lf) : rest;
      if (split[i].ending == "\r\n") {
        if (piece.empty() || piece.back() != u'\r') {
          return Status::Error(display_name + ": the encoding " + file.encoding_ +
                               " does not keep the file's line breaks");
        }
        piece.remove_suffix(1);
      }
      file.lines_[i].text.assign(piece);
      rest = has_lf ? rest.substr(lf + 1) : std::u16string_view();
    }
  }

  for (const SourceLine& line : file.lines_) {
    if (!line.ending.empty()) {
      file.newline_ = line.ending;
      break;
    }
  }
  file.ends_without_break_ = !file.lines_.empty() && file.lines_.back().ending.empty();
  return file;
}

Result<SourceLine> SourceFile::MakeLine(std::u16string_view text) const {
  Result<std::string> bytes = EncodeText(text, encoding_);
  if (!bytes) return bytes.status();
  SourceLine line;
  line.bytes = std::move(*bytes);
  line.text.assign(text);
  line.ending = newline_;
  return line;
}

void SourceFile::FixLineBreaks() {
  if (lines_.empty()) return;
  for (size_t i = 0; i + 1 < lines_.size(); ++i) {
    if (lines_[i].ending.empty()) lines_[i].ending = newline_;
  }
  SourceLine& last = lines_.back();
  if (ends_without_break_) {
    last.ending.clear();
  } else if (last.ending.empty()) {
    last.ending = newline_;
  }
}

std::string SourceFile::Serialize() const {
  size_t total = has_bom_ ? kBom.size() : 0;
  for (const SourceLine& line : lines_) total += line.bytes.size() + line.ending.size();
  std::string out;
  out.reserve(total);
  if (has_bom_) out.append(kBom);
  for (const SourceLine& line : lines_) {
    out.append(line.bytes);
    out.append(line.ending);
  }
  return out;
}

}  // namespace tolvan::host
