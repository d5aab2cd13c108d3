// The change-marker reader: any dialect pattern is parsed or refused with a
// message, any module's lines are read into blocks or problems, and the
// edits that accept or revert the blocks only ever cut a line down to a part
// of itself or remove it.
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "engine/ChangeMarkers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvan;
  static const SettingsRecord factory = fuzz::FactorySettings();
  const std::u16string text =
      fuzz::Text(std::string_view(reinterpret_cast<const char*>(data), size));
  // The first line is a start pattern, the second an end pattern, the rest
  // the module; the built-in dialects are on as well.
  std::vector<std::u16string> lines;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find(u'\n', at);
    if (end == std::u16string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<ChangeDialect> dialects = BuiltInDialects();
  if (lines.size() >= 2) {
    auto shape = MakeChangeShape(ChangeKind::kChange, {lines[0]}, {lines[1]});
    if (shape) {
      dialects.push_back({u"fuzz", u"'", {std::move(*shape)}});
    } else {
      FUZZ_CHECK(!shape.message().empty());
    }
  }
  const ChangeMarkers reader(factory, factory, std::move(dialects));
  const ChangeReading r = reader.Read(lines);
  long last_first = 0;
  for (const ChangeBlock& b : r.blocks) {
    FUZZ_CHECK(b.first_line > last_first && b.first_line < b.last_line);
    FUZZ_CHECK(b.last_line <= static_cast<long>(lines.size()));
    last_first = b.first_line;
  }
  if (!r.problems.empty()) return 0;
  for (bool accept : {true, false}) {
    const ChangeEdits e = accept ? reader.Accept(lines, r.blocks) : reader.Revert(lines, r.blocks);
    for (const LineChange& c : e.changes) {
      FUZZ_CHECK(c.line >= 1 && c.line <= static_cast<long>(lines.size()));
      FUZZ_CHECK(c.remove ||
                 lines[static_cast<size_t>(c.line - 1)].find(c.text) != std::u16string::npos);
    }
  }
  return 0;
}
