#include "lsp/Server.h"

#include <algorithm>
#include <ostream>

#include "app/Application.h"
#include "lsp/EngineHeaderReview.h"
#include "lsp/OpenedText.h"
#include "lsp/ServerStreams.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "project/ProjectRun.h"
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
constexpr int kRequestFailed = -32803;

// A request that cannot be answered with a result. Thrown inside this file
// only, and caught where the request is answered.
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

// Each kind of header finding: its diagnostic and the title of its fix.
struct FindingInfo {
  HeaderFinding::Kind kind;
  const char* code;
  const char16_t* message;  // the procedure follows
  const char16_t* fix_title;
};

const FindingInfo kFindings[] = {
    {HeaderFinding::Kind::kMissing, "missing-header", u"ヘッダーコメントがありません: ",
     u"ヘッダーコメントを挿入"},
    {HeaderFinding::Kind::kStale, "stale-header", u"ヘッダーコメントが古くなっています: ",
     u"ヘッダーコメントを更新"},
    {HeaderFinding::Kind::kForeign, "foreign-comment", u"ヘッダーではないコメント: ",
     u"ヘッダーコメントに取り込む"},
};

const FindingInfo& FindingInfoOf(HeaderFinding::Kind kind) {
  for (const auto& info : kFindings) {
    if (info.kind == kind) return info;
  }
  return kFindings[0];
}

const FindingInfo* FindingInfoOf(std::string_view code) {
  for (const auto& info : kFindings) {
    if (code == info.code) return &info;
  }
  return nullptr;
}

const OperationInfo& InfoOf(Operation op) {
  for (const auto& info : kOperations) {
    if (info.op == op) return info;
  }
  return kOperations[0];
}

std::string Dump(const json& j) {
  // Invalid UTF-8 from the client is replaced rather than refused.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A request's params as the struct of its method, or its refusal, which
// names the method and what is wrong.
template <class T>
T Need(Result<T> read, const std::string& method) {
  if (!read) throw RpcError{kInvalidParams, method + ": " + read.message()};
  return std::move(*read);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text of a line of the document, 1-based; empty outside it.
std::function<std::u16string_view(long)> LineTextOf(const TextDocument& text) {
  return [&text](long line) {
    if (line < 1 || line > text.line_count()) return std::u16string_view();
    return std::u16string_view(text.lines()[static_cast<size_t>(line - 1)].text);
  };
}

}  // namespace

std::vector<TextEdit> TextEditsOf(const TextDocument& doc,
                                  const std::vector<host::LineEdit>& edits) {
  // A line edit replaces whole lines of the text as it was, numbered from 1;
  // its new lines end in the text's first break, except a line that becomes
  // the last of a text that ends without one.
  const std::u16string_view newline = doc.newline();
  const long count = doc.line_count();
  const Position end_of_text{count - 1, doc.length(count - 1)};
  std::vector<TextEdit> out;
  for (const host::LineEdit& e : edits) {
    const long first = e.first_line - 1;
    const long after = first + e.removed;
    TextEdit edit;
    if (first >= count) {
      edit.range = {end_of_text, end_of_text};
      for (const std::u16string& line : e.lines) edit.new_text += std::u16string(newline) + line;
    } else if (after >= count) {
      edit.range = {{first, 0}, end_of_text};
      for (size_t i = 0; i < e.lines.size(); ++i)
        edit.new_text += (i ? std::u16string(newline) : u"") + e.lines[i];
    } else {
      edit.range = {{first, 0}, {after, 0}};
      for (const std::u16string& line : e.lines) edit.new_text += line + std::u16string(newline);
    }
    out.push_back(std::move(edit));
  }
  return out;
}

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
  if (!options_.clock) {
    system_clock_ = std::make_unique<SystemClock>();
    options_.clock = system_clock_.get();
  }
  if (!options_.now) options_.now = [] { return std::chrono::steady_clock::now(); };
  if (!options_.log) options_.log = [](const std::string&) {};
  if (!options_.fs) options_.fs = &DefaultFileSystem();
  workspace_.emplace(*options_.fs, options_.log);
}

