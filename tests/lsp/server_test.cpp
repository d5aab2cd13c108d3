// The language server driven in-process, as an editor drives it: framing,
// the protocol's error cases, the code actions (compared with what
// `tolvan comment` writes for the same position and keys), commands, the
// debounced review, and a fuzzed stream it must survive.
#include "lsp/Server.h"

#include <gtest/gtest.h>

#include "lsp/EngineHeaderReview.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "settings/SettingsContext.h"
#include "settings/clsSaveSetting.h"
#include "support/FaultyFileSystem.h"

namespace tolvan::lsp {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

const char kModule[] =
    "Attribute VB_Name = \"modCalc\"\n"
    "Option Explicit\n"
    "\n"
    "Public Function Add(ByVal a As Long, ByVal b As Long) As Long\n"
    "    Add = a + b\n"
    "End Function\n"
    "\n"
    "Private Sub Show(s As String)\n"
    "    Debug.Print s ' 表示\n"
    "End Sub\n";

// Findings and updates given by the test.
class FakeReview : public HeaderReview {
 public:
  Result<std::vector<HeaderFinding>> Review(const ReviewInput&) const override {
    ++reviews;
    return findings;
  }
  // The procedure holding `line` is the last finding at or above it; a
  // stale one gets the line above its declaration replaced.
  Result<std::u16string> UpdateHeader(const ReviewInput& input, long line) const override {
    const HeaderFinding* at = nullptr;
    for (const auto& f : findings) {
      if (f.declaration_line <= line && (!at || f.declaration_line >= at->declaration_line))
        at = &f;
    }
    if (!at || at->kind != HeaderFinding::Kind::kStale)
      return Status::Error("the header there is up to date");
    updated_line = at->declaration_line;
    TextDocument doc(input.text);
    const long above = at->declaration_line - 2;
    doc.Replace({{above, 0}, {above, doc.length(above)}}, u"' updated");
    return doc.Text();
  }
  std::vector<HeaderFinding> findings;
  mutable int reviews = 0;
  mutable long updated_line = 0;
};

// The file URI of a path, as an editor sends it: "file:///C:/a/b.bas" on
// Windows.
std::string FileUri(const std::filesystem::path& path) {
  std::string text = PathUtf8(path);
  std::replace(text.begin(), text.end(), '\\', '/');
  return "file://" + (text.starts_with("/") ? text : "/" + text);
}

class LspServer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tolvan-lsp-" + std::to_string(testing::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    testing::SetEnv("XDG_CONFIG_HOME", PathUtf8(dir_ / "config"));
    module_ = dir_ / "modCalc.bas";
    uri_ = FileUri(module_);
    review_ = std::make_shared<FakeReview>();
    MakeServer(std::make_shared<EngineHeaderReview>());
  }
  void MakeServer(std::shared_ptr<const HeaderReview> review) {
    Server::Options options;
    options.review = std::move(review);
    options.clock = &clock_;
    options.review_delay = 300ms;
    options.now = [this] { return now_; };
    options.fs = fs_;
    server_ = std::make_unique<Server>(
        [this](const std::string& bytes) {
          out_.Feed(bytes);
          while (auto m = out_.Next()) sent_.push_back(json::parse(m->value()));
        },
        options);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void SendRaw(std::string_view bytes) { server_->Receive(bytes); }
  void Send(const json& message) { SendRaw(Frame(message.dump())); }
  json Request(const std::string& method, const json& params) {
    const long id = next_id_++;
    Send(json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    return ResponseTo(id);
  }
  json ResponseTo(const json& id) {
    for (const auto& m : sent_) {
      if (m.contains("id") && m["id"] == id && !m.contains("method")) return m;
    }
    return json();
  }
  void Initialize(json options = json::object()) {
    json r = Request("initialize", {{"rootUri", FileUri(dir_)},
                                    {"capabilities", json::object()},
                                    {"initializationOptions", options}});
    ASSERT_TRUE(r.contains("result")) << r.dump();
    Send({{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}});
  }
  void Open(const std::string& text, const std::string& uri = "") {
    Send({{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params",
           {{"textDocument",
             {{"uri", uri.empty() ? uri_ : uri},
              {"languageId", "vb"},
              {"version", 1},
              {"text", text}}}}}});
  }
  static json RangeOf(long l1, long c1, long l2, long c2) {
    return {{"start", {{"line", l1}, {"character", c1}}},
            {"end", {{"line", l2}, {"character", c2}}}};
  }
  json Actions(long l1, long c1, long l2, long c2, json context = json::object()) {
    return Request("textDocument/codeAction", {{"textDocument", {{"uri", uri_}}},
                                               {"range", RangeOf(l1, c1, l2, c2)},
                                               {"context", context}});
  }
  // The buffer after applying an action's edits, as an editor would.
  static std::string ApplyEdit(const std::string& text, const json& edit, const std::string& uri) {
    TextDocument doc(Utf8ToUtf16(text));
    for (const auto& e : edit["changes"][uri]) {
      Range r{{e["range"]["start"]["line"], e["range"]["start"]["character"]},
              {e["range"]["end"]["line"], e["range"]["end"]["character"]}};
      doc.Replace(r, Utf8ToUtf16(e["newText"].get<std::string>()));
    }
    return doc.Utf8();
  }
  // What `tolvan comment` writes for the same file and arguments.
  std::string CommandLine(std::vector<std::string> args, const std::string& module = kModule) {
    // In a folder of the same name: without a .vbp the folder names the project.
    std::filesystem::path copy = dir_ / "cli" / dir_.filename() / "modCalc.bas";
    std::filesystem::create_directories(copy.parent_path());
    EXPECT_TRUE(WriteFileAtomically(PathUtf8(copy), module).ok());
    args.insert(args.begin(),
                {"comment", PathUtf8(copy), "--stdout", "--now", "2026-12-08 09:30:00"});
    auto run = testing::Tolvan(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }

  std::filesystem::path dir_, module_;
  std::string uri_;
  FixedClock clock_{LocalDateTime{2026, 12, 8, 9, 30, 0}};
  Server::TimePoint now_{};
  std::shared_ptr<FakeReview> review_;
  FileSystem* fs_ = nullptr;  // the machine's when null
  std::unique_ptr<Server> server_;
  MessageReader out_;
  std::vector<json> sent_;
  long next_id_ = 1;
};

TEST_F(LspServer, FramingInAnyPieces) {
  Initialize();
  const std::string a = Frame(R"({"jsonrpc":"2.0","id":"a","method":"nosuch"})");
  const std::string b = Frame(R"({"jsonrpc":"2.0","id":"b","method":"nosuch"})");
  struct Row {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> ids;
  };
  const std::vector<Row> rows = {
      {"split inside the header", {a.substr(0, 7), a.substr(7)}, {"a"}},
      {"split inside the body", {a.substr(0, a.size() - 5), a.substr(a.size() - 5)}, {"a"}},
      {"byte by byte", {}, {"a"}},
      {"two messages in one read", {a + b}, {"a", "b"}},
      {"one and a half, then the rest", {a + b.substr(0, 10), b.substr(10)}, {"a", "b"}},
      {"lower-case name and a content type",
       {"content-length: 44\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n" +
        std::string(R"({"jsonrpc":"2.0","id":"a","method":"nosuch"})")},
       {"a"}},
      {"garbage before a header", {"xyz\r\n\r\n" + a}, {"a"}},
      {"garbage glued to the header", {"xyz" + a}, {"a"}},
  };
  for (Row row : rows) {
    if (row.reads.empty()) {
      for (char c : a) row.reads.emplace_back(1, c);
    }
    sent_.clear();
    for (const auto& r : row.reads) SendRaw(r);
    std::vector<std::string> ids;
    for (const auto& m : sent_) ids.push_back(m["id"].get<std::string>());
    EXPECT_EQ(ids, row.ids) << row.name;
    for (const auto& m : sent_) EXPECT_EQ(m["error"]["code"], -32601) << row.name;
  }
}

TEST_F(LspServer, BadRequestsGetErrorsAndTheServerGoesOn) {
  json before = Request("textDocument/codeAction", json::object());
  EXPECT_EQ(before["error"]["code"], -32002) << "requests before initialize";
  Initialize();
  Open(kModule);
  struct Row {
    const char* name;
    std::string content;
    int code;
    std::string message_part;
  };
  const std::string range =
      R"("range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}})";
  const Row rows[] = {
      {"bad JSON", R"({"jsonrpc":"2.0","id":1,"method":)", -32700, "not valid JSON"},
      {"not an object", R"([1,2])", -32600, "JSON object"},
      {"unknown method", R"({"jsonrpc":"2.0","id":1,"method":"textDocument/rename","params":{}})",
       -32601, "textDocument/rename"},
      {"a hover without its position",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":{"textDocument":{"uri":")" +
           uri_ + R"("}}})",
       -32602, "textDocument/hover: "},
      {"unknown document",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"file:///no.bas"},)" +
           range + "}}",
       -32602, "unknown document file:///no.bas"},
      {"a line that is not a number",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/codeAction","params":{"textDocument":{"uri":")" +
           uri_ +
           R"("},"range":{"start":{"line":"4","character":0},"end":{"line":4,"character":0}}}})",
       -32602, "textDocument/codeAction: \"range.start.line\" is not an integer"},
      {"a negative column",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/codeAction","params":{"textDocument":{"uri":")" +
           uri_ +
           R"("},"range":{"start":{"line":4,"character":0},"end":{"line":4,"character":-1}}}})",
       -32602, "textDocument/codeAction: \"range.end.character\" is negative"},
      {"parameters of the wrong type",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/codeAction","params":{"textDocument":{"uri":7}}})",
       -32602, "textDocument/codeAction: \"textDocument.uri\" is not a string"},
      {"a message nested 100,000 arrays deep",
       R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":)" + std::string(100'000, '[') +
           std::string(100'000, ']') + "}",
       -32700, "the message nests deeper than 64 levels"},
      {"unknown command",
       R"({"jsonrpc":"2.0","id":1,"method":"workspace/executeCommand","params":{"command":"x","arguments":[]}})",
       -32602, "unknown command x"},
  };
  for (const Row& row : rows) {
    sent_.clear();
    SendRaw(Frame(row.content));
    ASSERT_EQ(sent_.size(), 1u) << row.name;
    EXPECT_EQ(sent_[0]["error"]["code"], row.code) << row.name;
    EXPECT_NE(sent_[0]["error"]["message"].get<std::string>().find(row.message_part),
              std::string::npos)
        << row.name << ": " << sent_[0].dump();
  }
  // Notifications with bad parameters are dropped without an answer.
  sent_.clear();
  SendRaw(Frame(
      R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":"file:///no.bas"},"contentChanges":[]}})"));
  SendRaw(Frame(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":5})"));
  EXPECT_TRUE(sent_.empty());
  EXPECT_TRUE(Actions(4, 0, 4, 0).contains("result"));
}

TEST_F(LspServer, CancelShutdownAndExit) {
  Initialize();
  Open(kModule);
  sent_.clear();
  SendRaw(Frame(R"({"jsonrpc":"2.0","id":41,"method":"textDocument/codeAction","params":{}})") +
          Frame(R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":41}})"));
  EXPECT_EQ(ResponseTo(41)["error"]["code"], -32800);

  EXPECT_TRUE(Request("shutdown", nullptr).contains("result"));
  EXPECT_EQ(Actions(4, 0, 4, 0)["error"]["code"], -32600) << "requests after shutdown";
  EXPECT_FALSE(server_->exit_code());
  Send({{"jsonrpc", "2.0"}, {"method", "exit"}});
  EXPECT_EQ(server_->exit_code(), 0);

  SetUp();
  Initialize();
  Send({{"jsonrpc", "2.0"}, {"method", "exit"}});
  EXPECT_EQ(server_->exit_code(), 1) << "exit without shutdown";
}

TEST_F(LspServer, ActionsWriteWhatTheCommandLineWrites) {
  Initialize();
  Open(kModule);
  struct Row {
    const char* name;
    long l1, c1, l2, c2;  // the editor's range
    std::string kind;
    std::vector<std::string> cli;  // the same on the command line
  };
  const Row rows[] = {
      {"header of a function",
       4,
       4,
       4,
       4,
       "refactor.rewrite.tolvan.insertHeader",
       {"--line", "5", "--column", "5"}},
      {"header of a Sub, cursor on a blank line above",
       6,
       0,
       6,
       0,
       "refactor.rewrite.tolvan.insertHeader",
       {"--line", "7"}},
      {"module header",
       1,
       3,
       1,
       3,
       "refactor.rewrite.tolvan.insertHeader",
       {"--line", "2", "--column", "4"}},
      {"whole lines selected, plain click",
       4,
       0,
       6,
       0,
       "refactor.rewrite.tolvan.markAdded",
       {"--line", "5", "--end-line", "6", "--end-column", "13"}},
      {"Shift click",
       7,
       0,
       9,
       7,
       "refactor.rewrite.tolvan.markDeleted",
       {"--line", "8", "--end-line", "10", "--end-column", "8", "--shift"}},
      {"Ctrl click inside one line",
       8,
       4,
       8,
       9,
       "refactor.rewrite.tolvan.markModified",
       {"--line", "9", "--column", "5", "--end-line", "9", "--end-column", "10", "--ctrl"}},
  };
  for (const Row& row : rows) {
    json response = Actions(row.l1, row.c1, row.l2, row.c2);
    const json* chosen = nullptr;
    for (const auto& a : response["result"]) {
      if (a["kind"] == row.kind) chosen = &a;
    }
    ASSERT_TRUE(chosen) << row.name << ": " << response.dump();
    EXPECT_EQ(ApplyEdit(kModule, (*chosen)["edit"], uri_), CommandLine(row.cli)) << row.name;
  }
  // A cursor offers the header only, a selection the three markers only.
  EXPECT_EQ(Actions(4, 4, 4, 4)["result"].size(), 1u);
  EXPECT_EQ(Actions(4, 0, 5, 0)["result"].size(), 3u);
  json only = Actions(4, 0, 5, 0, {{"only", {"refactor.rewrite.tolvan.markDeleted"}}});
  ASSERT_EQ(only["result"].size(), 1u);
  EXPECT_EQ(only["result"][0]["title"], "行コメントを挿入（Shift＋クリック）");
}

// The edits come from the command's line edits: they must give its bytes
// whatever breaks the module has and whether its last line has one.
TEST_F(LspServer, ActionsKeepEveryLineEnd) {
  Initialize();
  std::string crlf = kModule;
  for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
    crlf.replace(at, 1, "\r\n");
  const std::string modules[] = {kModule, crlf.substr(0, crlf.size() - 2),
                                 std::string(kModule).substr(0, sizeof kModule - 2)};
  struct Row {
    const char* name;
    long l1, c1, l2, c2;
    std::string kind;
    std::vector<std::string> cli;
  };
  const Row rows[] = {
      {"header of the last procedure",
       8,
       2,
       8,
       2,
       "refactor.rewrite.tolvan.insertHeader",
       {"--line", "9", "--column", "3"}},
      {"Shift click over the last lines",
       8,
       0,
       9,
       7,
       "refactor.rewrite.tolvan.markDeleted",
       {"--line", "9", "--end-line", "10", "--end-column", "8", "--shift"}},
      {"module header", 0, 0, 0, 0, "refactor.rewrite.tolvan.insertHeader", {"--line", "1"}},
  };
  for (size_t m = 0; m < std::size(modules); ++m) {
    Open(modules[m]);
    for (const Row& row : rows) {
      json response = Actions(row.l1, row.c1, row.l2, row.c2);
      const json* chosen = nullptr;
      for (const auto& a : response["result"]) {
        if (a["kind"] == row.kind) chosen = &a;
      }
      ASSERT_TRUE(chosen) << row.name << ": " << response.dump();
      EXPECT_EQ(ApplyEdit(modules[m], (*chosen)["edit"], uri_), CommandLine(row.cli, modules[m]))
          << row.name << ", module " << m;
    }
  }
}

TEST_F(LspServer, SettingsFileFromTheWorkspaceIsReadAgainWhenItChanges) {
  // The team's settings: a plain click gives pattern 2, Shift+click nothing.
  const std::filesystem::path team = dir_ / "team";
  std::filesystem::create_directories(team);
  std::filesystem::copy_file(TOLVAN_FIXTURE_DIR "/settings/v04/Team.dat", team / "Team.dat");
  auto write_ini = [&](const std::string& shift_pattern) {
    std::FILE* in = std::fopen(TOLVAN_FIXTURE_DIR "/settings/v04/Team.ini", "rb");
    std::string ini;
    for (int c; (c = std::fgetc(in)) != EOF;) ini.push_back(static_cast<char>(c));
    std::fclose(in);
    const size_t at = ini.find("Pattern1=1");
    ASSERT_NE(at, std::string::npos);
    ini.replace(at, 10, "Pattern1=" + shift_pattern);
    ASSERT_TRUE(WriteFileAtomically(PathUtf8(team / "Team.ini"), ini).ok());
  };
  write_ini("0");
  Initialize({{"settingsFile", "team/Team.ini"}});
  Open(kModule);
  json actions = Actions(4, 0, 5, 0);
  std::vector<std::string> kinds;
  for (const auto& a : actions["result"]) kinds.push_back(a["kind"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"refactor.rewrite.tolvan.markAdded",
                                             "refactor.rewrite.tolvan.markModified"}))
      << "a click whose pattern is 0 is not offered";
  EXPECT_EQ(ApplyEdit(kModule, actions["result"][0]["edit"], uri_),
            CommandLine({"--line", "5", "--end-line", "5", "--end-column", "16", "--settings",
                         PathUtf8(team / "Team.ini")}));
  write_ini("1");
  EXPECT_EQ(Actions(4, 0, 5, 0)["result"].size(), 3u) << "the changed file is read again";
}

// The project is read once per folder, and again when a .vbp comes or
// changes.
TEST_F(LspServer, TheProjectIsReadAgainWhenItsFileChanges) {
  Initialize();
  Open(kModule);
  auto module_header = [&] {
    json r = Actions(0, 0, 0, 0);
    return r["result"].empty()
               ? std::string()
               : r["result"][0]["edit"]["changes"][uri_][0]["newText"].get<std::string>();
  };
  const std::string folder = PathUtf8(dir_.filename());
  EXPECT_NE(module_header().find("'" + folder + "\n"), std::string::npos)
      << "without a .vbp the folder names the project";
  auto write_vbp = [&](const std::string& name) {
    ASSERT_TRUE(
        WriteFileAtomically(PathUtf8(dir_ / "Calc.vbp"),
                            "Type=Exe\r\nName=\"" + name + "\"\r\nModule=modCalc; modCalc.bas\r\n")
            .ok());
  };
  write_vbp("Payroll");
  EXPECT_NE(module_header().find("'Payroll"), std::string::npos) << "a .vbp that came";
  write_vbp("Billing");
  EXPECT_NE(module_header().find("'Billing"), std::string::npos) << "a .vbp that changed";
}

TEST_F(LspServer, ActionsFollowIncrementalChanges) {
  Initialize();
  Open(kModule);
  // "Add" becomes "Addx" on line 4 and its header names the new function.
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", uri_}, {"version", 2}}},
          {"contentChanges",
           {{{"range",
              {{"start", {{"line", 3}, {"character", 19}}},
               {"end", {{"line", 3}, {"character", 19}}}}},
             {"text", "x"}}}}}}});
  json actions = Actions(3, 0, 3, 0);
  ASSERT_EQ(actions["result"].size(), 1u) << actions.dump();
  const std::string after =
      ApplyEdit(kModule, json::object({{"changes", {{uri_, json::array()}}}}), uri_);
  const std::string edited = actions["result"][0]["edit"]["changes"][uri_][0]["newText"];
  EXPECT_NE(edited.find("Addx"), std::string::npos) << edited;
  (void)after;
  // Other files than modules are left alone.
  Open("plain text", "file:///tmp/notes.txt");
  EXPECT_EQ(
      Request("textDocument/codeAction", {{"textDocument", {{"uri", "file:///tmp/notes.txt"}}},
                                          {"range",
                                           {{"start", {{"line", 0}, {"character", 0}}},
                                            {"end", {{"line", 0}, {"character", 0}}}}}})["result"],
      json::array());
}

