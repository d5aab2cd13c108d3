// Profile (INI) files, read and written as Windows reads and writes them, so
// that a settings file made on Windows reads the same here and the other way
// round. The file is kept as its lines; reading never changes it, and a write
// changes or adds exactly one line (two for a new section), so comments,
// blank lines, unknown keys and any bytes before the first section stay byte
// for byte.
//
// Reading: a line "[name]" opens a section (the name ends at the last ']');
// a line "key=value" is a key of the section above it, a line starting with
// ';' a comment; any other line (one without '=') is neither and is kept as
// it stands. Section and key names are compared without regard to the case
// of ASCII letters, spaces and tabs around names and values are dropped, and
// then one pair of double or single quotes around the whole value is
// removed. The first section of a name and the first key of a name in it
// count. Lines end in CR LF, LF or a lone CR; texts are in the ANSI code page
// (CP932).
//
// Writing: a value that reading would change (spaces or tabs at either end,
// or a quote at both ends) is written inside one extra pair of double quotes,
// so every value reads back exactly as written. A new key goes after the last
// key of its section, a new section at the end of the file. New lines end in
// CR LF.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string_view bytes);

  // The value as Windows reads it; nullopt when the section or the key is
  // missing. Values come back whole, however long.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Creates the section and the key as needed, else replaces the value in
  // place. Refuses names and values that one line cannot hold so that they
  // read back the same (line breaks, NUL, ']' in a section name, '=' in a
  // key name, spaces around a name).
  Status Set(std::string_view section, std::string_view key, std::string_view value);
  // Set for many keys of one section at once, in time proportional to the
  // file: new keys go after the section's last key in the order given.
  // Nothing is changed when one of them is refused.
  Status SetMany(std::string_view section,
                 const std::vector<std::pair<std::string, std::string>>& entries);
  // Whether Set would take the key and value, and if not, why.
  static Status Check(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the key in its section; nothing when it is missing.
  void Remove(std::string_view section, std::string_view key);
  // Removes the lines of every key of the section that `remove` picks.
  void RemoveIf(std::string_view section, const std::function<bool(std::string_view key)>& remove);
  // The key names of the section, in file order.
  std::vector<std::string> Keys(std::string_view section) const;

  std::string bytes() const;

 private:
  struct Line {
    std::string text;
    std::string end;  // "\r\n", "\n", "\r" or "" for a last line without one
  };
  // Where sections and keys are, built when first needed and dropped when
  // lines are added or removed, so that reading a file of many keys takes
  // time in proportion to its size.
  struct Index {
    std::unordered_map<std::string, size_t> sections;  // folded name: first header
    std::unordered_map<size_t, size_t> ends;           // header: SectionEnd
    std::unordered_map<size_t, size_t> last_keys;      // header: its last key line
    std::unordered_map<std::string, size_t> keys;      // KeyId: first key line
  };
  const Index& index() const;
  static std::string KeyId(size_t header, std::string_view folded_key);

  // Index of the header line of the first section named `section`.
  std::optional<size_t> FindSection(std::string_view section) const;
  // Index just past the section's last line (the next header or the end).
  size_t SectionEnd(size_t header) const;
  std::optional<size_t> FindKey(size_t header, std::string_view key) const;

  std::vector<Line> lines_;
  mutable std::optional<Index> index_;
};

// The same at the level of texts: names and values cross in CP932. A text
// CP932 cannot hold is refused with a message naming the character; a value
// whose bytes are not CP932 is reported rather than guessed at.
Result<std::optional<std::u16string>> GetProfileText(const ProfileFile& file,
                                                     std::u16string_view section,
                                                     std::u16string_view key);
Status SetProfileText(ProfileFile& file, std::u16string_view section, std::u16string_view key,
                      std::u16string_view value);

}  // namespace tolvan
