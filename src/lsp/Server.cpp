#include "lsp/Server.h"

#include <algorithm>
#include <ostream>

#include "lsp/EngineHeaderReview.h"
#include "lsp/ServerStreams.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "standin/FileHost.h"

namespace tolvan::lsp {
namespace {

using nlohmann::json;

// JSON-RPC error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestCancelled = -32800;

// A request that cannot be answered with a result. Thrown inside this file
// only, and caught where the request is answered, together with the JSON
// library's own type errors for parameters of the wrong shape.
struct RpcError {
  int code;
  std::string message;
};

struct OperationInfo {
  Operation op;
  const char* kind;
  const char* command;
  const char16_t* title;
  int click;  // the click kind of a change marker; -1 for headers
};

constexpr OperationInfo kOperations[] = {
    {Operation::kInsertHeader, "refactor.rewrite.tolvan.insertHeader", "tolvan.insertHeader",
     u"ヘッダーコメントを挿入", -1},
    {Operation::kUpdateHeader, "refactor.rewrite.tolvan.updateHeader", "tolvan.updateHeader",
     u"ヘッダーコメントを更新", -1},
    {Operation::kMarkAdded, "refactor.rewrite.tolvan.markAdded", "tolvan.markAdded",
     u"行コメントを挿入（クリック）", 0},
    {Operation::kMarkDeleted, "refactor.rewrite.tolvan.markDeleted", "tolvan.markDeleted",
     u"行コメントを挿入（Shift＋クリック）", 1},
    {Operation::kMarkModified, "refactor.rewrite.tolvan.markModified", "tolvan.markModified",
     u"行コメントを挿入（Ctrl＋クリック）", 2},
};

const OperationInfo& InfoOf(Operation op) {
  for (const auto& info : kOperations) {
    if (info.op == op) return info;
  }
  return kOperations[0];
}

const json& Member(const json& object, const char* key) {
  if (!object.is_object() || !object.contains(key)) {
    throw RpcError{kInvalidParams, std::string("missing \"") + key + "\""};
  }
  return object.at(key);
}

std::string StringMember(const json& object, const char* key) {
  const json& value = Member(object, key);
  if (!value.is_string())
    throw RpcError{kInvalidParams, std::string("\"") + key + "\" is not a string"};
  return value.get<std::string>();
}

long LongMember(const json& object, const char* key) {
  const json& value = Member(object, key);
  if (!value.is_number_integer()) {
    throw RpcError{kInvalidParams, std::string("\"") + key + "\" is not an integer"};
  }
  const auto n = value.get<int64_t>();
  if (n < 0 || n > (int64_t{1} << 40)) {
    throw RpcError{kInvalidParams, std::string("\"") + key + "\" is out of range"};
  }
  return static_cast<long>(n);
}

Position ToPosition(const json& j) {
  return Position{LongMember(j, "line"), LongMember(j, "character")};
}
Range ToRange(const json& j) {
  return Range{ToPosition(Member(j, "start")), ToPosition(Member(j, "end"))};
}
json FromPosition(const Position& p) { return json{{"line", p.line}, {"character", p.character}}; }
json FromRange(const Range& r) {
  return json{{"start", FromPosition(r.start)}, {"end", FromPosition(r.end)}};
}

json FromEdits(const std::string& uri, const std::vector<TextEdit>& edits) {
  json list = json::array();
  for (const auto& e : edits) {
    list.push_back(json{{"range", FromRange(e.range)}, {"newText", Utf16ToUtf8(e.new_text)}});
  }
  return json{{"changes", json{{uri, list}}}};
}

std::string Dump(const json& j) {
  // Invalid UTF-8 from the client is replaced rather than refused.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool Before(const Position& a, const Position& b) {
  return a.line < b.line || (a.line == b.line && a.character < b.character);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::filesystem::path PathOfUri(std::string_view uri) {
  std::string_view rest = uri;
  std::string_view authority;
  if (const size_t colon = uri.find(':'); colon != std::string_view::npos) {
    rest = uri.substr(colon + 1);
    if (rest.substr(0, 2) == "//") {
      rest.remove_prefix(2);
      const size_t slash = std::min(rest.find('/'), rest.size());
      authority = rest.substr(0, slash);
      rest = rest.substr(slash);
    }
  }
  rest = rest.substr(0, std::min({rest.find('?'), rest.find('#'), rest.size()}));
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() + 0 && HexValue(rest[i + 1]) >= 0 &&
        HexValue(rest[i + 2]) >= 0) {
      path.push_back(static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2])));
      i += 2;
    } else {
      path.push_back(rest[i]);
    }
  }