TEST_F(LspServer, CommandsApplyTheirEditThroughTheClient) {
  Initialize();
  Open(kModule);
  sent_.clear();
  json r = Request("workspace/executeCommand",
                   {{"command", "tolvan.insertHeader"},
                    {"arguments", json::array({uri_, RangeOf(4, 0, 4, 0)})}});
  EXPECT_TRUE(r.contains("result") && r["result"].is_null()) << r.dump();
  const json* apply = nullptr;
  for (const auto& m : sent_) {
    if (m.value("method", "") == "workspace/applyEdit") apply = &m;
  }
  ASSERT_TRUE(apply);
  EXPECT_EQ(ApplyEdit(kModule, (*apply)["params"]["edit"], uri_), CommandLine({"--line", "5"}));
  // The client's answer to applyEdit is taken quietly.
  const json id = (*apply)["id"];
  sent_.clear();
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", {{"applied", true}}}});
  EXPECT_TRUE(sent_.empty());
}

// The values the editor asked the user for go into the marker's macros; a
// value that is no text is refused in words naming it.
TEST_F(LspServer, MarkCommandsTakeTheMacroValuesTheEditorAskedFor) {
  const std::string ini = PathUtf8(dir_ / "Team.ini");
  {
    SettingsRecord record;
    auto context = SettingsContext::ForProfileFile(Utf8ToUtf16(ini));
    ASSERT_TRUE(context.ok());
    clsSaveSetting settings(record, *context);
    ASSERT_TRUE(settings.Load().ok());
    record.vntUserDefine = {{u"tk", u"T-7"}};
    record.lngUserDefineLast = 0;
    record.strLineComment[0] = u"'<<< ADD $tk >>>";
    ASSERT_TRUE(settings.Save().ok());
  }
  Initialize({{"settingsFile", ini}});
  Open(kModule);
  struct Row {
    json third;            // the command's third argument
    std::string expected;  // in the marker line; empty: refused
  };
  const Row rows[] = {
      {json::object(), "'<<< ADD T-7 >>>"},
      {{{"macros", {{"$tk", "T-12"}}}}, "'<<< ADD T-12 >>>"},
      {{{"macros", {{"tk", "T-13"}}}}, "'<<< ADD T-13 >>>"},
      {{{"macros", {{"$tk", 12}}}}, ""},
  };
  for (const Row& row : rows) {
    sent_.clear();
    json r = Request("workspace/executeCommand",
                     {{"command", "tolvan.markAdded"},
                      {"arguments", json::array({uri_, RangeOf(4, 0, 5, 3), row.third})}});
    if (row.expected.empty()) {
      ASSERT_TRUE(r.contains("error")) << r.dump();
      EXPECT_NE(r["error"]["message"].get<std::string>().find("macros.$tk must be a string"),
                std::string::npos)
          << r.dump();
      continue;
    }
    const json* apply = nullptr;
    for (const auto& m : sent_) {
      if (m.value("method", "") == "workspace/applyEdit") apply = &m;
    }
    ASSERT_TRUE(apply) << r.dump();
    EXPECT_NE(ApplyEdit(kModule, (*apply)["params"]["edit"], uri_).find(row.expected),
              std::string::npos)
        << row.third.dump();
  }
}