void Server::Receive(std::string_view bytes) {
  reader_.Feed(bytes);
  std::vector<Result<json>> messages;
  while (auto next = reader_.Next()) {
    if (!*next) {
      options_.log(next->message());
      continue;
    }
    messages.push_back(ParseMessage(next->value()));
  }
  // A cancellation that arrives together with its request answers it.
  std::set<std::string> cancelled;
  for (const auto& message : messages) {
    if (!message) continue;
    const json& m = *message;
    if (m.is_object() && m.value("method", json()) == "$/cancelRequest" && m.contains("params") &&
        m["params"].is_object() && m["params"].contains("id")) {
      cancelled.insert(m["params"]["id"].dump());
    }
  }
  for (const auto& message : messages) {
    if (!message) {
      write_(Frame(
          Dump(json{{"jsonrpc", "2.0"},
                    {"id", nullptr},
                    {"error", json{{"code", kParseError}, {"message", message.message()}}}})));
      continue;
    }
    Handle(*message, cancelled);
  }
}

void Server::Handle(const json& message, const std::set<std::string>& cancelled) {
  auto respond_error = [&](const json& id, int code, const std::string& text) {
    write_(Frame(Dump(
        json{{"jsonrpc", "2.0"}, {"id", id}, {"error", json{{"code", code}, {"message", text}}}})));
  };
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
      options_.log(e.message);
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
    // The user hears at once of a settings file that is not there.
    if (method == "initialize") Settings();
  } catch (const RpcError& e) {
    respond_error(id, e.code, e.message);
  } catch (const std::exception& e) {
    respond_error(id, kInternalError, method + ": " + e.what());
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
  if (method == "textDocument/foldingRange") return FoldingRanges(params);
  if (method == "textDocument/documentSymbol") return DocumentSymbols(params);
  if (method == "textDocument/hover") return Hover(params);
  throw RpcError{kMethodNotFound, "unknown method " + method};
}

void Server::Notify(const std::string& method, const json& params) {
  write_(Frame(Dump(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}})));
}

json Server::Initialize(const json& params) {
  if (initialized_) throw RpcError{kInvalidRequest, "the server is already initialised"};
  const InitializeParams p = Need(ReadInitializeParams(params), "initialize");
  if (p.root_uri) {
    root_ = PathOfUri(*p.root_uri);
  } else if (p.root_path) {
    root_ = PathFromUtf8(*p.root_path);
  }
  review_enabled_ = p.review && options_.review;
  if (p.settings_file) {
    std::filesystem::path file = PathFromUtf8(*p.settings_file);
    if (file.is_relative() && !root_.empty()) file = root_ / file;
    // The separators of this system throughout, as the user sees paths here.
    workspace_->UseSettingsFile(PathUtf8(file.make_preferred()));
  }
  initialized_ = true;
  json kinds = json::array();
  json commands = json::array();
  for (const auto& info : kOperations) {
    // The update is the quick fix of a stale header, never a refactoring.
    if (info.op != Operation::kUpdateHeader) kinds.push_back(info.kind);
    commands.push_back(info.command);
  }
  kinds.push_back("quickfix");
  return json{
      {"capabilities",
       json{{"positionEncoding", "utf-16"},
            {"textDocumentSync", json{{"openClose", true}, {"change", 2}}},
            {"codeActionProvider", json{{"codeActionKinds", kinds}, {"resolveProvider", false}}},
            {"executeCommandProvider", json{{"commands", commands}}},
            {"foldingRangeProvider", true},
            {"documentSymbolProvider", true},
            {"hoverProvider", true}}},
      {"serverInfo", json{{"name", "tolvan"}, {"version", TOLVAN_VERSION}}},
  };
}

void Server::DidOpen(const json& params) {
  DidOpenParams p = Need(ReadDidOpenParams(params), "textDocument/didOpen");
  Document doc;
  doc.path = PathOfUri(p.uri);
  doc.is_module = IsModulePath(doc.path);
  doc.version = p.version;
  doc.text.SetText(p.text);
  if (doc.is_module) CheckEncoding(p.uri, doc);
  // Read with the opening, where the editor waits anyway, rather than at the
  // first keystroke's code action (half a second for 1,000,000 lines).
  if (doc.is_module) ReadOutline(doc);
  // Broken change markers are shown whether or not headers are reviewed.
  if (doc.is_module) doc.review_due = options_.now() + options_.review_delay;
  documents_[p.uri] = std::move(doc);
}