#ifdef _WIN32
  // "file:///C:/a/b.bas" is C:/a/b.bas, and "file://server/share/b.bas" the
  // file b.bas of the share \\server\share.
  const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && path[0] == '/' && is_letter(path[1]) && path[2] == ':') {
    path.erase(0, 1);
  } else if (!authority.empty() && authority != "localhost") {
    path = "//" + std::string(authority) + path;
  }
#else
  (void)authority;  // a file URI on POSIX names a file of this machine
#endif
  return PathFromUtf8(path);
}

bool IsModulePath(const std::filesystem::path& path) {
  return host::ComponentTypeOf(path, false) != 0;
}

Server::Server(std::function<void(const std::string&)> write, Options options)
    : write_(std::move(write)), options_(std::move(options)) {
  if (!options_.review) options_.review = std::make_shared<NoHeaderReview>();
  if (!options_.clock) {
    system_clock_ = std::make_unique<SystemClock>();
    options_.clock = system_clock_.get();
  }
  if (!options_.now) options_.now = [] { return std::chrono::steady_clock::now(); };
  if (!options_.log) options_.log = [](const std::string&) {};
}

void Server::Receive(std::string_view bytes) {
  reader_.Feed(bytes);
  std::vector<std::string> contents;
  while (auto next = reader_.Next()) {
    if (!*next) {
      options_.log(next->message());
      continue;
    }
    contents.push_back(std::move(next->value()));
  }
  // A cancellation that arrives together with its request answers it.
  std::vector<json> messages;
  std::set<std::string> cancelled;
  for (const auto& content : contents) {
    json message = json::parse(content, nullptr, false);
    if (message.is_object() && message.value("method", json()) == "$/cancelRequest" &&
        message.contains("params") && message["params"].is_object() &&
        message["params"].contains("id")) {
      cancelled.insert(message["params"]["id"].dump());
    }
    messages.push_back(std::move(message));
  }
  for (const auto& message : messages) Handle(message, cancelled);
}

void Server::HandleContent(std::string_view content) {
  Handle(json::parse(content, nullptr, false), {});
}

void Server::Handle(const json& message, const std::set<std::string>& cancelled) {
  auto respond_error = [&](const json& id, int code, const std::string& text) {
    write_(Frame(Dump(
        json{{"jsonrpc", "2.0"}, {"id", id}, {"error", json{{"code", code}, {"message", text}}}})));
  };
  if (message.is_discarded())
    return respond_error(nullptr, kParseError, "the message is not valid JSON");
  if (!message.is_object()) {
    return respond_error(nullptr, kInvalidRequest, "a message must be a JSON object");
  }
  const bool has_id = message.contains("id");
  const json id = has_id ? message["id"] : json();
  if (has_id && !id.is_number_integer() && !id.is_string() && !id.is_null()) {
    return respond_error(nullptr, kInvalidRequest, "a request id must be a number or a string");
  }
  if (!message.contains("method")) return;  // a response to one of our requests
  if (!message["method"].is_string()) {
    if (has_id) respond_error(id, kInvalidRequest, "\"method\" is not a string");
    return;
  }
  const std::string method = message["method"].get<std::string>();
  const json params = message.contains("params") ? message["params"] : json::object();

  if (!has_id) {
    // Notifications: nothing is answered, whatever goes wrong.
    try {
      if (method == "exit") {
        exit_code_ = shut_down_ ? 0 : 1;
      } else if (!initialized_ || shut_down_) {
        // Dropped, as the protocol asks.
      } else if (method == "textDocument/didOpen") {
        DidOpen(params);
      } else if (method == "textDocument/didChange") {
        DidChange(params);
      } else if (method == "textDocument/didClose") {
        DidClose(params);
      }
    } catch (const RpcError& e) {
      options_.log(method + ": " + e.message);
    } catch (const json::exception& e) {
      options_.log(method + ": " + e.what());
    }
    return;
  }

  if (cancelled.count(id.dump()))
    return respond_error(id, kRequestCancelled, "the request was cancelled");
  try {
    if (method != "initialize" && !initialized_) {
      throw RpcError{kServerNotInitialized, "the server is not initialised yet"};
    }
    if (shut_down_) throw RpcError{kInvalidRequest, "the server is shutting down"};
    json result = Dispatch(method, params);
    write_(Frame(Dump(json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}})));
  } catch (const RpcError& e) {
    respond_error(id, e.code, e.message);
  } catch (const json::exception& e) {
    respond_error(id, kInvalidParams, e.what());
  } catch (const std::exception& e) {
    respond_error(id, kInternalError, e.what());
  }
}