// A module opened in another encoding than its file's would be saved with
// '?' for every character that encoding lacks, Tolvan's Japanese headers
// included: the user is warned, and no edits are offered to it.
TEST_F(LspServer, AModuleOpenedInAnotherEncodingIsWarnedOfAndGetsNoEdits) {
  LocalFileSystem disk;
  FaultyFileSystem files(disk);
  fs_ = &files;
  MakeServer(std::make_shared<EngineHeaderReview>());
  Initialize();
  std::string crlf = kModule;
  for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
    crlf.replace(at, 1, "\r\n");
  const std::string cp932 = *EncodeAnsi(Utf8ToUtf16(crlf));
  std::u16string latin1;
  for (char c : cp932) latin1.push_back(static_cast<unsigned char>(c));
  const Result<std::u16string> misread = DecodeAnsi("\xE8\xA1\xA8\xE7\xA4\xBA");  // 表示 in UTF-8
  ASSERT_TRUE(misread.ok()) << misread.message();
  std::string utf8_as_cp932 = kModule;
  utf8_as_cp932.replace(utf8_as_cp932.find("表示"), 6, Utf16ToUtf8(*misread));
  struct Row {
    const char* name;
    std::string on_disk;  // empty: no file
    std::string opened;   // the editor's text, UTF-8
    const char* shown;    // the encoding the warning names; null: no warning
    bool read_fails = false;
    std::string scheme = "file://";
  };
  const std::string line_added = std::string(kModule) + "' mine\n";
  std::string line_changed = kModule;
  line_changed.replace(line_changed.find("a + b"), 5, "b + a");
  const Row rows[] = {
      {"CP932 read as Latin-1", cp932, Utf16ToUtf8(latin1), "CP932 (Shift_JIS)"},
      {"CP932 read as CP932, CR LF shown as LF", cp932, kModule, nullptr},
      {"CP932 read as CP932, the last break dropped", cp932,
       std::string(kModule).substr(0, sizeof kModule - 2), nullptr},
      {"UTF-8 with a byte-order mark, shown without it", "\xEF\xBB\xBF" + crlf, kModule, nullptr},
      {"UTF-8 read as CP932", crlf, utf8_as_cp932, "UTF-8"},
      {"unsaved edits restored by the editor: a line added", cp932, line_added, nullptr},
      {"unsaved edits restored by the editor: a line changed", cp932, line_changed, nullptr},
      {"no file on disk", "", kModule, nullptr},
      {"a file that cannot be read", cp932, Utf16ToUtf8(latin1), nullptr, true},
      {"not a file URI", cp932, Utf16ToUtf8(latin1), nullptr, false, "untitled:"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(module_);
    if (!row.on_disk.empty()) {
      ASSERT_TRUE(WriteFileAtomically(PathUtf8(module_), row.on_disk).ok());
    }
    if (row.read_fails) files.FailNth(FileOp::kReadFile, 1, EACCES);
    uri_ = row.scheme == "file://" ? FileUri(module_) : row.scheme + PathUtf8(module_);
    sent_.clear();
    Open(row.opened);
    std::vector<std::string> warnings;
    for (const auto& m : sent_) {
      if (m.value("method", "") != "window/showMessage") continue;
      EXPECT_EQ(m["params"]["type"], 2);
      warnings.push_back(m["params"]["message"]);
    }
    const json actions = Actions(4, 4, 4, 4);
    const json command = Request("workspace/executeCommand",
                                 {{"command", "tolvan.insertHeader"},
                                  {"arguments", json::array({uri_, RangeOf(4, 0, 4, 0)})}});
    if (!row.shown) {
      EXPECT_TRUE(warnings.empty()) << warnings[0];
      EXPECT_EQ(actions["result"].size(), 1u) << actions.dump();
      EXPECT_TRUE(command.contains("result")) << command.dump();
      continue;
    }
    const std::string message = std::string("modCalc.bas is ") + row.shown +
                                " on disk, but the editor shows its text otherwise; reopen it as " +
                                row.shown +
                                ". Tolvan offers no edits to it until then, so that saving cannot "
                                "turn its text into '?'.";
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Tolvan: " + message);
    EXPECT_EQ(actions["result"], json::array()) << actions.dump();
    EXPECT_EQ(command["error"]["code"], -32803) << command.dump();
    EXPECT_EQ(command["error"]["message"], "workspace/executeCommand: " + message);
    sent_.clear();
    Actions(4, 4, 4, 4);
    EXPECT_EQ(
        std::count_if(sent_.begin(), sent_.end(),
                      [](const json& m) { return m.value("method", "") == "window/showMessage"; }),
        0)
        << "warned once";
  }
  // Opened again in the file's encoding, the module gets its edits.
  std::filesystem::remove(module_);
  ASSERT_TRUE(WriteFileAtomically(PathUtf8(module_), cp932).ok());
  uri_ = FileUri(module_);
  Open(Utf16ToUtf8(latin1));
  EXPECT_EQ(Actions(4, 4, 4, 4)["result"].size(), 0u);
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didClose"},
        {"params", {{"textDocument", {{"uri", uri_}}}}}});
  Open(kModule);
  EXPECT_EQ(Actions(4, 4, 4, 4)["result"].size(), 1u);
}