void Server::CheckEncoding(const std::string& uri, Document& doc) {
  Result<OpenedTextCheck> check = CheckOpenedText(*options_.fs, uri, doc.path, doc.text);
  if (!check) return options_.log(uri + ": not compared with the file: " + check.message());
  if (check->opened == OpenedAs::kEdited)
    return options_.log(uri +
                        ": not compared with the file: the editor's text has edits of its own");
  if (check->opened != OpenedAs::kOtherEncoding) return;
  doc.other_encoding = OtherEncodingMessage(doc.path, check->encoding);
  Notify("window/showMessage", json{{"type", 2}, {"message", "Tolvan: " + *doc.other_encoding}});
}

void Server::DidChange(const json& params) {
  const DidChangeParams p = Need(ReadDidChangeParams(params), "textDocument/didChange");
  Document& doc = Find("textDocument/didChange", p.uri);
  if (p.version) doc.version = *p.version;
  // One change inside a procedure's body (typing) only moves the procedures
  // below it.
  std::optional<std::pair<long, long>> lines;  // first line (1-based), lines replaced
  if (doc.outline && p.changes.size() == 1 && p.changes[0].range) {
    Range r{doc.text.Clamp(p.changes[0].range->start), doc.text.Clamp(p.changes[0].range->end)};
    if (r.end < r.start) std::swap(r.start, r.end);
    lines.emplace(r.start.line + 1, r.end.line - r.start.line + 1);
    if (!doc.outline->MayShift(lines->first, lines->second, LineTextOf(doc.text))) lines.reset();
  }
  const long before = doc.text.line_count();
  doc.text.Apply(p.changes);
  if (!lines ||
      !doc.outline->Shift(lines->first, lines->second,
                          doc.text.line_count() - before + lines->second, LineTextOf(doc.text))) {
    doc.outline.reset();
  }
  if (doc.is_module) doc.review_due = options_.now() + options_.review_delay;
}

void Server::DidClose(const json& params) {
  const DidCloseParams p = Need(ReadDidCloseParams(params), "textDocument/didClose");
  auto it = documents_.find(p.uri);
  if (it == documents_.end()) return;
  const bool had_diagnostics = it->second.is_module;
  documents_.erase(it);
  if (had_diagnostics)
    Notify("textDocument/publishDiagnostics", json{{"uri", p.uri}, {"diagnostics", json::array()}});
}

Server::Document& Server::Find(const std::string& method, const std::string& uri) {
  auto it = documents_.find(uri);
  if (it == documents_.end()) throw RpcError{kInvalidParams, method + ": unknown document " + uri};
  return it->second;
}

const Result<SettingsRecord>& Server::Settings() {
  const Result<SettingsRecord>& settings = workspace_->Settings();
  if (settings.ok()) {
    settings_problem_shown_ = false;
  } else if (!settings_problem_shown_) {
    settings_problem_shown_ = true;
    Notify("window/showMessage", json{{"type", 1}, {"message", "Tolvan: " + settings.message()}});
  }
  return settings;
}

Result<std::vector<TextEdit>> Server::Edits(Document& doc, Operation op, Range range,
                                            std::optional<bool>* missing_header,
                                            const std::vector<UserMacro>& macros) {
  Position start = range.start;
  Position end = range.end;
  const host::ProjectInfo& project = workspace_->ProjectOf(doc.path);
  if (op == Operation::kUpdateHeader) {
    if (!options_.review) return Status::Error("header comments are not recognised here");
    const Result<SettingsRecord>& settings = Settings();
    if (!settings) return settings.status();
    const std::u16string& text = doc.text.Utf16();
    Result<std::u16string> updated = options_.review->UpdateHeader(
        ReviewInput{doc.path, text, *settings, project, *options_.clock}, start.line + 1);
    if (!updated) return updated.status();
    return DiffText(doc.text, *updated);
  }
  const int click = InfoOf(op).click;
  if (click < 0) {
    end = start;  // a header is written for the cursor
  } else {
    if (start == end) return Status::Error("change markers need a selection");
    // A selection that ends at the start of a line (whole lines selected
    // in an editor) ends with the line above it.
    if (end.character == 0 && end.line > start.line) {
      --end.line;
      end.character = doc.text.length(end.line);
    }
  }
  const host::BufferModuleInfo info = ModuleInfoOf(doc, project);
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) return settings.status();
  const app::FileRange at{start.line + 1, start.character + 1, end.line + 1, end.character + 1};
  const app::Keys keys{click == 1, click == 2};
  // The command as `tolvan comment` runs it, on the part of the buffer it
  // reads.
  const app::BufferLines lines = LinesOf(doc, info);
  app::AroundOutcome around = app::CommentAround(*options_.fs, lines, *settings, at, keys,
                                                 app::RunValues{options_.clock->Now(), macros});
  if (!around.read_whole) {
    for (const std::string& note : around.outcome.notes) options_.log(note);
    if (!around.outcome.ok()) return Status::Error(around.outcome.Failure());
    if (missing_header && options_.review && options_.review->IsApplicationReview())
      *missing_header = around.missing_header;
    return TextEditsOf(doc.text, around.outcome.edits);
  }
  // The whole text, where the part around the lines cannot stand for it.
  const app::Buffer buffer{doc.text.Utf16(), info, PathUtf8(doc.path)};
  app::Outcome outcome = app::CommentBuffer(*options_.fs, buffer, *settings, at, keys,
                                            app::RunValues{options_.clock->Now(), macros});
  for (const std::string& note : outcome.notes) options_.log(note);
  if (!outcome.ok()) return Status::Error(outcome.Failure());
  return TextEditsOf(doc.text, outcome.edits);
}

