// The protocol's messages as typed structures, read from JSON in one place.
// Everything the server takes from a client passes through here: a message
// is parsed (with a limit on how deeply it nests, so that no message can
// exhaust the stack of the parser or of the JSON value's destructor), and
// each request's or notification's params are read into a struct whose
// reader names what is wrong ("\"range.start.line\" is not an integer").
// Past this file the server works with these structs and UTF-16 text only.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan::lsp {

// A position as the protocol gives it: 0-based line, 0-based column in
// UTF-16 units. It may lie past its line's end or past the last line; the
// document clamps it (TextDocument::Clamp).
struct Position {
  long line = 0;
  long character = 0;
  bool operator==(const Position&) const = default;
  auto operator<=>(const Position&) const = default;
};

struct Range {
  Position start;
  Position end;
  bool operator==(const Range&) const = default;
};

struct TextEdit {
  Range range;
  std::u16string new_text;
  bool operator==(const TextEdit&) const = default;
};

// Deeper messages are refused: real ones nest a handful of levels.
constexpr int kMaxNesting = 64;

// One message's content as JSON; an error that says why it is not one.
Result<nlohmann::json> ParseMessage(std::string_view content);

struct InitializeParams {
  std::optional<std::string> root_uri;
  std::optional<std::string> root_path;
  bool review = false;                       // initializationOptions.review
  std::optional<std::string> settings_file;  // initializationOptions.settingsFile
};

struct DidOpenParams {
  std::string uri;
  long version = 0;
  std::u16string text;
};

struct ContentChange {
  std::optional<Range> range;  // none: the whole text
  std::u16string text;
};

struct DidChangeParams {
  std::string uri;
  std::optional<long> version;
  std::vector<ContentChange> changes;
};

struct DidCloseParams {
  std::string uri;
};

// A request about one document (folding ranges, symbols).
struct TextDocumentParams {
  std::string uri;
};

// A request about one place of a document (hover).
struct TextDocumentPositionParams {
  std::string uri;
  Position position;
};

// A diagnostic the client sends back in a code action's context. Only this
// server's own are read; `raw` is echoed in the quick fix that answers it.
struct ContextDiagnostic {
  Range range;
  std::string code;
  nlohmann::json raw;
};

struct CodeActionParams {
  std::string uri;
  Range range;
  std::vector<ContextDiagnostic> diagnostics;  // this server's only
  std::vector<std::string> only;               // context.only
};

// workspace/executeCommand with the arguments [uri, range] of every command
// this server offers.
struct ExecuteCommandParams {
  std::string command;
  std::string uri;
  Range range;
  // The values of user macros for this command ({"macros": {"$u1": "..."}}
  // as the third argument), in the order given.
  std::vector<std::pair<std::u16string, std::u16string>> macros;
};

// The readers: a value, or an error naming the member that is wrong and
// how, by its path from the params ("range.start.line").
Result<InitializeParams> ReadInitializeParams(const nlohmann::json& params);
Result<DidOpenParams> ReadDidOpenParams(const nlohmann::json& params);
Result<DidChangeParams> ReadDidChangeParams(const nlohmann::json& params);
Result<DidCloseParams> ReadDidCloseParams(const nlohmann::json& params);
Result<CodeActionParams> ReadCodeActionParams(const nlohmann::json& params);
Result<TextDocumentParams> ReadTextDocumentParams(const nlohmann::json& params);
Result<TextDocumentPositionParams> ReadTextDocumentPositionParams(const nlohmann::json& params);
// `commands`: the commands there are; another is refused before its
// arguments are looked at.
Result<ExecuteCommandParams> ReadExecuteCommandParams(const nlohmann::json& params,
                                                      const std::vector<std::string>& commands);

nlohmann::json ToJson(const Position& p);
nlohmann::json ToJson(const Range& r);
// A WorkspaceEdit of `edits` on one document.
nlohmann::json ToWorkspaceEdit(const std::string& uri, const std::vector<TextEdit>& edits);

}  // namespace tolvan::lsp
