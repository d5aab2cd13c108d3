// The comment command. MainCheck looks at the active code pane: a selection
// gets line comments and change markers, a cursor in a procedure gets that
// procedure's header comment, a cursor in the declarations section gets the
// module header. One object serves one command.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "engine/modMarlet.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbide/VBE.h"

namespace tolvan {

class clsMarlet {
 public:
  clsMarlet(const SettingsRecord& settings, const Clock& clock, const KeyboardState& keyboard)
      : settings_(settings), clock_(clock), keyboard_(keyboard) {}

  // Runs the command once on the active code pane of `VBInstance`. A failed
  // host operation ends the command and is returned; whatever was done before
  // it stays done (the insertion is always the last step).
  Status MainCheck(host::VBE& VBInstance);

  // What AddProcHeader reads for one procedure, for tools that check or
  // rewrite headers without the active code pane.
  struct ProcedureFacts {
    std::u16string declaration;  // joined, literals blanked, comment cut
    std::u16string return_type;  // empty for Sub, Property Let and Set
    ParamTable params;
    int slot = 0;  // the template slot the header comes from
  };
  // `line` is the declaration line, `kind` an engine kind code.
  Result<ProcedureFacts> ReadProcedure(const host::CodeModule& module, long line,
                                       const std::u16string& name, int kind);
  // The template slot of a module header for a host component type.
  static int ModuleTemplateSlot(int component_type);

 private:
  friend struct clsMarletTestPeer;

  // Engine kind codes: 0 Property Get, 1 Property Let, 2 Property Set,
  // 3 Sub or Function.
  Status AddLineComment(long first, long last);
  Status AddModuleHeader();
  Status AddProcHeader(const std::u16string& name, int kind);
  void ParseDeclaration(const std::u16string& declaration, const std::u16string& name);
  static std::u16string GetWord(const std::u16string& text, size_t start);
  Result<std::u16string> GetDeclaration(const host::CodeModule& module, long line);

  const SettingsRecord& settings_;
  const Clock& clock_;
  const KeyboardState& keyboard_;

  std::shared_ptr<host::VBProject> project_;
  std::shared_ptr<host::CodePane> code_pane_;
  std::shared_ptr<host::CodeModule> code_module_;
  int component_type_ = 0;
  ProcInfo vntProcInfo;
  ParamTable vntParams = NoParameters();
  std::u16string strRawDeclaration;
};

}  // namespace tolvan