host::BufferModuleInfo Server::ModuleInfoOf(const Document& doc,
                                            const host::ProjectInfo& project) const {
  return host::BufferModuleInfo{Utf8ToUtf16(PathUtf8(doc.path.stem())),
                                host::ComponentTypeOf(doc.path, false), project};
}

void Server::ReadOutline(Document& doc) {
  if (auto model = host::ModuleDocument::FromText(doc.text.Utf16(), PathUtf8(doc.path)))
    doc.outline = host::ProcedureOutline::Of(*model, doc.text.line_count());
}

app::BufferLines Server::LinesOf(Document& doc, const host::BufferModuleInfo& info) {
  // The outline that finds the part an operation reads is read once per
  // change that moves more than line numbers.
  if (!doc.outline) ReadOutline(doc);
  const TextDocument& text = doc.text;
  return app::BufferLines{
      text.line_count(),
      LineTextOf(text),
      [&text](long line) { return BreakText(text.lines()[static_cast<size_t>(line - 1)].end); },
      doc.outline ? &*doc.outline : nullptr,
      info,
      PathUtf8(doc.path)};
}

const Result<std::vector<HeaderFinding>>& Server::Review(Document& doc,
                                                         const SettingsRecord& settings) {
  const host::ProjectInfo& project = workspace_->ProjectOf(doc.path);
  if (doc.review && doc.review->revision == doc.text.revision() &&
      doc.review->settings == workspace_->generation() &&
      doc.review->project_name == project.name &&
      doc.review->project_description == project.description) {
    return doc.review->findings;
  }
  Document::Review review{doc.text.revision(), workspace_->generation(), project.name,
                          project.description, std::vector<HeaderFinding>{}};
  std::optional<Result<std::vector<app::BufferFinding>>> around;
  if (options_.review && options_.review->IsApplicationReview()) {
    // Chunk by chunk, each chunk unchanged since the last review taken as
    // it was: typing in one procedure reads that procedure's chunk again.
    around =
        app::ReviewAround(LinesOf(doc, ModuleInfoOf(doc, project)), settings, options_.clock->Now(),
                          std::to_string(workspace_->generation()) + "\n" +
                              Utf16ToUtf8(project.name) + "\n" + Utf16ToUtf8(project.description),
                          doc.review_chunks);
  }
  if (around) {
    if (*around) {
      review.findings = HeaderFindingsOf(std::move(**around));
    } else {
      review.findings = around->status();
    }
  } else if (options_.review) {
    const std::u16string& text = doc.text.Utf16();
    review.findings =
        options_.review->Review(ReviewInput{doc.path, text, settings, project, *options_.clock});
  }
  doc.review = std::move(review);
  return doc.review->findings;
}

bool Server::IsMissingHeaderFix(Document& doc, const SettingsRecord& settings,
                                const std::vector<TextEdit>& edits) {
  if (!options_.review) return true;
  const Result<std::vector<HeaderFinding>>& findings = Review(doc, settings);
  if (!findings) return true;  // logged by the diagnostics; the command decides
  return std::any_of(findings->begin(), findings->end(), [&](const HeaderFinding& f) {
    return f.kind == HeaderFinding::Kind::kMissing && TextEditsOf(doc.text, f.fix) == edits;
  });
}

