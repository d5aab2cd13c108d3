// The language server on a module of 100,000 lines, in-process. Targets: a
// one-character incremental change under 1 ms, a code-action request at the
// cursor under 10 ms, the review of the whole document under 30 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "lsp/EngineHeaderReview.h"
#include "lsp/Server.h"

namespace tolvan::lsp {
namespace {

using nlohmann::json;

constexpr long kLines = 100'000;
const std::string kUri = "file:///tmp/tolvan-bench/modBig.bas";

// Procedures of ten lines each after a short header.
std::string BigModule() {
  std::string text = "Attribute VB_Name = \"modBig\"\nOption Explicit\n";
  long line = 2;
  for (long p = 0; line + 10 <= kLines; ++p, line += 10) {
    const std::string n = std::to_string(p);
    text += "\n' 手続き " + n + "\nPublic Function F" + n +
            "(ByVal a As Long, Optional ByRef b As String = \"x\") As Long\n"
            "    Dim i As Long\n    For i = 1 To a\n        F" +
            n + " = F" + n + " + i\n    Next\n    Debug.Print b\n    F" + n + " = F" + n +
            " * 2\nEnd Function\n";
  }
  while (line++ < kLines) text += "' filler\n";
  return text;
}

struct Fixture {
  explicit Fixture(bool review = false) {
    ::setenv("XDG_CONFIG_HOME", "/tmp/tolvan-bench/config", 1);
    Server::Options options;
    options.review = std::make_shared<EngineHeaderReview>();
    server = std::make_unique<Server>([this](const std::string& s) { last = s; }, options);
    Send({{"jsonrpc", "2.0"},
          {"id", 0},
          {"method", "initialize"},
          {"params", {{"initializationOptions", {{"review", review}}}}}});
    Send({{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params",
           {{"textDocument",
             {{"uri", kUri}, {"languageId", "vb"}, {"version", 1}, {"text", BigModule()}}}}}});
  }
  void Send(const json& j) { server->Receive(Frame(j.dump())); }
  std::unique_ptr<Server> server;
  std::string last;
};

json Range(long l1, long c1, long l2, long c2) {
  return {{"start", {{"line", l1}, {"character", c1}}}, {"end", {{"line", l2}, {"character", c2}}}};
}

void BM_IncrementalChange(benchmark::State& state) {
  Fixture f;
  long version = 2;
  bool insert = true;
  for (auto _ : state) {
    // Type a character on a line in the middle, then take it away again.
    const std::string message = Frame(json{
        {"jsonrpc", "2.0"},
        {"method", "textDocument/didChange"},
        {"params",
         {{"textDocument", {{"uri", kUri}, {"version", version++}}},
          {"contentChanges",
           {{{"range", insert ? Range(50'004, 4, 50'004, 4) : Range(50'004, 4, 50'004, 5)},
             {"text",
              insert ? "x" : ""}}}}}}}.dump());
    f.server->Receive(message);
    insert = !insert;
  }
}
BENCHMARK(BM_IncrementalChange)->Unit(benchmark::kMicrosecond);

void BM_CodeActionAtCursor(benchmark::State& state) {
  Fixture f;
  const std::string message = Frame(json{
      {"jsonrpc", "2.0"},
      {"id", 1},
      {"method", "textDocument/codeAction"},
      {"params",
       {{"textDocument", {{"uri", kUri}}},
        {"range", Range(50'004, 4, 50'004, 4)},
        {"context", json::object()}}}}.dump());
  for (auto _ : state) {
    f.server->Receive(message);
    benchmark::DoNotOptimize(f.last);
  }
  if (f.last.find("insertHeader") == std::string::npos) state.SkipWithError("no action offered");
}
BENCHMARK(BM_CodeActionAtCursor)->Unit(benchmark::kMillisecond);

// The review of the whole document once the quiet time is over (the change
// that starts it is the cost of BM_IncrementalChange).
void BM_ReviewAfterChange(benchmark::State& state) {
  Fixture f(true);
  long version = 2;
  const auto later = std::chrono::steady_clock::now() + std::chrono::hours(1);
  for (auto _ : state) {
    f.Send({{"jsonrpc", "2.0"},
            {"method", "textDocument/didChange"},
            {"params",
             {{"textDocument", {{"uri", kUri}, {"version", version++}}},
              {"contentChanges", {{{"range", Range(7, 0, 7, 0)}, {"text", ""}}}}}}});
    f.server->RunDue(later);
  }
  if (f.last.find("publishDiagnostics") == std::string::npos) state.SkipWithError("no diagnostics");
}
BENCHMARK(BM_ReviewAfterChange)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tolvan::lsp