TEST_F(LspServer, ReviewIsDebouncedAndOffersItsFixes) {
  MakeServer(review_);
  review_->findings = {{4, HeaderFinding::Kind::kStale, u"Add", u"引数 b", {}},
                       {8, HeaderFinding::Kind::kMissing, u"Show", u"", {}}};
  Initialize({{"review", true}});
  Open(kModule);
  auto diagnostics = [&] {
    std::vector<json> found;
    for (const auto& m : sent_) {
      if (m.value("method", "") == "textDocument/publishDiagnostics") found.push_back(m["params"]);
    }
    return found;
  };
  server_->RunDue(now_ + 299ms);
  EXPECT_TRUE(diagnostics().empty()) << "not before the quiet time";
  now_ += 200ms;
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", uri_}, {"version", 2}}},
          {"contentChanges", {{{"text", kModule}}}}}}});
  server_->RunDue(now_ + 299ms);
  EXPECT_TRUE(diagnostics().empty()) << "a change starts the quiet time again";
  EXPECT_EQ(server_->NextDeadline(), now_ + 300ms);
  server_->RunDue(now_ + 300ms);
  ASSERT_EQ(diagnostics().size(), 1u);
  EXPECT_EQ(review_->reviews, 1);
  const json d = diagnostics()[0];
  EXPECT_EQ(d["version"], 2);
  ASSERT_EQ(d["diagnostics"].size(), 2u);
  EXPECT_EQ(d["diagnostics"][0]["code"], "stale-header");
  EXPECT_EQ(d["diagnostics"][0]["severity"], 3);
  EXPECT_EQ(d["diagnostics"][0]["source"], "tolvan");
  EXPECT_EQ(d["diagnostics"][0]["range"]["start"]["line"], 3);
  EXPECT_EQ(d["diagnostics"][1]["code"], "missing-header");
  EXPECT_FALSE(server_->NextDeadline());

  // Quick fixes: the update comes from the review, the insertion from the
  // comment command at the declaration.
  json fixes = Actions(3, 0, 3, 0, {{"diagnostics", d["diagnostics"]}, {"only", {"quickfix"}}});
  ASSERT_EQ(fixes["result"].size(), 2u) << fixes.dump();
  EXPECT_EQ(fixes["result"][0]["kind"], "quickfix");
  EXPECT_EQ(
      ApplyEdit(kModule, fixes["result"][0]["edit"], uri_),
      std::string(kModule).replace(std::string(kModule).find("\n\nPublic") + 1, 0, "' updated"));
  EXPECT_EQ(review_->updated_line, 4);
  EXPECT_EQ(ApplyEdit(kModule, fixes["result"][1]["edit"], uri_), CommandLine({"--line", "8"}));
  // A diagnostic the editor kept from a longer text is passed over.
  json stale_context = d["diagnostics"];
  stale_context[0]["range"] = RangeOf(500, 0, 500, 3);
  json kept = Actions(3, 0, 3, 0, {{"diagnostics", stale_context}, {"only", {"quickfix"}}});
  ASSERT_TRUE(kept.contains("result")) << kept.dump();
  EXPECT_EQ(kept["result"].size(), 1u);
  // At the cursor, inside the stale procedure: nothing, its update being
  // the quick fix above.
  json at_cursor = Actions(4, 2, 4, 2);
  ASSERT_TRUE(at_cursor["result"].empty()) << at_cursor.dump();

  sent_.clear();
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didClose"},
        {"params", {{"textDocument", {{"uri", uri_}}}}}});
  ASSERT_EQ(diagnostics().size(), 1u);
  EXPECT_TRUE(diagnostics()[0]["diagnostics"].empty()) << "closing clears the diagnostics";
}