json Server::CodeActions(const json& params) {
  const std::string method = "textDocument/codeAction";
  const CodeActionParams p = Need(ReadCodeActionParams(params), method);
  Document& doc = Find(method, p.uri);
  json actions = json::array();
  if (!doc.is_module || doc.other_encoding) return actions;
  Range range{doc.text.Clamp(p.range.start), doc.text.Clamp(p.range.end)};
  if (range.end < range.start) std::swap(range.start, range.end);
  auto wanted = [&](const std::string& kind) {
    if (p.only.empty()) return true;
    return std::any_of(p.only.begin(), p.only.end(), [&](const std::string& o) {
      return kind == o ||
             (kind.size() > o.size() && kind.compare(0, o.size(), o) == 0 && kind[o.size()] == '.');
    });
  };
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) throw RpcError{kRequestFailed, method + ": " + settings.message()};

  auto offer = [&](Operation op, const Range& at, const std::string& kind, json diagnostics) {
    Result<std::vector<TextEdit>> edits = Edits(doc, op, at);
    if (!edits) {
      options_.log(std::string(InfoOf(op).command) + ": " + edits.message());
      return;
    }
    if (edits->empty()) return;
    json action{{"title", Utf16ToUtf8(InfoOf(op).title)},
                {"kind", kind},
                {"edit", ToWorkspaceEdit(p.uri, *edits)}};
    if (!diagnostics.is_null()) {
      action["diagnostics"] = std::move(diagnostics);
      action["isPreferred"] = true;
    }
    actions.push_back(std::move(action));
  };

  // Quick fixes for the review's diagnostics, from the one review of this
  // version: each finding carries its fix, so a thousand diagnostics cost
  // one review, not a thousand runs of the command.
  if (wanted("quickfix") && !p.diagnostics.empty()) {
    const Result<std::vector<HeaderFinding>>& findings = Review(doc, *settings);
    if (!findings) options_.log(findings.message());
    std::map<std::pair<long, HeaderFinding::Kind>, const HeaderFinding*> by_line;
    if (findings) {
      for (const HeaderFinding& f : *findings)
        by_line.emplace(std::make_pair(f.declaration_line, f.kind), &f);
    }
    for (const ContextDiagnostic& d : p.diagnostics) {
      const FindingInfo* info = FindingInfoOf(d.code);
      if (!info) continue;
      if (d.range.start.line >= doc.text.line_count()) continue;  // from an older text
      const Position at{d.range.start.line, 0};
      auto found = by_line.find({d.range.start.line + 1, info->kind});
      if (found != by_line.end() && !found->second->fix.empty()) {
        actions.push_back(
            json{{"title", Utf16ToUtf8(info->fix_title)},
                 {"kind", "quickfix"},
                 {"edit", ToWorkspaceEdit(p.uri, TextEditsOf(doc.text, found->second->fix))},
                 {"diagnostics", json::array({d.raw})},
                 {"isPreferred", true}});
      } else if (info->kind != HeaderFinding::Kind::kForeign) {
        // Adopting needs the review's reading of the comment; the others
        // can be asked of the command.
        offer(info->kind == HeaderFinding::Kind::kMissing ? Operation::kInsertHeader
                                                          : Operation::kUpdateHeader,
              {at, at}, "quickfix", json::array({d.raw}));
      }
    }
  }

  if (range.start == range.end) {
    // Insertion only where the procedure has no header of either kind: with
    // a review, the insertion must be the fix of one of its missing
    // headers (a current header or the user's own comment is no place for
    // a second one). A stale header is updated by its diagnostic's quick
    // fix alone, so that the cursor in one procedure never offers to
    // rewrite the header of another.
    const OperationInfo& insert = InfoOf(Operation::kInsertHeader);
    if (wanted(insert.kind)) {
      std::optional<bool> missing;
      Result<std::vector<TextEdit>> edits = Edits(doc, Operation::kInsertHeader, range, &missing);
      if (!edits) {
        options_.log(std::string(insert.command) + ": " + edits.message());
      } else if (!edits->empty() &&
                 (missing ? *missing : IsMissingHeaderFix(doc, *settings, *edits))) {
        actions.push_back(json{{"title", Utf16ToUtf8(insert.title)},
                               {"kind", insert.kind},
                               {"edit", ToWorkspaceEdit(p.uri, *edits)}});
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
  const std::string method = "workspace/executeCommand";
  std::vector<std::string> commands;
  for (const auto& info : kOperations) commands.push_back(info.command);
  const ExecuteCommandParams p = Need(ReadExecuteCommandParams(params, commands), method);
  const OperationInfo* info = nullptr;
  for (const auto& candidate : kOperations) {
    if (p.command == candidate.command) info = &candidate;
  }
  Document& doc = Find(method, p.uri);
  if (!doc.is_module)
    throw RpcError{kInvalidParams, method + ": " + p.uri + " is not a Visual Basic module file"};
  if (doc.other_encoding) throw RpcError{kRequestFailed, method + ": " + *doc.other_encoding};
  Range range{doc.text.Clamp(p.range.start), doc.text.Clamp(p.range.end)};
  if (range.end < range.start) std::swap(range.start, range.end);
  if (const Result<SettingsRecord>& settings = Settings(); !settings)
    throw RpcError{kRequestFailed, method + ": " + settings.message()};
  std::vector<UserMacro> macros;
  for (const auto& [name, value] : p.macros) {
    Result<UserMacro> macro = app::RunMacro(name, value);
    if (!macro) throw RpcError{kInvalidParams, method + ": " + macro.message()};
    macros.push_back(std::move(*macro));
  }
  Result<std::vector<TextEdit>> edits = Edits(doc, info->op, range, nullptr, macros);
  if (!edits) throw RpcError{kRequestFailed, p.command + ": " + edits.message()};
  if (!edits->empty()) {
    write_(Frame(Dump(json{{"jsonrpc", "2.0"},
                           {"id", "tolvan-" + std::to_string(next_request_id_++)},
                           {"method", "workspace/applyEdit"},
                           {"params", json{{"label", Utf16ToUtf8(info->title)},
                                           {"edit", ToWorkspaceEdit(p.uri, *edits)}}}})));
  }
  return nullptr;
}

void Server::PublishDiagnostics(const std::string& uri, Document& doc) {
  doc.review_due.reset();
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) return options_.log(settings.message());
  json diagnostics = json::array();
  const long line_count = doc.text.line_count();
  auto line_range = [&](long line) {
    return ToJson(Range{{line, 0}, {line, doc.text.length(line)}});
  };
  if (review_enabled_) {
    const Result<std::vector<HeaderFinding>>& findings = Review(doc, *settings);
    if (!findings) return options_.log(findings.message());
    for (const auto& f : *findings) {
      if (f.declaration_line < 1 || f.declaration_line > line_count) continue;
      const FindingInfo& info = FindingInfoOf(f.kind);
      std::u16string message = info.message + f.procedure;
      if (!f.details.empty()) message += u"（" + f.details + u"）";
      diagnostics.push_back(json{{"range", line_range(f.declaration_line - 1)},
                                 {"severity", 3},
                                 {"source", "tolvan"},
                                 {"code", info.code},
                                 {"message", Utf16ToUtf8(message)}});
    }
  }
  const Result<ChangeReading>& changes = Changes(doc, *settings);
  if (!changes) {
    options_.log(changes.message());
  } else {
    // A pair that does not close is a warning: `review` fails on it.
    for (const MarkerProblem& problem : changes->problems) {
      if (problem.line < 1 || problem.line > line_count) continue;
      diagnostics.push_back(json{{"range", line_range(problem.line - 1)},
                                 {"severity", 2},
                                 {"source", "tolvan"},
                                 {"code", "unbalanced-marker"},
                                 {"message", problem.message}});
    }
  }
  Notify("textDocument/publishDiagnostics",
         json{{"uri", uri}, {"version", doc.version}, {"diagnostics", diagnostics}});
}

const Result<ChangeReading>& Server::Changes(Document& doc, const SettingsRecord& settings) {
  if (doc.changes && doc.changes->revision == doc.text.revision() &&
      doc.changes->settings == workspace_->generation()) {
    return doc.changes->reading;
  }
  if (!change_readers_ || readers_settings_ != workspace_->generation()) {
    change_readers_.emplace(settings, project::FactoryDefaults(), std::vector<std::string>{},
                            std::string());
    readers_settings_ = workspace_->generation();
  }
  Document::Changes changes{doc.text.revision(), workspace_->generation(), ChangeReading{}};
  Result<const ChangeMarkers*> reader = change_readers_->For(doc.path);
  if (!reader) {
    changes.reading = reader.status();
  } else {
    std::vector<std::u16string> lines;
    lines.reserve(doc.text.lines().size());
    for (const Line& line : doc.text.lines()) lines.push_back(line.text);
    changes.reading = (*reader)->Read(lines);
  }
  doc.changes = std::move(changes);
  return doc.changes->reading;
}

namespace {

// The blocks (by opening line, nested ones after the block holding them)
// as the protocol's document symbols, nested as they nest.
json SymbolsOf(const std::vector<ChangeBlock>& blocks, size_t& next, long until,
               const TextDocument& text) {
  json symbols = json::array();
  const long count = text.line_count();
  while (next < blocks.size() && blocks[next].first_line <= until) {
    const ChangeBlock& b = blocks[next++];
    const long first = std::clamp(b.first_line - 1, 0L, count - 1);
    const long last = std::clamp(b.last_line - 1, first, count - 1);
    json symbol{{"name", Utf16ToUtf8(DescribeChangeBlock(b))},
                {"detail", Utf16ToUtf8(b.marker)},
                {"kind", 3},  // Namespace: a container, as editors draw it
                {"range", ToJson(Range{{first, 0}, {last, text.length(last)}})},
                {"selectionRange", ToJson(Range{{first, 0}, {first, text.length(first)}})}};
    json children = SymbolsOf(blocks, next, b.last_line, text);
    if (!children.empty()) symbol["children"] = std::move(children);
    symbols.push_back(std::move(symbol));
  }
  return symbols;
}

}  // namespace

json Server::FoldingRanges(const json& params) {
  const std::string method = "textDocument/foldingRange";
  const TextDocumentParams p = Need(ReadTextDocumentParams(params), method);
  Document& doc = Find(method, p.uri);
  json ranges = json::array();
  if (!doc.is_module) return ranges;
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) throw RpcError{kRequestFailed, method + ": " + settings.message()};
  const Result<ChangeReading>& changes = Changes(doc, *settings);
  if (!changes) throw RpcError{kRequestFailed, method + ": " + changes.message()};
  for (const ChangeBlock& b : changes->blocks) {
    ranges.push_back(
        json{{"startLine", b.first_line - 1}, {"endLine", b.last_line - 1}, {"kind", "region"}});
  }
  return ranges;
}

