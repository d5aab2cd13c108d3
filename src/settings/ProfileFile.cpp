#include "settings/ProfileFile.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "platform/AnsiBytes.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A name whose last byte would start a two-byte character: written in
// brackets, that character would take the closing ']' as its second byte.
bool EndsInLeadByte(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && i + ansi::CharLength(s, i) < s.size()) i += ansi::CharLength(s, i);
  return i < s.size() && ansi::CharLength(s, i) == 1 &&
         ansi::IsLeadByte(static_cast<unsigned char>(s[i]));
}

bool ReadingWouldChange(std::string_view value) {
  if (value.empty()) return false;
  if (IsBlank(value.front()) || IsBlank(value.back())) return true;
  return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = ansi::FindLast(line, ']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;  // trimmed, quotes removed
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
  size_t eq = line.find('=');  // '=' is never the second byte of a character
  // A line without '=' is no key at all, as Windows reads it.
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view value = Trim(line.substr(eq + 1));
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return KeyLine{Trim(line.substr(0, eq)), value};
}

Status CheckNoLineBreak(std::string_view text, const char* what) {
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      return Status::Error(std::string("a line break cannot be kept in a profile file ") + what);
    }
    if (c == '\0')
      return Status::Error(std::string("a NUL character cannot be kept in a profile file ") + what);
  }
  return Status::Ok();
}

}  // namespace

ProfileFile::ProfileFile(std::string_view bytes) {
  size_t start = 0;
  while (start < bytes.size()) {
    size_t i = start;
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') ++i;
    Line line{std::string(bytes.substr(start, i - start)), ""};
    if (i < bytes.size()) {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        line.end = "\r\n";
      } else {
        line.end = std::string(1, bytes[i]);
      }
    }
    start = i + line.end.size();
    lines_.push_back(std::move(line));
  }
}

std::string ProfileFile::bytes() const {
  std::string out;
  for (const Line& line : lines_) out += line.text + line.end;
  return out;
}

const ProfileFile::Index& ProfileFile::index() const {
  if (index_) return *index_;
  Index& index = index_.emplace();
  std::optional<size_t> header;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = SectionName(lines_[i].text)) {
      if (header) index.ends[*header] = i;
      header = i;
      index.sections.try_emplace(ansi::FoldCase(*name), i);
      continue;
    }
    if (!header) continue;
    if (auto line = ParseKeyLine(lines_[i].text)) {
      index.keys.try_emplace(KeyId(*header, ansi::FoldCase(line->key)), i);
      index.last_keys[*header] = i;
    }
  }
  if (header) index.ends[*header] = lines_.size();
  return index;
}

std::string ProfileFile::KeyId(size_t header, std::string_view folded_key) {
  return std::to_string(header) + ":" + std::string(folded_key);
}

std::optional<size_t> ProfileFile::FindSection(std::string_view section) const {
  const auto& sections = index().sections;
  auto at = sections.find(ansi::FoldCase(Trim(section)));
  if (at == sections.end()) return std::nullopt;
  return at->second;
}

size_t ProfileFile::SectionEnd(size_t header) const { return index().ends.at(header); }

std::optional<size_t> ProfileFile::FindKey(size_t header, std::string_view key) const {
  const auto& keys = index().keys;
  auto at = keys.find(KeyId(header, ansi::FoldCase(Trim(key))));
  if (at == keys.end()) return std::nullopt;
  return at->second;
}

std::optional<std::string> ProfileFile::Get(std::string_view section, std::string_view key) const {
  auto header = FindSection(section);
  if (!header) return std::nullopt;
  auto at = FindKey(*header, key);
  if (!at) return std::nullopt;
  return std::string(ParseKeyLine(lines_[*at].text)->value);
}

std::vector<std::string> ProfileFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  auto header = FindSection(section);
  if (!header) return keys;
  size_t end = SectionEnd(*header);
  for (size_t i = *header + 1; i < end; ++i) {
    if (auto line = ParseKeyLine(lines_[i].text)) keys.emplace_back(line->key);
  }
  return keys;
}