// Positions past a line's end mean its end: a change there lands (before,
// it was refused and the next action wrote the old line back over the
// user's edit), and Neovim's whole-line selection, which ends one past the
// line's length, marks those lines.
TEST_F(LspServer, PositionsPastALinesEndAreItsEnd) {
  Initialize();
  Open(kModule);
  // "Option Explicit" retyped, the range ending past the line's end.
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", uri_}, {"version", 2}}},
          {"contentChanges", {{{"range", RangeOf(1, 0, 1, 40)}, {"text", "Option Base 1"}}}}}}});
  std::string edited = kModule;
  edited.replace(edited.find("Option Explicit"), 15, "Option Base 1");
  json header = Actions(4, 4, 4, 4);
  ASSERT_EQ(header["result"].size(), 1u) << header.dump();
  EXPECT_EQ(ApplyEdit(edited, header["result"][0]["edit"], uri_),
            CommandLine({"--line", "5", "--column", "5"}, edited));

  struct Row {
    const char* name;
    json range;
    std::vector<std::string> cli;
  };
  const Row rows[] = {
      {"Neovim's whole lines (end = length + 1)",
       RangeOf(3, 0, 5, 13),
       {"--line", "4", "--end-line", "6", "--end-column", "13"}},
      {"an end past the last line", RangeOf(7, 0, 99, 0), {"--line", "8", "--end-line", "11"}},
  };
  for (const Row& row : rows) {
    json actions = Request("textDocument/codeAction",
                           {{"textDocument", {{"uri", uri_}}},
                            {"range", row.range},
                            {"context", {{"only", {"refactor.rewrite.tolvan.markAdded"}}}}});
    ASSERT_EQ(actions["result"].size(), 1u) << row.name << ": " << actions.dump();
    EXPECT_EQ(ApplyEdit(edited, actions["result"][0]["edit"], uri_), CommandLine(row.cli, edited))
        << row.name;
  }
}

// A settings file given at initialize that is missing (then, or deleted
// later) is shown once and fails every request that needs settings; it is
// never replaced by the factory templates.
TEST_F(LspServer, AMissingSettingsFileIsShownAndFailsTheRequests) {
  const std::filesystem::path team = dir_ / "team";
  std::filesystem::create_directories(team);
  Initialize({{"settingsFile", "team/Team.ini"}});
  Open(kModule);
  auto shown = [&] {
    int n = 0;
    for (const auto& m : sent_) {
      if (m.value("method", "") != "window/showMessage") continue;
      EXPECT_EQ(m["params"]["type"], 1);
      EXPECT_NE(m["params"]["message"].get<std::string>().find("Team.ini does not exist"),
                std::string::npos)
          << m.dump();
      ++n;
    }
    return n;
  };
  const std::string refusal = "textDocument/codeAction: the settings file " +
                              PathUtf8(team / "Team.ini") + " does not exist";
  for (int attempt = 0; attempt < 2; ++attempt) {
    json r = Actions(4, 4, 4, 4);
    EXPECT_EQ(r["error"]["code"], -32803) << r.dump();
    EXPECT_EQ(r["error"]["message"], refusal);
  }
  EXPECT_EQ(shown(), 1) << "shown once, not at every request";

  std::filesystem::copy_file(TOLVAN_FIXTURE_DIR "/settings/v04/Team.dat", team / "Team.dat");
  std::filesystem::copy_file(TOLVAN_FIXTURE_DIR "/settings/v04/Team.ini", team / "Team.ini");
  EXPECT_EQ(Actions(4, 4, 4, 4)["result"].size(), 1u) << "the file is there now";

  std::filesystem::remove(team / "Team.ini");
  sent_.clear();
  EXPECT_EQ(Actions(4, 4, 4, 4)["error"]["message"], refusal) << "deleted mid-session";
  EXPECT_EQ(shown(), 1);
}

