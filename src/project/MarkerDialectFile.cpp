#include "project/MarkerDialectFile.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <system_error>

#include "platform/PathText.h"
#include "platform/Text.h"

namespace tolvan::project {
namespace fs = std::filesystem;

namespace {

std::string BuiltInNames() {
  std::string names;
  for (const auto& d : BuiltInDialects())
    names += (names.empty() ? "" : ", ") + Utf16ToUtf8(d.name);
  return names;
}

// A string or a list of strings.
Result<std::vector<std::u16string>> Patterns(const nlohmann::json& value,
                                             const std::string& where) {
  std::vector<std::u16string> out;
  if (value.is_string()) {
    out.push_back(Utf8ToUtf16(value.get<std::string>()));
    return out;
  }
  if (value.is_array() && !value.empty()) {
    for (const auto& item : value) {
      if (!item.is_string()) break;
      out.push_back(Utf8ToUtf16(item.get<std::string>()));
    }
    if (out.size() == value.size()) return out;
  }
  return Status::Error(where + " is a pattern or a list of patterns");
}

}  // namespace

Result<std::vector<ChangeDialect>> BuiltInDialectsNamed(const std::vector<std::string>& names) {
  std::vector<ChangeDialect> out;
  for (const std::string& name : names) {
    const ChangeDialect* d = BuiltInDialect(Utf8ToUtf16(name));
    if (d == nullptr) {
      return Status::Error("no built-in marker dialect is called \"" + name + "\" (there are " +
                           BuiltInNames() + ")");
    }
    out.push_back(*d);
  }
  return out;
}

Result<std::vector<ChangeDialect>> ParseMarkerDialects(std::string_view bytes,
                                                       const std::string& name) {
  std::string utf8(bytes);
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.erase(0, 3);
  if (!IsValidUtf8(utf8)) {
    auto text = DecodeAnsi(utf8);
    if (!text) return Status::Error(name + ": neither UTF-8 nor CP932: " + text.message());
    utf8 = Utf16ToUtf8(*text);
  }
  nlohmann::json doc = nlohmann::json::parse(utf8, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) return Status::Error(name + ": not JSON");
  if (!doc.is_object())
    return Status::Error(name + ": a JSON object is wanted, with \"use\" and \"dialects\"");
  std::vector<ChangeDialect> out;
  if (doc.contains("use")) {
    std::vector<std::string> names;
    const auto& use = doc["use"];
    bool good = use.is_array();
    for (const auto& n : good ? use : nlohmann::json::array()) {
      if (!n.is_string())
        good = false;
      else
        names.push_back(n.get<std::string>());
    }
    if (!good) return Status::Error(name + ": \"use\" is a list of dialect names");
    auto named = BuiltInDialectsNamed(names);
    if (!named) return Status::Error(name + ": " + named.message());
    out = std::move(*named);
  }
  if (!doc.contains("dialects")) return out;
  if (!doc["dialects"].is_array()) return Status::Error(name + ": \"dialects\" is a list");
  size_t index = 0;
  for (const auto& d : doc["dialects"]) {
    ++index;
    const std::string at = name + ": dialect " + std::to_string(index);
    if (!d.is_object() || !d.contains("name") || !d["name"].is_string()) {
      return Status::Error(at + " has no \"name\"");
    }
    ChangeDialect dialect;
    dialect.name = Utf8ToUtf16(d["name"].get<std::string>());
    const std::string where = name + ": dialect \"" + d["name"].get<std::string>() + "\"";
    if (d.contains("comment")) {
      if (!d["comment"].is_string() || d["comment"].get<std::string>().empty()) {
        return Status::Error(where + ": \"comment\" is the text a commented-out line starts with");
      }
      dialect.comment = Utf8ToUtf16(d["comment"].get<std::string>());
    }
    if (!d.contains("blocks") || !d["blocks"].is_array() || d["blocks"].empty()) {
      return Status::Error(where + " has no \"blocks\"");
    }
    size_t k = 0;
    for (const auto& b : d["blocks"]) {
      const std::string block = where + ", block " + std::to_string(++k);
      if (!b.is_object()) return Status::Error(block + " is not an object");
      std::optional<ChangeKind> kind;
      if (b.contains("kind") && b["kind"].is_string()) {
        kind = ChangeKindNamed(Utf8ToUtf16(b["kind"].get<std::string>()));
      }
      if (!kind) return Status::Error(block + ": \"kind\" is add, delete, change or modify");
      if (!b.contains("start") || !b.contains("end")) {
        return Status::Error(block + " wants a \"start\" and an \"end\"");
      }
      auto starts = Patterns(b["start"], block + ": \"start\"");
      if (!starts) return starts.status();
      auto ends = Patterns(b["end"], block + ": \"end\"");
      if (!ends) return ends.status();
      auto shape = MakeChangeShape(*kind, *starts, *ends);
      if (!shape) return Status::Error(block + ": " + shape.message());
      dialect.shapes.push_back(std::move(*shape));
    }
    out.push_back(std::move(dialect));
  }
  return out;
}

fs::path FindMarkerDialectFile(const fs::path& module) {
  std::error_code ec;
  fs::path folder = fs::absolute(module, ec).parent_path();
  if (ec) return {};
  while (true) {
    const fs::path candidate = folder / kMarkerDialectFileName;
    if (fs::is_regular_file(candidate, ec)) return candidate;
    bool project_root = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::string ext = PathUtf8(it->path().extension());
      std::transform(ext.begin(), ext.end(), ext.begin(),
                     [](unsigned char c) { return std::tolower(c); });
      if (ext == ".vbp") {
        project_root = true;
        break;
      }
    }
    if (project_root || !folder.has_parent_path() || folder.parent_path() == folder) return {};
    folder = folder.parent_path();
  }
}

}  // namespace tolvan::project