Status ProfileFile::Check(std::string_view section, std::string_view key, std::string_view value) {
  if (Status s = CheckNoLineBreak(section, "section name"); !s) return s;
  if (Status s = CheckNoLineBreak(key, "key name"); !s) return s;
  if (Status s = CheckNoLineBreak(value, "value"); !s) return s;
  if (section.empty() || Trim(section) != section ||
      ansi::Find(section, ']') != std::string_view::npos || EndsInLeadByte(section)) {
    return Status::Error("\"" + std::string(section) + "\" cannot be a profile file section name");
  }
  if (key.empty() || Trim(key) != key || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';' || EndsInLeadByte(key)) {
    return Status::Error("\"" + std::string(key) + "\" cannot be a profile file key name");
  }
  return Status::Ok();
}

Status ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  return SetMany(section, {{std::string(key), std::string(value)}});
}

Status ProfileFile::SetMany(std::string_view section,
                            const std::vector<std::pair<std::string, std::string>>& entries) {
  for (const auto& [key, value] : entries) {
    if (Status s = Check(section, key, value); !s) return s;
  }
  auto stored = [](std::string_view value) {
    return ReadingWouldChange(value) ? "\"" + std::string(value) + "\"" : std::string(value);
  };
  const std::optional<size_t> header = FindSection(section);
  // Keys already in the section change in place; new ones go together after
  // its last key, in the order given.
  std::vector<Line> added;
  std::unordered_map<std::string, size_t> added_at;
  for (const auto& [key, value] : entries) {
    if (auto at = header ? FindKey(*header, key) : std::nullopt) {
      std::string name(ParseKeyLine(lines_[*at].text)->key);
      lines_[*at].text = name + "=" + stored(value);
      continue;
    }
    auto [slot, fresh] = added_at.try_emplace(ansi::FoldCase(key), added.size());
    if (fresh) {
      added.push_back({key + "=" + stored(value), "\r\n"});
    } else {
      std::string name = added[slot->second].text.substr(0, added[slot->second].text.find('='));
      added[slot->second].text = name + "=" + stored(value);
    }
  }
  if (added.empty()) return Status::Ok();

  if (!header) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", "\r\n"});
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.insert(lines_.end(), std::make_move_iterator(added.begin()),
                  std::make_move_iterator(added.end()));
  } else {
    const auto& last_keys = index().last_keys;
    auto last = last_keys.find(*header);
    const size_t anchor = last == last_keys.end() ? *header : last->second;
    if (lines_[anchor].end.empty()) lines_[anchor].end = "\r\n";
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(anchor + 1),
                  std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  }
  index_.reset();
  return Status::Ok();
}

void ProfileFile::RemoveIf(std::string_view section,
                           const std::function<bool(std::string_view key)>& remove) {
  auto header = FindSection(section);
  if (!header) return;
  const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(*header + 1);
  const auto last = lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(*header));
  auto kept = std::stable_partition(first, last, [&](const Line& line) {
    auto key = ParseKeyLine(line.text);
    return !key || !remove(key->key);
  });
  if (kept == last) return;
  lines_.erase(kept, last);
  index_.reset();
}

void ProfileFile::Remove(std::string_view section, std::string_view key) {
  const std::string wanted = ansi::FoldCase(Trim(key));
  RemoveIf(section, [&](std::string_view name) { return ansi::FoldCase(name) == wanted; });
}

Result<std::optional<std::u16string>> GetProfileText(const ProfileFile& file,
                                                     std::u16string_view section,
                                                     std::u16string_view key) {
  auto ansi_section = EncodeAnsi(section);
  if (!ansi_section) return ansi_section.status();
  auto ansi_key = EncodeAnsi(key);
  if (!ansi_key) return ansi_key.status();
  auto value = file.Get(*ansi_section, *ansi_key);
  if (!value) return std::optional<std::u16string>();
  auto text = DecodeAnsi(*value);
  if (!text) return text.status();
  return std::optional<std::u16string>(std::move(*text));
}

Status SetProfileText(ProfileFile& file, std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
  auto ansi_section = EncodeAnsi(section);
  if (!ansi_section) return ansi_section.status();
  auto ansi_key = EncodeAnsi(key);
  if (!ansi_key) return ansi_key.status();
  auto ansi_value = EncodeAnsi(value);
  if (!ansi_value) return ansi_value.status();
  return file.Set(*ansi_section, *ansi_key, *ansi_value);
}

}  // namespace tolvan