TEST_F(LspServer, QuickFixesForManyDiagnosticsAreThoseForEachAlone) {
  MakeServer(review_);
  review_->findings = {{4, HeaderFinding::Kind::kMissing, u"Add", u"", {}},
                       {8, HeaderFinding::Kind::kMissing, u"Show", u"", {}},
                       {8, HeaderFinding::Kind::kStale, u"Show", u"引数 s", {}}};
  Initialize({{"review", true}});
  Open(kModule);
  server_->RunDue(now_ + 1s);
  json diagnostics;
  for (const auto& m : sent_) {
    if (m.value("method", "") == "textDocument/publishDiagnostics")
      diagnostics = m["params"]["diagnostics"];
  }
  ASSERT_EQ(diagnostics.size(), 3u);
  json all = Actions(0, 0, 0, 0, {{"diagnostics", diagnostics}, {"only", {"quickfix"}}});
  ASSERT_EQ(all["result"].size(), 3u) << all.dump();
  for (size_t i = 0; i < diagnostics.size(); ++i) {
    json alone = Actions(0, 0, 0, 0,
                         {{"diagnostics", json::array({diagnostics[i]})}, {"only", {"quickfix"}}});
    ASSERT_EQ(alone["result"].size(), 1u) << i;
    EXPECT_EQ(all["result"][i], alone["result"][0]) << "diagnostic " << i;
  }
  EXPECT_EQ(review_->reviews, 1) << "the fixes come from the review of this version";
}

// With the real review, each quick fix comes from the review's one pass;
// it must write what the header action at the declaration writes.
TEST_F(LspServer, QuickFixesFromTheReviewWriteWhatTheHeaderActionWrites) {
  MakeServer(std::make_shared<EngineHeaderReview>());
  Initialize({{"review", true}});
  Open(kModule);
  server_->RunDue(now_ + 1s);
  json diagnostics;
  for (const auto& m : sent_) {
    if (m.value("method", "") == "textDocument/publishDiagnostics")
      diagnostics = m["params"]["diagnostics"];
  }
  ASSERT_GE(diagnostics.size(), 2u) << diagnostics.dump();
  json fixes = Actions(0, 0, 0, 0, {{"diagnostics", diagnostics}, {"only", {"quickfix"}}});
  ASSERT_EQ(fixes["result"].size(), diagnostics.size()) << fixes.dump();
  for (size_t i = 0; i < diagnostics.size(); ++i) {
    const long line = diagnostics[i]["range"]["start"]["line"];
    json header = Actions(line, 0, line, 0, {{"only", {"refactor.rewrite.tolvan.insertHeader"}}});
    ASSERT_EQ(header["result"].size(), 1u) << line;
    EXPECT_EQ(ApplyEdit(kModule, fixes["result"][i]["edit"], uri_),
              ApplyEdit(kModule, header["result"][0]["edit"], uri_))
        << "the fix of line " << line;
  }
}

// With the real review: each kind of header finding gets one fix, its
// diagnostic's; insertion at the cursor only where a procedure has no header
// of either kind. Sub B's header is current with Sub A's stale above it:
// nothing at B may rewrite A's header.
TEST_F(LspServer, EachHeaderFindingHasOneFixAndTheCursorOffersOnlyInsertion) {
  const std::string plain =
      "Attribute VB_Name = \"modCalc\"\n"
      "Option Explicit\n"
      "\n"
      "Private Sub A(ByVal n As Long)\n"
      "    Debug.Print n\n"
      "End Sub\n"
      "\n"
      "Private Sub B()\n"
      "    Debug.Print 1\n"
      "End Sub\n"
      "\n"
      "' 給与を計算する\n"
      "Private Sub C()\n"
      "    Debug.Print 2\n"
      "End Sub\n"
      "\n"
      "Private Sub D()\n"
      "    Debug.Print 3\n"
      "End Sub\n";
  std::string text = CommandLine({"--line", "8"}, plain);
  text = CommandLine({"--line", "4"}, text);
  const std::string old_a = "Private Sub A(ByVal n As Long)";
  text.replace(text.find(old_a), old_a.size(), "Private Sub A(ByVal n As Long, ByVal m As Long)");
  auto line_of = [&](const std::string& needle) {
    const size_t at = text.find(needle);
    return at == std::string::npos
               ? -1L
               : static_cast<long>(std::count(text.begin(), text.begin() + at, '\n'));
  };
  MakeServer(std::make_shared<EngineHeaderReview>());
  Initialize({{"review", true}});
  Open(text);
  server_->RunDue(now_ + 1s);
  json diagnostics;
  for (const auto& m : sent_) {
    if (m.value("method", "") == "textDocument/publishDiagnostics")
      diagnostics = m["params"]["diagnostics"];
  }
  std::map<std::string, json> by_code;
  for (const auto& d : diagnostics)
    by_code[d["code"].get<std::string>() + "@" +
            std::to_string(d["range"]["start"]["line"].get<long>())] = d;
  const long a = line_of("Private Sub A("), c = line_of("Private Sub C("),
             d = line_of("Private Sub D(");
  ASSERT_TRUE(by_code.count("stale-header@" + std::to_string(a))) << diagnostics.dump();
  ASSERT_TRUE(by_code.count("missing-header@" + std::to_string(d))) << diagnostics.dump();
  const json foreign = by_code["foreign-comment@" + std::to_string(c)];
  ASSERT_TRUE(foreign.is_object()) << diagnostics.dump();
  EXPECT_EQ(foreign["severity"], 3);
  EXPECT_EQ(foreign["message"], "ヘッダーではないコメント: Sub C");
  EXPECT_EQ(by_code.size(), diagnostics.size()) << "B's current header is no finding";

  // Quick fixes: one each, titled for what it does; adopting keeps the
  // user's words.
  struct FixRow {
    std::string code;
    long line;
    const char* title;
  };
  for (const FixRow& row : {FixRow{"stale-header", a, "ヘッダーコメントを更新"},
                            FixRow{"missing-header", d, "ヘッダーコメントを挿入"},
                            FixRow{"foreign-comment", c, "ヘッダーコメントに取り込む"}}) {
    const json diagnostic = by_code[row.code + "@" + std::to_string(row.line)];
    json fixes = Actions(row.line, 0, row.line, 0,
                         {{"diagnostics", json::array({diagnostic})}, {"only", {"quickfix"}}});
    ASSERT_EQ(fixes["result"].size(), 1u) << row.code << fixes.dump();
    EXPECT_EQ(fixes["result"][0]["title"], row.title) << row.code;
    const std::string fixed = ApplyEdit(text, fixes["result"][0]["edit"], uri_);
    EXPECT_NE(fixed, text) << row.code;
    if (row.code == "foreign-comment") {
      EXPECT_NE(fixed.find("給与を計算する"), std::string::npos);
      EXPECT_NE(fixed.find("プロシージャ名"), std::string::npos);
    }
  }

  // At the cursor, inside each procedure (and with no kinds asked for):
  // insertion only where there is no header of either kind, never an
  // update, and nothing that touches another procedure's header.
  struct CursorRow {
    const char* where;
    long line;
    bool insert;
  };
  const long a_header_last = a - 1;
  for (const CursorRow& row :
       {CursorRow{"stale A", a + 1, false}, CursorRow{"current B", line_of("Debug.Print 1"), false},
        CursorRow{"foreign C", c + 1, false}, CursorRow{"bare D", d + 1, true}}) {
    json actions = Actions(row.line, 4, row.line, 4);
    ASSERT_TRUE(actions.contains("result")) << actions.dump();
    size_t inserts = 0;
    for (const auto& action : actions["result"]) {
      EXPECT_NE(action["kind"], "refactor.rewrite.tolvan.updateHeader") << row.where;
      if (action["kind"] == "refactor.rewrite.tolvan.insertHeader") ++inserts;
      for (const auto& e : action["edit"]["changes"][uri_]) {
        const long first = e["range"]["start"]["line"];
        if (row.line > a + 2) {
          EXPECT_GT(first, a_header_last) << row.where << " touches A's header";
        }
      }
    }
    EXPECT_EQ(inserts, row.insert ? 1u : 0u) << row.where;
  }
  // The command at B's cursor has nothing to update either.
  json command = Request(
      "workspace/executeCommand",
      {{"command", "tolvan.updateHeader"},
       {"arguments",
        json::array({uri_, RangeOf(line_of("Debug.Print 1"), 4, line_of("Debug.Print 1"), 4)})}});
  EXPECT_TRUE(command.contains("error")) << command.dump();
}