json Server::Dispatch(const std::string& method, const json& params) {
  if (method == "initialize") return Initialize(params);
  if (method == "shutdown") {
    shut_down_ = true;
    return nullptr;
  }
  if (method == "textDocument/codeAction") return CodeActions(params);
  if (method == "workspace/executeCommand") return ExecuteCommand(params);
  throw RpcError{kMethodNotFound, "unknown method " + method};
}

void Server::Notify(const std::string& method, const json& params) {
  write_(Frame(Dump(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}})));
}

json Server::Initialize(const json& params) {
  if (initialized_) throw RpcError{kInvalidRequest, "the server is already initialised"};
  if (params.contains("rootUri") && params["rootUri"].is_string()) {
    root_ = PathOfUri(params["rootUri"].get<std::string>());
  } else if (params.contains("rootPath") && params["rootPath"].is_string()) {
    root_ = PathFromUtf8(params["rootPath"].get<std::string>());
  }
  if (params.contains("initializationOptions") && params["initializationOptions"].is_object()) {
    const json& init = params["initializationOptions"];
    if (init.contains("review") && init["review"].is_boolean())
      review_enabled_ = init["review"].get<bool>();
    if (init.contains("settingsFile") && init["settingsFile"].is_string()) {
      std::filesystem::path file = PathFromUtf8(init["settingsFile"].get<std::string>());
      if (file.is_relative() && !root_.empty()) file = root_ / file;
      settings_ = SettingsSource(PathUtf8(file));
    }
  }
  initialized_ = true;
  json kinds = json::array();
  json commands = json::array();
  for (const auto& info : kOperations) {
    kinds.push_back(info.kind);
    commands.push_back(info.command);
  }
  kinds.push_back("quickfix");
  return json{
      {"capabilities",
       json{{"positionEncoding", "utf-16"},
            {"textDocumentSync", json{{"openClose", true}, {"change", 2}}},
            {"codeActionProvider", json{{"codeActionKinds", kinds}, {"resolveProvider", false}}},
            {"executeCommandProvider", json{{"commands", commands}}}}},
      {"serverInfo", json{{"name", "tolvan"}, {"version", TOLVAN_VERSION}}},
  };
}

void Server::DidOpen(const json& params) {
  const json& item = Member(params, "textDocument");
  const std::string uri = StringMember(item, "uri");
  Document doc;
  doc.path = PathOfUri(uri);
  doc.is_module = IsModulePath(doc.path);
  if (item.contains("version") && item["version"].is_number_integer())
    doc.version = item["version"].get<long>();
  doc.text.SetText(Utf8ToUtf16(StringMember(item, "text")));
  if (doc.is_module && review_enabled_) doc.review_due = options_.now() + options_.review_delay;
  documents_[uri] = std::move(doc);
}

void Server::DidChange(const json& params) {
  const json& item = Member(params, "textDocument");
  Document& doc = Find(StringMember(item, "uri"));
  if (item.contains("version") && item["version"].is_number_integer())
    doc.version = item["version"].get<long>();
  const json& changes = Member(params, "contentChanges");
  if (!changes.is_array()) throw RpcError{kInvalidParams, "\"contentChanges\" is not an array"};
  for (const json& change : changes) {
    const std::u16string text = Utf8ToUtf16(StringMember(change, "text"));
    if (change.contains("range")) {
      if (Status s = doc.text.Replace(ToRange(change["range"]), text); !s) {
        // The buffers no longer agree; the editor's next full text mends it.
        throw RpcError{kInvalidParams, s.message()};
      }
    } else {
      doc.text.SetText(text);
    }
  }
  if (doc.is_module && review_enabled_) doc.review_due = options_.now() + options_.review_delay;
}