json Server::DocumentSymbols(const json& params) {
  const std::string method = "textDocument/documentSymbol";
  const TextDocumentParams p = Need(ReadTextDocumentParams(params), method);
  Document& doc = Find(method, p.uri);
  if (!doc.is_module) return json::array();
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) throw RpcError{kRequestFailed, method + ": " + settings.message()};
  const Result<ChangeReading>& changes = Changes(doc, *settings);
  if (!changes) throw RpcError{kRequestFailed, method + ": " + changes.message()};
  size_t next = 0;
  return SymbolsOf(changes->blocks, next, doc.text.line_count() + 1, doc.text);
}

json Server::Hover(const json& params) {
  const std::string method = "textDocument/hover";
  const TextDocumentPositionParams p = Need(ReadTextDocumentPositionParams(params), method);
  Document& doc = Find(method, p.uri);
  if (!doc.is_module) return nullptr;
  const Result<SettingsRecord>& settings = Settings();
  if (!settings) throw RpcError{kRequestFailed, method + ": " + settings.message()};
  const Result<ChangeReading>& changes = Changes(doc, *settings);
  if (!changes) throw RpcError{kRequestFailed, method + ": " + changes.message()};
  const long line = doc.text.Clamp(p.position).line;
  const ChangeBlock* block = ChangeBlockAt(changes->blocks, line + 1);
  // Only the marker lines: the code between is the user's to hover on.
  if (!block || (block->first_line != line + 1 && block->last_line != line + 1)) return nullptr;
  return json{
      {"contents", json{{"kind", "plaintext"}, {"value", Utf16ToUtf8(ChangeBlockHover(*block))}}},
      {"range", ToJson(Range{{line, 0}, {line, doc.text.length(line)}})}};
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

int RunLanguageServer(int in_fd, int out_fd, std::ostream& log, FileSystem& fs) {
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
  options.fs = &fs;
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