// Change blocks in the editor: folding ranges and symbols nested as the
// blocks nest, a hover on each marker line (and none on the code between),
// and a pair that does not close as a diagnostic, header review or not.
TEST_F(LspServer, ChangeBlocksFoldAreSymbolsHoverAndBrokenPairsAreDiagnostics) {
  const std::string marked =
      "Attribute VB_Name = \"modCalc\"\n"
      "Option Explicit\n"
      "\n"
      "Public Function Add(ByVal a As Long, ByVal b As Long) As Long\n"
      "'******* Add Start    ******** 2003/07/15\n"
      "'******* Modify Start ******** 2004/01/02\n"
      "    Add = a + b \t'Add 2003/07/15\t'Modify 2004/01/02\n"
      "'******* Modify End   ******** 2004/01/02\n"
      "    Add = Add * 1 \t'Add 2003/07/15\n"
      "'******* Add End      ******** 2003/07/15\n"
      "End Function\n"
      "\n"
      "Private Sub Show(s As String)\n"
      "'******* Delete Start ******** 2004/01/02\n"
      "'    Debug.Print s\t'Delete 2004/01/02\n"
      "'******* Delete End   ******** 2004/01/02\n"
      "End Sub\n";
  Initialize();
  const json caps = ResponseTo(1)["result"]["capabilities"];
  EXPECT_TRUE(caps["foldingRangeProvider"] == true && caps["documentSymbolProvider"] == true &&
              caps["hoverProvider"] == true)
      << caps.dump();
  Open(marked);
  const json doc{{"textDocument", {{"uri", uri_}}}};

  json folds = Request("textDocument/foldingRange", doc)["result"];
  std::vector<std::string> seen;
  for (const auto& f : folds) {
    seen.push_back(std::to_string(f["startLine"].get<long>()) + "-" +
                   std::to_string(f["endLine"].get<long>()) + " " + f["kind"].get<std::string>());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"4-9 region", "5-7 region", "13-15 region"}));

  json symbols = Request("textDocument/documentSymbol", doc)["result"];
  ASSERT_EQ(symbols.size(), 2u) << symbols.dump();
  EXPECT_EQ(symbols[0]["name"], "add 2003-07-15 (4 lines)");
  EXPECT_EQ(symbols[0]["range"], RangeOf(4, 0, 9, 41));
  ASSERT_EQ(symbols[0]["children"].size(), 1u) << symbols.dump();
  EXPECT_EQ(symbols[0]["children"][0]["name"], "modify 2004-01-02 (1 line)");
  EXPECT_EQ(symbols[1]["name"], "delete 2004-01-02 (1 line)");
  EXPECT_FALSE(symbols[1].contains("children"));

  const std::pair<long, const char*> hovers[] = {{4, "add 2003-07-15 (4 lines)"},
                                                 {7, "modify 2004-01-02 (1 line)"},
                                                 {15, "delete 2004-01-02 (1 line)"},
                                                 {6, nullptr},
                                                 {0, nullptr}};
  for (const auto& [line, text] : hovers) {
    json hover = Request("textDocument/hover", {{"textDocument", {{"uri", uri_}}},
                                                {"position", {{"line", line}, {"character", 3}}}});
    ASSERT_TRUE(hover.contains("result")) << hover.dump();
    if (!text) {
      EXPECT_TRUE(hover["result"].is_null()) << line << hover.dump();
    } else {
      EXPECT_EQ(hover["result"]["contents"]["value"], text) << line;
    }
  }

  // Without header review, the diagnostics are the broken pairs alone.
  auto last_diagnostics = [&] {
    server_->RunDue(now_ + 1s);
    json found;
    for (const auto& m : sent_) {
      if (m.value("method", "") == "textDocument/publishDiagnostics")
        found = m["params"]["diagnostics"];
    }
    return found;
  };
  EXPECT_EQ(last_diagnostics(), json::array());
  std::string broken = marked;
  broken.erase(broken.find("'******* Add End"),
               std::string("'******* Add End      ******** 2003/07/15\n").size());
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", uri_}, {"version", 2}}},
          {"contentChanges", {{{"text", broken}}}}}}});
  const json diagnostics = last_diagnostics();
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["code"], "unbalanced-marker");
  EXPECT_EQ(diagnostics[0]["message"], "change marker without its end");
  EXPECT_EQ(diagnostics[0]["range"]["start"]["line"], 4);
}