void Server::DidClose(const json& params) {
  const std::string uri = StringMember(Member(params, "textDocument"), "uri");
  auto it = documents_.find(uri);
  if (it == documents_.end()) return;
  const bool had_review = it->second.is_module && review_enabled_;
  documents_.erase(it);
  if (had_review)
    Notify("textDocument/publishDiagnostics", json{{"uri", uri}, {"diagnostics", json::array()}});
}

Server::Document& Server::Find(const std::string& uri) {
  auto it = documents_.find(uri);
  if (it == documents_.end()) throw RpcError{kInvalidParams, "unknown document " + uri};
  return it->second;
}

host::ProjectInfo Server::ProjectOf(const std::filesystem::path& module) const {
  Result<host::ProjectInfo> project = host::FindProject(module);
  if (project) return *project;
  options_.log(project.message());
  return host::ProjectInfo{Utf8ToUtf16(PathUtf8(module.parent_path().filename())), u"", {}, {}};
}

Result<std::vector<TextEdit>> Server::Edits(const Document& doc, Operation op, const Range& range) {
  for (const Position& p : {range.start, range.end}) {
    if (!doc.text.Contains(p)) {
      throw RpcError{kInvalidParams, "position " + std::to_string(p.line) + ":" +
                                         std::to_string(p.character) +
                                         " is outside the document, which has " +
                                         std::to_string(doc.text.lines().size()) + " lines"};
    }
  }
  Position start = std::min(range.start, range.end, Before);
  Position end = std::max(range.start, range.end, Before);
  std::u16string after;
  if (op == Operation::kUpdateHeader) {
    Result<SettingsRecord> settings = settings_.Load();
    if (!settings) return settings.status();
    const std::u16string text = doc.text.Text();
    const host::ProjectInfo project = ProjectOf(doc.path);
    Result<std::u16string> updated = options_.review->UpdateHeader(
        ReviewInput{doc.path, text, *settings, project, *options_.clock}, start.line + 1);
    if (!updated) return updated.status();
    after = std::move(*updated);
  } else {
    CommentInput input{.module = doc.path, .utf8 = doc.text.Utf8(), .project = ProjectOf(doc.path)};
    const int click = InfoOf(op).click;
    if (click < 0) {
      end = start;  // a header is written for the cursor
    } else {
      if (start == end) return Status::Error("change markers need a selection");
      // A selection that ends at the start of a line (whole lines selected
      // in an editor) ends with the line above it.
      if (end.character == 0 && end.line > start.line) {
        --end.line;
        end.character = static_cast<long>(doc.text.lines()[end.line].size());
      }
      input.shift = click == 1;
      input.ctrl = click == 2;
    }
    input.start_line = start.line + 1;
    input.start_column = start.character + 1;
    input.end_line = end.line + 1;
    input.end_column = end.character + 1;
    Result<std::string> result = RunCommentCommand(input, settings_, *options_.clock);
    if (!result) return result.status();
    return DiffUtf8(input.utf8, *result, doc.text);
  }
  return DiffLines(doc.text.lines(), SplitLines(after), doc.text.newline());
}

Result<std::vector<HeaderFinding>> Server::Review(const Document& doc,
                                                  const SettingsRecord& settings) {
  const std::u16string text = doc.text.Text();
  const host::ProjectInfo project = ProjectOf(doc.path);
  return options_.review->Review(ReviewInput{doc.path, text, settings, project, *options_.clock});
}

