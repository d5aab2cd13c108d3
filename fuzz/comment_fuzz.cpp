// The comment command as `tolvan comment` runs it, in memory: a module read
// from bytes, a cursor or selection, the Shift and Ctrl keys and the settings
// all come from the input. A header only ever inserts lines; a marker keeps
// every selected line, in order, and leaves the lines around the selection
// as they were. Nothing the module did not hold before (a NUL) gets in.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "host/Connect.h"
#include "host/Resources.h"
#include "host/SettingsDialog.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/MessageBox.h"
#include "standin/FileHost.h"
#include "standin/StandInEnvironment.h"

namespace tolvan {
namespace {

class QuietMessageBox : public MessageBox {
 public:
  void Show(std::u16string_view, std::u16string_view) override {}
};

std::vector<std::u16string> CodeLines(const host::CodeModule& module) {
  std::vector<std::u16string> lines;
  for (long i = 1; i <= module.CountOfLines(); ++i) {
    auto line = module.Lines(i, 1);
    FUZZ_CHECK(line.ok());
    lines.push_back(*line);
  }
  return lines;
}

// The lines before and after, on stderr, to see what a broken invariant
// broke.
void Show(const std::vector<std::u16string>& before, const std::vector<std::u16string>& after) {
  for (const auto* lines : {&before, &after}) {
    std::fprintf(stderr, lines == &before ? "-- before\n" : "-- after\n");
    for (const auto& line : *lines) std::fprintf(stderr, "[%s]\n", Utf16ToUtf8(line).c_str());
  }
}

bool StartsWith(const std::u16string& text, const std::u16string& start) {
  return text.compare(0, start.size(), start) == 0;
}

SettingsRecord ChosenSettings(FuzzedDataProvider& in) {
  SettingsRecord s = fuzz::FactorySettings();
  s.intCommentPattern = in.ConsumeIntegralInRange<int16_t>(0, 1);
  for (int k = 0; k < kClickKindSlots; ++k) {
    s.intLinePattern[k] = in.ConsumeIntegralInRange<int16_t>(0, 4);
    s.intLineCommentOut[k] = in.ConsumeIntegralInRange<int16_t>(0, 1);
  }
  s.blnParamMacroRemove = in.ConsumeBool();
  if (in.ConsumeBool()) s.strNoParamText = fuzz::Text(in.ConsumeRandomLengthString(16));
  if (in.ConsumeBool()) {
    s.strTemplate[in.ConsumeIntegralInRange<int>(0, kTemplateCount - 1)] =
        fuzz::Text(in.ConsumeRandomLengthString(200));
  }
  if (in.ConsumeBool()) {
    s.strLineComment[in.ConsumeIntegralInRange<int>(0, kLineCommentCount - 1)] =
        fuzz::Text(in.ConsumeRandomLengthString(60));
  }
  const int macros = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < macros; ++i) {
    std::u16string word = fuzz::Text(in.ConsumeRandomLengthString(8));
    std::u16string replacement = fuzz::Text(in.ConsumeRandomLengthString(40));
    s.vntUserDefine.push_back({std::move(word), std::move(replacement)});
  }
  s.lngUserDefineLast = static_cast<int32_t>(s.vntUserDefine.size()) - 1;
  return s;
}

void Run(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool shift = in.ConsumeBool();
  const bool ctrl = in.ConsumeBool();
  const long line = in.ConsumeIntegralInRange<long>(1, 40);
  const long column = in.ConsumeIntegralInRange<long>(1, 30);
  const bool select = in.ConsumeBool();
  const long end_line = select ? in.ConsumeIntegralInRange<long>(1, 40) : line;
  const long end_column = select ? in.ConsumeIntegralInRange<long>(1, 30) : column;
  SettingsRecord settings = ChosenSettings(in);
  const std::string bytes = in.ConsumeRemainingBytesAsString();

  auto vbe = host::FileVBE::FromBytes("/fuzz/modFuzz.bas", bytes, host::FileOpenOptions{},
                                      host::ProjectInfo{u"Fuzz", u"Fuzzed project", {}});
  if (!vbe) return;
  if (!(*vbe)->SelectFileRange(line, column, end_line, end_column)) return;
  auto pane = (*vbe)->ActiveCodePane();
  FUZZ_CHECK(pane && pane->CodeModule());
  const host::Selection selection = pane->GetSelection();
  const std::vector<std::u16string> before = CodeLines(*pane->CodeModule());

  FixedClock clock({2024, 2, 29, 23, 59, 58});
  FixedKeyboardState keyboard(shift, ctrl);
  QuietMessageBox messages;
  MemoryClipboard clipboard;
  host::EmbeddedResources resources;
  host::UnavailableSettingsDialog no_dialog;
  Status comment_status;
  {
    host::Connect connect(host::ConnectEnvironment{
        .settings = settings,
        .load_settings = [] { return Status::Ok(); },
        .clock = clock,
        .keyboard = keyboard,
        .message_box = messages,
        .clipboard = clipboard,
        .resources = resources,
        .settings_dialog = no_dialog,
        .comment_failed = [&](const Status& s) { comment_status = s; },
    });
    auto ide = std::make_shared<host::StandInEnvironment>(*vbe, clipboard);
    (void)connect.AddinInstance_OnConnection(ide, host::connect_mode::kExternal);
    connect.AddinInstance_OnDisconnection(0);
  }
  const std::vector<std::u16string> after = CodeLines(*pane->CodeModule());
  const std::string written = (*vbe)->Serialize();
  if (bytes.find('\0') == std::string::npos) FUZZ_CHECK(written.find('\0') == std::string::npos);

  // The lines before the first change and after the last one.
  size_t head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  const bool marker =
      selection.startLine != selection.endLine || selection.startColumn != selection.endColumn;
  if (!marker) {
    // A header: every old line is still there, one block of new ones among
    // them.
    FUZZ_CHECK(head + tail == before.size());
    return;
  }
  if (!comment_status.ok()) return;
  const size_t first = static_cast<size_t>(selection.startLine - 1);
  const size_t last = static_cast<size_t>(selection.endLine - 1);
  FUZZ_CHECK(last < before.size());
  // Around the selection nothing changed; inside it, each selected line
  // starts a line of its own, commented out or not, in the same order.
  FUZZ_CHECK(head >= first || head == before.size());
  const size_t kept_after = before.size() - 1 - last;
  FUZZ_CHECK(after.size() >= before.size());
  for (size_t i = 0; i < kept_after; ++i) {
    FUZZ_CHECK(before[before.size() - 1 - i] == after[after.size() - 1 - i]);
  }
  size_t at = first;
  const size_t middle_end = after.size() - kept_after;
  for (size_t i = first; i <= last; ++i) {
    while (at < middle_end && !StartsWith(after[at], before[i]) &&
           !StartsWith(after[at], u"'" + before[i])) {
      ++at;
    }
    if (at >= middle_end) Show(before, after);
    FUZZ_CHECK(at < middle_end);
    ++at;
  }
}

}  // namespace
}  // namespace tolvan

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tolvan::Run(data, size);
  return 0;
}
