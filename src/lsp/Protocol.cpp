#include "lsp/Protocol.h"

#include <algorithm>

#include "platform/Text.h"

namespace tolvan::lsp {
namespace {

using nlohmann::json;

// Raised by the readers below and turned into a Status before it leaves
// this file.
struct Wrong {
  std::string message;
};

// A member path for messages: "range.start.line", "contentChanges[3].text".
std::string Join(const std::string& path, const char* key) {
  return path.empty() ? key : path + "." + key;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

const json& Need(const json& object, const std::string& path, const char* key) {
  if (!object.is_object())
    throw Wrong{(path.empty() ? "the params" : Quoted(path)) + " is not an object"};
  auto it = object.find(key);
  if (it == object.end()) throw Wrong{"missing " + Quoted(Join(path, key))};
  return *it;
}

const json* Maybe(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string String(const json& value, const std::string& path) {
  if (!value.is_string()) throw Wrong{Quoted(path) + " is not a string"};
  return value.get<std::string>();
}

std::string StringMember(const json& object, const std::string& path, const char* key) {
  return String(Need(object, path, key), Join(path, key));
}

// The protocol's uinteger; larger than any document line or column.
long Unsigned(const json& value, const std::string& path) {
  if (!value.is_number_integer()) throw Wrong{Quoted(path) + " is not an integer"};
  if (value.is_number_unsigned()) {
    const auto n = value.get<uint64_t>();
    return static_cast<long>(std::min<uint64_t>(n, uint64_t{1} << 40));
  }
  const auto n = value.get<int64_t>();
  if (n < 0) throw Wrong{Quoted(path) + " is negative"};
  return static_cast<long>(std::min<int64_t>(n, int64_t{1} << 40));
}

Position ReadPosition(const json& object, const std::string& path) {
  return Position{Unsigned(Need(object, path, "line"), Join(path, "line")),
                  Unsigned(Need(object, path, "character"), Join(path, "character"))};
}

Range ReadRange(const json& object, const std::string& path) {
  if (!object.is_object()) throw Wrong{Quoted(path) + " is not an object"};
  return Range{ReadPosition(Need(object, path, "start"), Join(path, "start")),
               ReadPosition(Need(object, path, "end"), Join(path, "end"))};
}

std::optional<long> Version(const json& item) {
  // Clients send null, or nothing, for a document they do not version.
  const json* v = Maybe(item, "version");
  if (!v || !v->is_number_integer()) return std::nullopt;
  return v->get<long>();
}

template <class T, class F>
Result<T> Read(F&& read) {
  try {
    return read();
  } catch (const Wrong& w) {
    return Status::InvalidArgument(w.message);
  }
}

}  // namespace

Result<json> ParseMessage(std::string_view content) {
  // The nesting is counted on the bytes before anything is built: the
  // parser and the destructor of the value it would build both recurse.
  int depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) {
        return Status::InvalidArgument("the message nests deeper than " +
                                       std::to_string(kMaxNesting) + " levels");
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  json message = json::parse(content, nullptr, false);
  if (message.is_discarded()) return Status::InvalidArgument("the message is not valid JSON");
  return message;
}

Result<InitializeParams> ReadInitializeParams(const json& params) {
  return Read<InitializeParams>([&] {
    InitializeParams p;
    if (const json* uri = Maybe(params, "rootUri"); uri && uri->is_string())
      p.root_uri = uri->get<std::string>();
    if (const json* path = Maybe(params, "rootPath"); path && path->is_string())
      p.root_path = path->get<std::string>();
    if (const json* init = Maybe(params, "initializationOptions"); init && init->is_object()) {
      if (const json* review = Maybe(*init, "review")) {
        if (!review->is_boolean())
          throw Wrong{"\"initializationOptions.review\" is not true or false"};
        p.review = review->get<bool>();
      }
      if (const json* file = Maybe(*init, "settingsFile"))
        p.settings_file = String(*file, "initializationOptions.settingsFile");
    }
    return p;
  });
}

Result<DidOpenParams> ReadDidOpenParams(const json& params) {
  return Read<DidOpenParams>([&] {
    const json& item = Need(params, "", "textDocument");
    DidOpenParams p;
    p.uri = StringMember(item, "textDocument", "uri");
    p.version = Version(item).value_or(0);
    p.text = Utf8ToUtf16(StringMember(item, "textDocument", "text"));
    return p;
  });
}

Result<DidChangeParams> ReadDidChangeParams(const json& params) {
  return Read<DidChangeParams>([&] {
    const json& item = Need(params, "", "textDocument");
    DidChangeParams p;
    p.uri = StringMember(item, "textDocument", "uri");
    p.version = Version(item);
    const json& changes = Need(params, "", "contentChanges");
    if (!changes.is_array()) throw Wrong{"\"contentChanges\" is not an array"};
    p.changes.reserve(changes.size());
    for (size_t i = 0; i < changes.size(); ++i) {
      const std::string path = "contentChanges[" + std::to_string(i) + "]";
      ContentChange change;
      change.text = Utf8ToUtf16(StringMember(changes[i], path, "text"));
      if (const json* range = Maybe(changes[i], "range"))
        change.range = ReadRange(*range, Join(path, "range"));
      p.changes.push_back(std::move(change));
    }
    return p;
  });
}

Result<DidCloseParams> ReadDidCloseParams(const json& params) {
  return Read<DidCloseParams>([&] {
    return DidCloseParams{StringMember(Need(params, "", "textDocument"), "textDocument", "uri")};
  });
}

Result<TextDocumentParams> ReadTextDocumentParams(const json& params) {
  return Read<TextDocumentParams>([&] {
    return TextDocumentParams{
        StringMember(Need(params, "", "textDocument"), "textDocument", "uri")};
  });
}

Result<TextDocumentPositionParams> ReadTextDocumentPositionParams(const json& params) {
  return Read<TextDocumentPositionParams>([&] {
    return TextDocumentPositionParams{
        StringMember(Need(params, "", "textDocument"), "textDocument", "uri"),
        ReadPosition(Need(params, "", "position"), "position")};
  });
}

Result<CodeActionParams> ReadCodeActionParams(const json& params) {
  return Read<CodeActionParams>([&] {
    CodeActionParams p;
    p.uri = StringMember(Need(params, "", "textDocument"), "textDocument", "uri");
    p.range = ReadRange(Need(params, "", "range"), "range");
    const json* context = Maybe(params, "context");
    if (!context) return p;
    if (const json* only = Maybe(*context, "only"); only && only->is_array()) {
      for (const json& kind : *only) {
        if (kind.is_string()) p.only.push_back(kind.get<std::string>());
      }
    }
    if (const json* diagnostics = Maybe(*context, "diagnostics");
        diagnostics && diagnostics->is_array()) {
      // Other servers' diagnostics, and ours in a shape we did not send,
      // are none of our business.
      for (const json& d : *diagnostics) {
        const json* source = Maybe(d, "source");
        const json* code = Maybe(d, "code");
        const json* range = Maybe(d, "range");
        if (!source || *source != "tolvan" || !code || !code->is_string() || !range) continue;
        try {
          p.diagnostics.push_back(
              ContextDiagnostic{ReadRange(*range, "range"), code->get<std::string>(), d});
        } catch (const Wrong&) {
        }
      }
    }
    return p;
  });
}

Result<ExecuteCommandParams> ReadExecuteCommandParams(const json& params,
                                                      const std::vector<std::string>& commands) {
  return Read<ExecuteCommandParams>([&] {
    ExecuteCommandParams p;
    p.command = StringMember(params, "", "command");
    if (std::find(commands.begin(), commands.end(), p.command) == commands.end())
      throw Wrong{"unknown command " + p.command};
    const json& arguments = Need(params, "", "arguments");
    if (!arguments.is_array() || arguments.size() < 2 || !arguments[0].is_string())
      throw Wrong{p.command + " takes a document URI and a range"};
    p.uri = arguments[0].get<std::string>();
    p.range = ReadRange(arguments[1], "arguments[1]");
    if (arguments.size() >= 3 && arguments[2].is_object() && arguments[2].contains("macros")) {
      const json& macros = arguments[2]["macros"];
      if (!macros.is_object()) throw Wrong{"arguments[2].macros must be an object"};
      for (const auto& [name, value] : macros.items()) {
        if (!value.is_string())
          throw Wrong{"arguments[2].macros." + name + " must be a string, not " +
                      std::string(value.type_name())};
        p.macros.emplace_back(Utf8ToUtf16(name), Utf8ToUtf16(value.get<std::string>()));
      }
    }
    return p;
  });
}

json ToJson(const Position& p) { return json{{"line", p.line}, {"character", p.character}}; }

json ToJson(const Range& r) { return json{{"start", ToJson(r.start)}, {"end", ToJson(r.end)}}; }

json ToWorkspaceEdit(const std::string& uri, const std::vector<TextEdit>& edits) {
  json list = json::array();
  for (const TextEdit& e : edits)
    list.push_back(json{{"range", ToJson(e.range)}, {"newText", Utf16ToUtf8(e.new_text)}});
  return json{{"changes", json{{uri, std::move(list)}}}};
}

}  // namespace tolvan::lsp
