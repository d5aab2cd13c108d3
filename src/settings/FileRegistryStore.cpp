#include "settings/FileRegistryStore.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/PathText.h"
#include "platform/Text.h"

namespace tolvan {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr size_t kHexBytesPerLine = 25;

Result<std::string> AnsiToUtf8(std::string_view ansi) {
  auto text = DecodeAnsi(ansi);
  if (!text) return text.status();
  return Utf16ToUtf8(*text);
}

Result<std::string> Utf8ToAnsi(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return Status::Error("the text is not valid UTF-8");
  return EncodeAnsi(Utf8ToUtf16(utf8));
}

std::string Quote(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A string value shows as text when it is exactly its characters and one
// terminating NUL, with nothing a line cannot hold.
std::optional<std::string> StringAsText(const RegValue& value) {
  const std::string& d = value.data;
  if (d.empty() || d.back() != '\0') return std::nullopt;
  std::string_view body(d.data(), d.size() - 1);
  for (unsigned char b : body) {
    if (b < 0x20 || b == 0x7F) return std::nullopt;
  }
  auto utf8 = AnsiToUtf8(body);
  if (!utf8) return std::nullopt;
  return *utf8;
}

std::string HexList(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    out += hex;
    if (i + 1 < bytes.size()) out += (i + 1) % kHexBytesPerLine == 0 ? ",\\\n  " : ",";
  }
  return out;
}

// Reads a quoted text starting at s[pos] == '"'; leaves pos after the
// closing quote.
Result<std::string> ReadQuoted(std::string_view s, size_t& pos) {
  std::string out;
  ++pos;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return out;
    if (c == '\\') {
      if (pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) {
        return Status::Error("a '\\' inside quotes must be followed by '\\' or '\"'");
      }
      c = s[pos++];
    }
    out.push_back(c);
  }
  return Status::Error("a quoted text has no closing '\"'");
}

Result<std::string> ReadHexBytes(std::string_view list) {
  std::string out;
  size_t pos = 0;
  auto skip_space = [&] {
    while (pos < list.size() && (list[pos] == ' ' || list[pos] == '\t')) ++pos;
  };
  skip_space();
  if (pos == list.size()) return out;
  while (true) {
    skip_space();
    size_t start = pos;
    while (pos < list.size() && std::isxdigit(static_cast<unsigned char>(list[pos]))) ++pos;
    if (pos - start != 2) return Status::Error("a byte must be two hexadecimal digits");
    out.push_back(static_cast<char>(std::stoi(std::string(list.substr(start, 2)), nullptr, 16)));
    skip_space();
    if (pos == list.size()) return out;
    if (list[pos] != ',') return Status::Error("bytes must be separated by ','");
    ++pos;
  }
}

Result<RegValue> ReadValueData(std::string_view s) {
  if (!s.empty() && s[0] == '"') {
    size_t pos = 0;
    auto text = ReadQuoted(s, pos);
    if (!text) return text.status();
    if (s.find_first_not_of(" \t", pos) != std::string_view::npos) {
      return Status::Error("unexpected text after the closing '\"'");
    }
    auto ansi = Utf8ToAnsi(*text);
    if (!ansi) return ansi.status();
    return RegValue{kRegSz, *ansi + std::string(1, '\0')};
  }
  if (s.starts_with("dword:")) {
    std::string_view digits = s.substr(6);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t'))
      digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      return Status::Error("dword: must be followed by up to 8 hexadecimal digits");
    }
    uint32_t n = static_cast<uint32_t>(std::stoul(std::string(digits), nullptr, 16));
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return RegValue{kRegDword, bytes};
  }
  uint32_t type = kRegBinary;
  std::string_view list;
  if (s.starts_with("hex:")) {
    list = s.substr(4);
  } else if (s.starts_with("hex(")) {
    size_t close = s.find("):");
    std::string_view digits = s.substr(4, close == std::string_view::npos ? 0 : close - 4);
    if (close == std::string_view::npos || digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      return Status::Error("hex( must be followed by a hexadecimal type and \"):\"");
    }
    type = static_cast<uint32_t>(std::stoul(std::string(digits), nullptr, 16));
    list = s.substr(close + 2);
  } else {
    return Status::Error("a value must be a quoted text, dword:, hex: or hex(type):");
  }
  auto bytes = ReadHexBytes(list);
  if (!bytes) return bytes.status();
  return RegValue{type, *bytes};
}

Status LineError(size_t line, const Status& why) {
  return Status::Error("line " + std::to_string(line) + ": " + why.message());
}

Status LineError(size_t line, const std::string& why) {
  return Status::Error("line " + std::to_string(line) + ": " + why);
}

}  // namespace