TEST_F(LspServer, SurvivesAFuzzedStreamAndAnswersAfterIt) {
  Initialize();
  Open(kModule);
  const std::vector<std::string> valid = {
      R"({"jsonrpc":"2.0","id":7,"method":"textDocument/codeAction","params":{"textDocument":{"uri":")" +
          uri_ +
          R"("},"range":{"start":{"line":4,"character":0},"end":{"line":5,"character":3}},"context":{}}})",
      R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":")" +
          uri_ +
          R"(","version":3},"contentChanges":[{"range":{"start":{"line":2,"character":0},"end":{"line":2,"character":0}},"text":"'x\n"}]}})",
      R"({"jsonrpc":"2.0","id":"s","method":"workspace/executeCommand","params":{"command":"tolvan.markAdded","arguments":[")" +
          uri_ + R"(",{"start":{"line":1,"character":0},"end":{"line":3,"character":0}}]}})",
      R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":7}})",
  };
  std::mt19937 random(20261208);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  for (int i = 0; i < 1500; ++i) {
    std::string body = valid[pick(valid.size())];
    switch (pick(4)) {
      case 0:  // random bytes, then the end of a header block
        body.assign(pick(64), '\0');
        for (char& c : body) c = static_cast<char>(random());
        SendRaw(body + "\r\n\r\n");
        continue;
      case 1:  // flipped bytes
        for (int k = 0; k < 3; ++k) body[pick(body.size())] = static_cast<char>(random());
        break;
      case 2:  // cut short
        body.resize(pick(body.size()));
        break;
      default:  // a digit or quote changed: numbers out of range, odd types
        body[pick(body.size())] = "0123456789\"-[]{}e"[pick(17)];
    }
    SendRaw(Frame(body));
  }
  // Unbalance the document as the fuzz may have done: the editor sends the
  // whole text again.
  Send({{"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", uri_}, {"version", 99}}},
          {"contentChanges", {{{"text", kModule}}}}}}});
  sent_.clear();
  json actions = Actions(4, 4, 4, 4);
  ASSERT_EQ(actions["result"].size(), 1u) << actions.dump();
  EXPECT_EQ(ApplyEdit(kModule, actions["result"][0]["edit"], uri_),
            CommandLine({"--line", "5", "--column", "5"}));
}

}  // namespace
}  // namespace tolvan::lsp

namespace tolvan::lsp {
namespace {

// The file a URI names, as editors write them on each system.
TEST(PathOfUri, FileUrisOfEachSystem) {
  struct Row {
    const char* uri;
    const char* path;
  };
  const Row rows[] = {
      {"file:///home/me/a%20b.bas", "/home/me/a b.bas"},
      {"file:///home/me/%E8%A8%AD%E5%AE%9A/m.bas", "/home/me/設定/m.bas"},
      {"file:///home/me/m.bas?query#part", "/home/me/m.bas"},
      {"untitled:Untitled-1", "Untitled-1"},
#ifdef _WIN32
      {"file:///C:/Users/me/m.bas", "C:/Users/me/m.bas"},
      {"file:///c%3A/Users/me/%E8%A8%AD%E5%AE%9A.bas", "c:/Users/me/設定.bas"},
      {"file://server/share/m.bas", "//server/share/m.bas"},
      {"file://localhost/C:/m.bas", "C:/m.bas"},
#endif
  };
  for (const Row& row : rows) EXPECT_EQ(PathUtf8(PathOfUri(row.uri)), row.path) << row.uri;
}

// Pipes of the C runtime. On Windows they can be made in text mode, where
// the runtime would turn CR LF into LF on reading and LF into CR LF on
// writing, unless the server puts them in binary mode.
struct Pipe {
  explicit Pipe(bool text_mode) {
#ifdef _WIN32
    ok = ::_pipe(fds, 1 << 16, text_mode ? _O_TEXT : _O_BINARY) == 0;
#else
    (void)text_mode;
    ok = ::pipe(fds) == 0;
#endif
  }
  ~Pipe() {
    CloseReadEnd();
    CloseWriteEnd();
  }
  bool Write(const std::string& bytes) {
#ifdef _WIN32
    // Through the handle, so that the test's own end adds nothing.
    DWORD written = 0;
    return ::WriteFile(reinterpret_cast<HANDLE>(::_get_osfhandle(fds[1])), bytes.data(),
                       static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
#else
    return ::write(fds[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
#endif
  }
  std::string ReadAll() {
    std::string bytes;
    char buffer[4096];
#ifdef _WIN32
    DWORD n = 0;
    while (::ReadFile(reinterpret_cast<HANDLE>(::_get_osfhandle(fds[0])), buffer, sizeof buffer, &n,
                      nullptr) &&
           n > 0) {
      bytes.append(buffer, n);
    }
#else
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
#endif
    return bytes;
  }
  void CloseReadEnd() { Close(fds[0]); }
  void CloseWriteEnd() { Close(fds[1]); }

  int fds[2] = {-1, -1};
  bool ok = false;

 private:
  static void Close(int& fd) {
    if (fd < 0) return;
#ifdef _WIN32
    ::_close(fd);
#else
    ::close(fd);
#endif
    fd = -1;
  }
};

// The server over real pipes: only protocol messages on its output, and the
// exit status the protocol asks for; on Windows also over pipes that the C
// runtime opened in text mode.
TEST(LspOverPipes, ShutdownExitAndTheEndOfInput) {
  struct Row {
    const char* name;
    std::string input;
    int status;
    size_t responses;
    bool input_stays_open = false;
  };
  const std::string init = Frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
  const std::string shutdown = Frame(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})");
  const std::string exit = Frame(R"({"jsonrpc":"2.0","method":"exit"})");
  const Row rows[] = {
      {"shutdown then exit", init + shutdown + exit + "ignored after exit", 0, 2},
      {"exit without shutdown", init + exit, 1, 1},
      {"the input ends without exit", init + "Content-Length: 10\r\n\r\n{", 1, 1},
      {"garbage only", std::string("\0\xff\r\n\r\nnot a header\r\n\r\n", 22), 1, 0},
      // The server ends at `exit` without waiting for the client to close.
      {"exit while the client keeps its end open", init + shutdown + exit, 0, 2, true},
  };
#ifdef _WIN32
  const bool text_modes[] = {false, true};
#else
  const bool text_modes[] = {false};
#endif
  for (const bool text_mode : text_modes) {
    for (const Row& row : rows) {
      const std::string name = std::string(row.name) + (text_mode ? " (text mode)" : "");
      Pipe in(text_mode), out(text_mode);
      ASSERT_TRUE(in.ok && out.ok) << name;
      ASSERT_TRUE(in.Write(row.input)) << name;
      if (!row.input_stays_open) in.CloseWriteEnd();
      std::ostringstream log;
      LocalFileSystem disk;
      EXPECT_EQ(RunLanguageServer(in.fds[0], out.fds[1], log, disk), row.status) << name;
      out.CloseWriteEnd();
      const std::string output = out.ReadAll();
      MessageReader reader;
      reader.Feed(output);
      size_t responses = 0;
      while (auto m = reader.Next()) {
        ASSERT_TRUE(*m) << name << ": " << output;
        EXPECT_FALSE(json::parse(m->value(), nullptr, false).is_discarded()) << name;
        ++responses;
      }
      EXPECT_EQ(responses, row.responses) << name << ": " << output;
      EXPECT_EQ(output.find("\r\r"), std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace tolvan::lsp
