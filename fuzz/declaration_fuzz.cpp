// The declaration parser and the expander: a declaration and a procedure
// name from the input are parsed as the header command parses them, then a
// template (the input's own, or one of the factory ones) is expanded with
// what was found and with user macros from the input. Whatever they hold,
// the parameter table keeps at least one entry, the result holds no NUL, and
// what the head of a declaration names the whole parse names too.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "engine/ProcedureDeclaration.h"
#include "engine/clsMarlet.h"
#include "engine/modMarlet.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"

namespace tolvan {

// The engine's own parts, reached as its tests reach them.
struct clsMarletTestPeer {
  static void Parse(clsMarlet& m, const std::u16string& d, const std::u16string& name) {
    m.ParseDeclaration(d, name);
  }
  static const ParamTable& Params(clsMarlet& m) { return m.vntParams; }
  static const ProcInfo& Info(clsMarlet& m) { return m.vntProcInfo; }
};

namespace {

void Run(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  SettingsRecord settings = fuzz::FactorySettings();
  settings.blnParamMacroRemove = in.ConsumeBool();
  if (in.ConsumeBool()) settings.strNoParamText = fuzz::Text(in.ConsumeRandomLengthString(16));
  const int macros = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < macros; ++i) {
    std::u16string word = fuzz::Text(in.ConsumeRandomLengthString(8));
    std::u16string replacement = fuzz::Text(in.ConsumeRandomLengthString(40));
    settings.vntUserDefine.push_back({std::move(word), std::move(replacement)});
  }
  const int32_t last = static_cast<int32_t>(settings.vntUserDefine.size()) - 1;
  const int slot = in.ConsumeIntegralInRange<int>(-1, kTemplateCount - 1);
  const std::u16string tmpl =
      slot < 0 ? fuzz::Text(in.ConsumeRandomLengthString(300)) : settings.strTemplate[slot];
  const std::u16string name = fuzz::Text(in.ConsumeRandomLengthString(40));
  const std::u16string declaration = fuzz::Text(in.ConsumeRemainingBytesAsString());

  FixedClock clock({2003, 7, 15, 10, 30, 0});
  FixedKeyboardState keyboard;
  clsMarlet engine(settings, clock, keyboard);
  clsMarletTestPeer::Parse(engine, declaration, name);
  // Whatever the procedure index takes for a declaration, the parser reads.
  if (auto head = ReadDeclarationHead(declaration)) {
    DefTypeTable defs;
    defs.Read(declaration);
    auto parsed = ParseDeclarationText(declaration, declaration, defs);
    FUZZ_CHECK(parsed.has_value() && parsed->name == head->name && parsed->kind == head->kind);
  }
  const ParamTable& params = clsMarletTestPeer::Params(engine);
  FUZZ_CHECK(!params.empty());
  ProcInfo info = clsMarletTestPeer::Info(engine);
  info[5] = name;
  const std::u16string text =
      ExpandMacro(settings, tmpl, info, params, last, settings.vntUserDefine);
  FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);
  // Every replacement is used at most once per "$" of the template, and a
  // parameter line at most once per parameter: the result stays in
  // proportion to its parts.
  size_t parts = tmpl.size() + 16;
  for (const auto& entry : params) {
    for (const auto& field : entry) parts += field.size() + 8;
  }
  for (const auto& field : info) parts += field.size();
  for (const auto& m : settings.vntUserDefine) parts += m.replacement.size();
  FUZZ_CHECK(text.size() <= parts * (params.size() + 2) * (tmpl.size() + 2));
}

}  // namespace
}  // namespace tolvan

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tolvan::Run(data, size);
  return 0;
}