json Server::CodeActions(const json& params) {
  const std::string uri = StringMember(Member(params, "textDocument"), "uri");
  const Document& doc = Find(uri);
  const Range range = ToRange(Member(params, "range"));
  json actions = json::array();
  if (!doc.is_module) return actions;
  for (const Position& p : {range.start, range.end}) {
    if (!doc.text.Contains(p)) {
      throw RpcError{kInvalidParams, "position " + std::to_string(p.line) + ":" +
                                         std::to_string(p.character) +
                                         " is outside the document, which has " +
                                         std::to_string(doc.text.lines().size()) + " lines"};
    }
  }
  std::vector<std::string> only;
  const json context = params.contains("context") ? params["context"] : json::object();
  if (context.contains("only") && context["only"].is_array()) {
    for (const auto& k : context["only"]) {
      if (k.is_string()) only.push_back(k.get<std::string>());
    }
  }
  auto wanted = [&](const std::string& kind) {
    if (only.empty()) return true;
    return std::any_of(only.begin(), only.end(), [&](const std::string& o) {
      return kind == o ||
             (kind.size() > o.size() && kind.compare(0, o.size(), o) == 0 && kind[o.size()] == '.');
    });
  };
  Result<SettingsRecord> settings = settings_.Load();
  if (!settings) throw RpcError{kInternalError, settings.message()};

  auto offer = [&](Operation op, const Range& at, const std::string& kind, json diagnostics) {
    Result<std::vector<TextEdit>> edits = Edits(doc, op, at);
    if (!edits) {
      options_.log(std::string(InfoOf(op).command) + ": " + edits.message());
      return;
    }
    if (edits->empty()) return;
    json action{
        {"title", Utf16ToUtf8(InfoOf(op).title)}, {"kind", kind}, {"edit", FromEdits(uri, *edits)}};
    if (!diagnostics.is_null()) {
      action["diagnostics"] = diagnostics;
      action["isPreferred"] = true;
    }
    actions.push_back(std::move(action));
  };

  // Quick fixes for the review's diagnostics.
  if (context.contains("diagnostics") && context["diagnostics"].is_array() && wanted("quickfix")) {
    for (const json& d : context["diagnostics"]) {
      if (!d.is_object() || d.value("source", json()) != "tolvan" || !d.contains("range")) continue;
      const json code = d.value("code", json());
      const Position at{ToRange(d["range"]).start.line, 0};
      if (!doc.text.Contains(at)) continue;  // from an older text
      if (code == "missing-header")
        offer(Operation::kInsertHeader, {at, at}, "quickfix", json::array({d}));
      if (code == "stale-header")
        offer(Operation::kUpdateHeader, {at, at}, "quickfix", json::array({d}));
    }
  }

  if (range.start == range.end) {
    if (wanted(InfoOf(Operation::kInsertHeader).kind)) {
      offer(Operation::kInsertHeader, range, InfoOf(Operation::kInsertHeader).kind, nullptr);
    }
    if (wanted(InfoOf(Operation::kUpdateHeader).kind)) {
      Result<std::vector<HeaderFinding>> findings = Review(doc, *settings);
      if (!findings) options_.log(findings.message());
      // The stale header of the procedure at the cursor: the last
      // declaration at or above it, as long as no other declaration lies
      // between (findings list only reviewed procedures).
      const HeaderFinding* at = nullptr;
      if (findings) {
        for (const auto& f : *findings) {
          if (f.declaration_line <= range.start.line + 1 &&
              (!at || f.declaration_line > at->declaration_line))
            at = &f;
        }
      }
      if (at && at->kind == HeaderFinding::Kind::kStale) {
        const Position p{at->declaration_line - 1, 0};
        offer(Operation::kUpdateHeader, {p, p}, InfoOf(Operation::kUpdateHeader).kind, nullptr);
      }
    }
  } else {
    for (Operation op :
         {Operation::kMarkAdded, Operation::kMarkDeleted, Operation::kMarkModified}) {
      const OperationInfo& info = InfoOf(op);
      const int pattern = settings->intLinePattern[info.click];
      if (pattern < 1 || pattern > 3 || !wanted(info.kind)) continue;
      offer(op, range, info.kind, nullptr);
    }
  }
  return actions;
}