Result<RegistryTree> ParseRegText(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }

  RegistryTree tree;
  bool header_seen = false;
  std::optional<std::pair<uint32_t, std::string>> key;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t number = i + 1;
    std::string_view line = lines[i];
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    if (!header_seen) {
      if (line != kHeader) return LineError(number, "the file does not start with REGEDIT4");
      header_seen = true;
      continue;
    }
    if (line[0] == ';') continue;
    if (line[0] == '[') {
      while (line.back() == ' ' || line.back() == '\t') line.remove_suffix(1);
      if (line.back() != ']') return LineError(number, "a key line must end in ']'");
      std::string_view full = line.substr(1, line.size() - 2);
      if (full.starts_with("-"))
        return LineError(number, "deleting keys ([-...]) is not supported");
      std::string_view root_name = full.substr(0, full.find('\\'));
      uint32_t root = 0;
      for (uint32_t r : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine}) {
        if (root_name == RootKeyName(r)) root = r;
      }
      if (root == 0)
        return LineError(number, "unknown root key \"" + std::string(root_name) + "\"");
      std::string_view path_utf8 =
          root_name.size() < full.size() ? full.substr(root_name.size() + 1) : std::string_view();
      auto path = Utf8ToAnsi(path_utf8);
      if (!path) return LineError(number, path.status());
      if (Status s = tree.CreateKey(root, *path); !s) return LineError(number, s);
      key.emplace(root, *path);
      continue;
    }
    if (line[0] != '"' && line[0] != '@') {
      return LineError(number, "expected a key in [brackets] or a value");
    }
    if (!key) return LineError(number, "a value comes before any key");
    std::string name;
    size_t pos = 1;
    if (line[0] == '"') {
      pos = 0;
      auto quoted = ReadQuoted(line, pos);
      if (!quoted) return LineError(number, quoted.status());
      auto ansi = Utf8ToAnsi(*quoted);
      if (!ansi) return LineError(number, ansi.status());
      name = *ansi;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=')
      return LineError(number, "expected '=' after the value name");
    std::string data(line.substr(pos + 1));
    size_t data_start = data.find_first_not_of(" \t");
    data.erase(0, data_start == std::string::npos ? data.size() : data_start);
    if (data.starts_with("hex")) {
      // A byte list goes on over lines ending in '\'.
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        if (++i >= lines.size())
          return LineError(number, "the byte list breaks off at the end of the file");
        std::string_view more = lines[i];
        size_t more_start = more.find_first_not_of(" \t");
        data += more_start == std::string_view::npos ? std::string_view() : more.substr(more_start);
      }
    }
    auto value = ReadValueData(data);
    if (!value) return LineError(number, value.status());
    if (Status s = tree.SetValue(key->first, key->second, name, std::move(*value)); !s) {
      return LineError(number, s);
    }
  }
  if (!header_seen) return LineError(1, "the file does not start with REGEDIT4");
  return tree;
}

Result<std::string> FormatRegText(const RegistryTree& tree) {
  std::string out = std::string(kHeader) + "\n; Tolvan's registry, in UTF-8.\n";
  for (const RegistryTree::Key* key : tree.Keys()) {
    auto path = AnsiToUtf8(key->path);
    if (!path) return path.status();
    out +=
        "\n[" + std::string(RootKeyName(key->root)) + (path->empty() ? "" : "\\") + *path + "]\n";
    for (const auto& [ansi_name, value] : key->values) {
      std::string line;
      if (ansi_name.empty()) {
        line = "@";
      } else {
        auto name = AnsiToUtf8(ansi_name);
        if (!name) return name.status();
        line = Quote(*name);
      }
      line += "=";
      std::optional<std::string> text;
      if (value.type == kRegSz && (text = StringAsText(value))) {
        line += Quote(*text);
      } else if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
        char dword[16];
        std::snprintf(dword, sizeof dword, "dword:%08x", n);
        line += dword;
      } else {
        char type[24];
        if (value.type == kRegBinary) {
          std::snprintf(type, sizeof type, "hex:");
        } else {
          std::snprintf(type, sizeof type, "hex(%x):", value.type);
        }
        line += type;
        line += HexList(value.data);
      }
      out += line + "\n";
    }
  }
  return out;
}

FileRegistryStore::FileRegistryStore(std::filesystem::path folder, FileSystem& fs)
    : fs_(fs), folder_(std::move(folder)), file_(folder_ / "registry.reg") {}

Result<RegistryTree> FileRegistryStore::ReadUnlocked() {
  auto bytes = fs_.ReadFile(PathUtf8(file_), kSettingsSizeLimit);
  if (!bytes) {
    if (bytes.status().IsNotFound()) return RegistryTree();
    return bytes.status();
  }
  auto tree = ParseRegText(*bytes);
  if (!tree) {
    return Status::Corrupt("the registry store " + PathUtf8(file_) + " is damaged (" +
                           tree.message() + "); it is left as it is");
  }
  return tree;
}

Result<RegistryTree> FileRegistryStore::Read() { return ReadUnlocked(); }

Status FileRegistryStore::Update(const std::function<Status(RegistryTree&)>& change) {
  if (Status made = fs_.CreateFolder(PathUtf8(folder_)); !made) return made;
  auto lock = fs_.Lock(PathUtf8(folder_ / "registry.lock"), /*create=*/true);
  if (!lock) return lock.status();

  auto tree = ReadUnlocked();
  if (!tree) return tree.status();
  if (Status s = change(*tree); !s) return s;
  auto text = FormatRegText(*tree);
  if (!text) return text.status();
  return ReplaceFile(fs_, PathUtf8(file_), *text);
}

}  // namespace tolvan