json Server::ExecuteCommand(const json& params) {
  const std::string command = StringMember(params, "command");
  const OperationInfo* info = nullptr;
  for (const auto& candidate : kOperations) {
    if (command == candidate.command) info = &candidate;
  }
  if (!info) throw RpcError{kInvalidParams, "unknown command " + command};
  const json& arguments = Member(params, "arguments");
  if (!arguments.is_array() || arguments.size() < 2 || !arguments[0].is_string()) {
    throw RpcError{kInvalidParams, command + " takes a document URI and a range"};
  }
  const std::string uri = arguments[0].get<std::string>();
  const Document& doc = Find(uri);
  if (!doc.is_module) throw RpcError{kInvalidParams, uri + " is not a Visual Basic module file"};
  Result<std::vector<TextEdit>> edits = Edits(doc, info->op, ToRange(arguments[1]));
  if (!edits) throw RpcError{kInternalError, edits.message()};
  if (!edits->empty()) {
    write_(Frame(Dump(json{
        {"jsonrpc", "2.0"},
        {"id", "tolvan-" + std::to_string(next_request_id_++)},
        {"method", "workspace/applyEdit"},
        {"params", json{{"label", Utf16ToUtf8(info->title)}, {"edit", FromEdits(uri, *edits)}}}})));
  }
  return nullptr;
}

void Server::PublishDiagnostics(const std::string& uri, Document& doc) {
  doc.review_due.reset();
  Result<SettingsRecord> settings = settings_.Load();
  if (!settings) return options_.log(settings.message());
  Result<std::vector<HeaderFinding>> findings = Review(doc, *settings);
  if (!findings) return options_.log(findings.message());
  json diagnostics = json::array();
  const long line_count = static_cast<long>(doc.text.lines().size());
  for (const auto& f : *findings) {
    if (f.declaration_line < 1 || f.declaration_line > line_count) continue;
    const long line = f.declaration_line - 1;
    const bool missing = f.kind == HeaderFinding::Kind::kMissing;
    std::u16string message =
        (missing ? u"ヘッダーコメントがありません: " : u"ヘッダーコメントが古くなっています: ") +
        f.procedure;
    if (!f.details.empty()) message += u"（" + f.details + u"）";
    diagnostics.push_back(json{
        {"range", FromRange({{line, 0}, {line, static_cast<long>(doc.text.lines()[line].size())}})},
        {"severity", 3},
        {"source", "tolvan"},
        {"code", missing ? "missing-header" : "stale-header"},
        {"message", Utf16ToUtf8(message)}});
  }
  Notify("textDocument/publishDiagnostics",
         json{{"uri", uri}, {"version", doc.version}, {"diagnostics", diagnostics}});
}

std::optional<Server::TimePoint> Server::NextDeadline() const {
  std::optional<TimePoint> next;
  for (const auto& [uri, doc] : documents_) {
    if (doc.review_due && (!next || *doc.review_due < *next)) next = doc.review_due;
  }
  return next;
}

void Server::RunDue(TimePoint now) {
  for (auto& [uri, doc] : documents_) {
    if (doc.review_due && *doc.review_due <= now) PublishDiagnostics(uri, doc);
  }
}

int RunLanguageServer(int in_fd, int out_fd, std::ostream& log) {
  std::unique_ptr<ServerInput> input = ServerInput::Open(in_fd);
  std::unique_ptr<ServerOutput> output = ServerOutput::Open(out_fd);
  bool output_open = true;
  auto write_all = [&](const std::string& bytes) {
    if (output_open && !output->Write(bytes)) {
      log << "Tolvan: the client's end of the output is closed\n";
      output_open = false;
    }
  };
  Server::Options options;
  options.review = std::make_shared<EngineHeaderReview>();
  options.log = [&log](const std::string& line) {
    log << "Tolvan: " << line << "\n" << std::flush;
  };
  Server server(write_all, options);
  std::string bytes;
  while (!server.exit_code() && output_open) {
    int timeout = -1;
    if (auto due = server.NextDeadline()) {
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
          *due - std::chrono::steady_clock::now());
      timeout = static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 60'000));
    }
    bytes.clear();
    switch (input->Wait(timeout, bytes)) {
      case ServerInput::Got::kBytes:
        server.Receive(bytes);
        break;
      case ServerInput::Got::kNothingYet:
        break;
      case ServerInput::Got::kEnd:
        return 1;  // the input ended without `exit`
      case ServerInput::Got::kFailed:
        log << "Tolvan: cannot wait for input\n";
        return 1;
    }
    server.RunDue(std::chrono::steady_clock::now());
  }
  return server.exit_code().value_or(1);
}

}  // namespace tolvan::lsp
